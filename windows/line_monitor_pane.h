// The line monitor in the main frame's log pane: while the pane is shown it
// watches the device link and lists every exchange (line_monitor_t) under a
// header with the statistics since it was shown; the list can be paused,
// copied to the clipboard and saved to a text file.
//
// Threads: everything here runs on the window thread. The workers only copy
// into the monitor's ring; the pane's own 100 ms timer, running only while
// the pane is shown, decodes and draws. Hidden, the link has no watcher and
// an exchange does nothing for the monitor.
#pragma once

#include <cstddef>

#include "model/app_state.h"
#include "model/line_monitor.h"
#include "toolkit/uik.h"

class GLineMonitorPane : public UIK::GFrame {
public:
    // Lines kept in the pane's text (the monitor keeps more for copy and save).
    static constexpr size_t kShownLines = 60;
    static constexpr int kHeaderHeight = 30;  // two lines of statistics
    static constexpr uint32_t kErrorShowMs = 10000;
    // The list is redrawn at most this often: measuring and drawing its text
    // is the pane's largest cost, and nobody reads faster.
    static constexpr uint64_t kListPeriodMs = 500;

    // Fills host (the log pane) and follows its visibility.
    GLineMonitorPane(G_t& g, UIK::GControl& host);
    ~GLineMonitorPane() override;

    // Watching starts with fresh statistics; stopping leaves the lines.
    void StartWatching();
    void StopWatching();
    bool Watching() const { return watching_; }
    // The 100 ms refresh: new lines into the list (unless paused), the header.
    void Refresh();
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // Copies every kept line to the clipboard.
    void Copy();
    // Asks for a file name and saves every kept line.
    void Save();
    error_value_t SaveTo(const ustring_t& path);

    line_monitor_t& Monitor() { return monitor_; }
    UIK::GLabel& Header() { return header_; }
    UIK::GLabel& Text() { return text_; }
    UIK::GTextButton& PauseButton() { return bt_pause_; }

    void Layout(const UIK::GRect& old_rect) override;

private:
    void FillText();

    G_t& g_;
    line_monitor_t monitor_;
    UIK::GLabel header_;
    UIK::GTextButton bt_pause_, bt_copy_, bt_save_;
    UIK::GScrollBox box_;
    UIK::GLabel text_;
    UIK::GTimer timer_{100};
    bool watching_ = false;
    bool paused_ = false;
    bool text_stale_ = false;
    uint64_t listed_at_ = 0;  // tick of the last FillText
};
