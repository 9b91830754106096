// The journals window: the detector's seven journals on seven pages, with a
// row of page buttons across the top.
//
// Before a download a list page previews the device's journal one record at a
// time: the scroll bar's position goes to the journal's record selector as a
// queued write, and a periodic task on worker 1 reads the page's register
// block, so the record shown follows the bar. "Загрузить весь архив" downloads
// the whole journal on worker 2 (model/journal_download.h); the page then
// pages through the downloaded records, 20 at a time, also when the link is
// gone. Every page exports its journal as CSV or text.
//
// Threads: everything here runs on the window thread. The workers reach a page
// only through the download's waiting window-thread calls and the loading
// flag; the periodic and one-shot preview tasks hold no pointer to a window.
#pragma once

#include <cstdint>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/error.h"
#include "model/journal_download.h"
#include "model/journal_export.h"
#include "model/journal_records.h"
#include "toolkit/uik.h"

class G_t;
class ITask;

// Layout of one page: the load button, the download's progress, the export
// button, the page text on an anti-panel and the record scroll bar.
class GBaseJournal : public UIK::GFrame {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    explicit GBaseJournal(UIK::GControl* parent = nullptr);

    UIK::GTextButton bt_load_;
    UIK::GProgressBar progress_;
    UIK::GTextButton bt_export_;
    UIK::GAntiPanel GAntiPanel1;
    UIK::GLabel text_;
    UIK::GScrollBar sb_;
};

// What the journals window does with any of its pages.
class GJournalPage : public GBaseJournal {
public:
    static constexpr uint32_t kRecordsPerPage = 20;
    static constexpr uint32_t kErrorShowMs = 10000;
    static constexpr uint64_t kProgressDrawMs = 100;

    GJournalPage(G_t& g, luma::journal_kind kind);
    ~GJournalPage() override;

    luma::journal_kind Kind() const { return kind_; }
    // The register block the page previews (worker 1 reads it).
    uint16_t PreviewStart() const;
    uint16_t PreviewCount() const;

    // Buttons, scroll bar and text from the parameters or the downloaded
    // records; rebuild: the text of a loaded page is built anew.
    virtual void Refresh(bool rebuild) = 0;
    // bt_load_: start a download, or stop the one running.
    virtual void LoadOrStop() {}
    // The page shows the device's record at the bar (not downloaded ones).
    virtual bool ShowsPreview() const { return true; }
    // A download of the page has been posted and has not handed over yet.
    virtual bool Downloading() const { return false; }
    // bt_export_: the save-file dialog, then ExportTo.
    void Export();
    // Writes the page's journal to path as chosen: CSV when the name ends in
    // ".csv" in any case, text otherwise. A failure is shown on the message
    // panel and returned; an existing file is replaced only by a complete one.
    error_value_t ExportTo(const ustring_t& path);
    // The default file name: "luma10 log YYYYMMDD_HHMMSS" of the local time.
    static ustring_t DefaultExportName();
    // A record text as the page shows it: the labels draw no tab stops, so
    // each tab becomes four spaces (exports keep their tabs).
    static ustring_t ScreenText(const ustring_t& t);

protected:
    virtual std::string ExportBytes(luma::export_format format) const = 0;
    // Sets the text only when it changed (an idle refresh repaints nothing).
    void ShowText(const ustring_t& t);
    // Range and position of sb_ without the change events reaching the page.
    void SetScroll(int64_t hi, int64_t position);

    G_t& g_;
    const luma::journal_kind kind_;
    // Raised while the page sets its own scroll bar: the bar's change events
    // are then not the user's.
    int32_t update_counter_ = 0;
};

namespace journals_detail {
using page_items_t = std::tuple<luma::item1_t, luma::item2_t, luma::item3_t, luma::item4_t, luma::item6_t,
                                luma::counters_t, luma::item7_t>;
}

// A list page: journal N of threshold 1, threshold 2, alarms, setup changes,
// configuration changes (0..4) and the trend (6).
template <int N>
class GJournal final : public GJournalPage,
                       public luma::journal_page_T<std::tuple_element_t<N, journals_detail::page_items_t>> {
public:
    using Item = std::tuple_element_t<N, journals_detail::page_items_t>;

    explicit GJournal(G_t& g);

    void Refresh(bool rebuild) override;
    void LoadOrStop() override;
    bool ShowsPreview() const override { return !this->loaded && !this->loading.load(); }
    bool Downloading() const override { return pending_; }

    // bt_load_ has been pressed at least once.
    bool LoadPressed() const { return load_pressed_; }
    // A download of this page has been posted and has not handed over yet
    // (it may be stopping).
    bool DownloadPending() const { return pending_; }

    // The download's side of the page (journal_page_i).
    void run_on_window_thread(const std::function<void()>& fn) override;
    void show_progress(uint32_t range, uint32_t position, const ustring_t& text) override;
    void refresh_rebuilt() override;

protected:
    std::string ExportBytes(luma::export_format format) const override;

private:
    // Progress is drawn at most every kProgressDrawMs: a fast line reports
    // more records than a screen can show, and drawing each would hold up
    // the download that waits for the report. The last report is kept and
    // drawn by the next refresh.
    void DrawProgress();

    bool load_pressed_ = false;
    bool pending_ = false;
    uint32_t progress_range_ = 0, progress_position_ = 0;
    ustring_t progress_text_;
    bool progress_waiting_ = false;
    uint64_t progress_drawn_at_ = 0;
};

// The counters page: the eight counters as the device holds them; export is
// its only action.
template <>
class GJournal<5> final : public GJournalPage {
public:
    explicit GJournal(G_t& g);
    void Refresh(bool rebuild) override;

protected:
    std::string ExportBytes(luma::export_format format) const override;
};

// Layout of the window: the title, the row of page buttons, the page panel.
class GBaseJournals : public UIK::GFrame {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    explicit GBaseJournals(UIK::GControl* parent = nullptr);

    UIK::GLabel title_;
    UIK::GFrame GFrameDT1;
    UIK::GTextButton bt1_, bt2_, bt3_, bt4_, bt5_, bt6_, bt7_;
    UIK::GPanel panel_;
};

class GJournals : public GBaseJournals {
public:
    explicit GJournals(G_t& g);
    ~GJournals() override;

    // The window-logic interface of GForm_T.
    UIK::GFrame& Frame() { return *this; }
    UIK::GLabel& Title() { return title_; }
    std::vector<UIK::GControl*> InputControls();
    // The main window's timer: the visible page without rebuilding its text.
    void Tick();
    void Shown();
    void Hidden();

    // What a page button does: page i (0..6) becomes the visible one.
    void SelectPage(int i);
    int CurrentPage() const { return current_; }
    GJournalPage& Page(int i) { return *pages_[i]; }
    UIK::GTextButton& PageButton(int i) { return *buttons_[i]; }
    // Ctrl+Tab and Ctrl+Shift+Tab switch pages; other keys go to the handler
    // the form had before the window was shown.
    void HandleKey(UIK::GForm* form, const UIK::GKeyEvent& e);
    // The preview task of the current page on worker 1 (null: none).
    ITask* PreviewTask() const { return periodic_; }

    GJournal<0> page0_;
    GJournal<1> page1_;
    GJournal<2> page2_;
    GJournal<3> page3_;
    GJournal<4> page4_;
    GJournal<5> page5_;
    GJournal<6> page6_;

private:
    // Replaces the periodic preview task with one for the current page.
    void SelectPreviewTask();
    // Whether the preview task reads: only while the page shown previews the
    // device and no download needs the line.
    void UpdatePreviewWanted();

    G_t& g_;
    GJournalPage* pages_[luma::kJournalCount];
    UIK::GTextButton* buttons_[luma::kJournalCount];
    int current_ = 0;
    ITask* periodic_ = nullptr;
    // Read by the preview task on worker 1, set on the window thread.
    std::shared_ptr<std::atomic<bool>> preview_wanted_ = std::make_shared<std::atomic<bool>>(true);
    UIK::GTabKeyForm* key_form_ = nullptr;
    std::function<void(UIK::GForm*, const UIK::GKeyEvent&)> previous_key_;
};
