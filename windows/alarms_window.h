// The current alarms and warnings of the detector in words: two lists, each
// under a title with the number of set bits of its mask. Read-only; refreshed
// from the main window's timer while shown and when its frame is shown.
#pragma once

#include <vector>

#include "toolkit/uik.h"
#include "windows/sub_window.h"

class G_t;

// Layout: the title across the top, then for alarms and warnings a title bar
// and a list under it. The lists grow with their texts (see GAlarms::Refresh).
class GBaseWarnings : public UIK::GFrame {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 600;

    explicit GBaseWarnings(UIK::GControl* parent = nullptr);

    UIK::GLabel title_;
    UIK::GLabel alarms_title_;
    UIK::GLabel alarms_;
    UIK::GLabel warnings_title_;
    UIK::GLabel warnings_;
};

class GAlarms : public GBaseWarnings, public SubWindow<GAlarms> {
public:
    // Gap between a title bar and its list, and between the alarm list and
    // the warnings' title bar.
    static constexpr int kListGap = 2;
    static constexpr int kGroupGap = 20;

    explicit GAlarms(G_t& g);

    // Window thread: titles, lists and the flow layout from the masks.
    void Refresh();

    void Tick() { Refresh(); }
    // Current before the first timer tick.
    void Shown() { Refresh(); }

private:
    G_t& g_;
};
