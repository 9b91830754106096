// The journals window: the detector's seven journals on seven pages, with a
// row of page buttons across the top.
//
// Before a download a list page previews the device's journal one record at a
// time: a periodic task on worker 1 writes the scroll bar's position into the
// journal's record selector and reads the record block, and the page shows the
// record and the count of that one read, so the number, time and values shown
// always belong together. "Загрузить весь архив" downloads the whole journal
// on worker 2 (model/journal_download.h); the page then pages through the
// downloaded records, 20 at a time in a text that scrolls, also when the link
// is gone. A download that did not read every record says how many of how
// many it holds, offers to continue, and exports what it holds. Every page
// exports its journal as CSV or text.
//
// Threads: everything here runs on the window thread. The workers reach a page
// only through the download's window-thread calls and the loading and started
// flags; the preview tasks hold no pointer to a window, only the preview's
// shared state.
#pragma once

#include <cstdint>
#include <atomic>
#include <mutex>
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
#include "windows/sub_window.h"

class G_t;
class ITask;
class GTrendChartPage;

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
    // The page text scrolls inside the panel when it is taller.
    UIK::GScrollBox text_box_;
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
    // A worker-1 callable that reads what the page previews, when it needs
    // reading: the record at the bar (list pages; again after
    // kPreviewRefreshMs, or at once with force) or the counters. It holds no
    // pointer to the page.
    virtual std::function<void()> PreviewRead(bool force) const = 0;
    static constexpr uint64_t kPreviewRefreshMs = 1000;

    // Buttons, scroll bar and text from the parameters or the downloaded
    // records; rebuild: the text of a loaded page is built anew.
    virtual void Refresh(bool rebuild) = 0;
    // bt_load_: start a download, or stop the one running.
    virtual void LoadOrStop() {}
    // The page shows the device's record at the bar (not downloaded ones).
    virtual bool ShowsPreview() const { return true; }
    // A download of the page has been posted and has not handed over yet.
    virtual bool Downloading() const { return false; }
    // The page holds downloaded records that are not the whole journal.
    virtual bool Incomplete() const { return false; }
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

    // Called after every hand-over of downloaded records.
    std::function<void()> records_changed;
    // A page that exports a picture as well (the trend's chart): the PNG
    // bytes for a name ending in ".png", and whether the picture is what the
    // page shows (then the name proposed ends in ".png").
    struct picture_export_t {
        std::function<bool(std::string*)> png;
        std::function<bool()> shown;
    } picture;

protected:
    virtual std::string ExportBytes(luma::export_format format) const = 0;
    // Sets the text only when it changed (an idle refresh repaints nothing),
    // the label as tall as the text; top: scrolled back to its start.
    void ShowText(const ustring_t& t, bool top = false);
    // A written export file of a journal not wholly read: said on the panel.
    virtual void ReportIncompleteExport(const ustring_t&) const {}
    // Range and position of sb_ without the change events reaching the page.
    void SetScroll(int64_t hi, int64_t position);

    G_t& g_;
    const luma::journal_kind kind_;
    // Raised while the page sets its own scroll bar: the bar's change events
    // are then not the user's.
    int32_t update_counter_ = 0;

private:
    // The label's height for its text at the box's width.
    void FitText();
    int fitted_width_ = -1;
};

// What a list page previews: the bar's position (window thread) and the
// record and count of the last preview read (worker 1).
template <typename Item>
struct journal_preview_t {
    std::atomic<uint32_t> wanted{0};
    std::mutex lock;
    bool have = false;
    Item record{};
    uint32_t count = 0;
    uint32_t read_for = 0;
    uint64_t read_at = 0;
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
    bool Incomplete() const override;
    std::function<void()> PreviewRead(bool force) const override;
    // Posted and waiting behind another download: not begun yet.
    bool Waiting() const { return pending_ && this->loading.load() && !this->started.load(); }

    // bt_load_ has been pressed at least once.
    bool LoadPressed() const { return load_pressed_; }
    // A download of this page has been posted and has not handed over yet
    // (it may be stopping).
    bool DownloadPending() const { return pending_; }

    // The download's side of the page (journal_page_i).
    void run_on_window_thread(const std::function<void()>& fn) override;
    void post_to_window_thread(std::function<void()> fn) override;
    void show_progress(uint32_t range, uint32_t position, const ustring_t& text) override;
    void refresh_rebuilt() override;

protected:
    std::string ExportBytes(luma::export_format format) const override;
    void ReportIncompleteExport(const ustring_t& path) const override;

private:
    // The header of the downloaded records: how many, and of how many when
    // they are not the whole journal.
    ustring_t LoadedHeader() const;

    std::shared_ptr<journal_preview_t<Item>> preview_ = std::make_shared<journal_preview_t<Item>>();
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
    std::function<void()> PreviewRead(bool force) const override;

protected:
    std::string ExportBytes(luma::export_format format) const override;

private:
    // Tick of the last counters read (worker 1).
    std::shared_ptr<std::atomic<uint64_t>> counters_read_at_ = std::make_shared<std::atomic<uint64_t>>(0);
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

class GJournals : public GBaseJournals, public SubWindow<GJournals> {
public:
    explicit GJournals(G_t& g);
    ~GJournals() override;

    // What the form calls (see windows/sub_window.h).
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
    // The trend page's chart.
    GTrendChartPage& TrendChart() { return *trend_chart_; }

private:
    // Replaces the periodic preview task with one for the current page.
    void SelectPreviewTask();
    // Whether the preview task reads: only while the page shown previews the
    // device and no download needs the line.
    void UpdatePreviewWanted();
    bool AnyDownload() const;

    G_t& g_;
    GJournalPage* pages_[luma::kJournalCount];
    UIK::GTextButton* buttons_[luma::kJournalCount];
    int current_ = 0;
    ITask* periodic_ = nullptr;
    // Read by the preview task on worker 1, set on the window thread.
    std::shared_ptr<std::atomic<bool>> preview_wanted_ = std::make_shared<std::atomic<bool>>(true);
    std::unique_ptr<GTrendChartPage> trend_chart_;
    UIK::GTabKeyForm* key_form_ = nullptr;
    std::function<void(UIK::GForm*, const UIK::GKeyEvent&)> previous_key_;
};
