// Downloading a journal from the detector into a journals-window page.
//
// A list journal is read one record at a time through its record selector:
// write the record index, read the small register block that then holds the
// record. The trend is read in blocks of up to 40 records through a
// request-and-wait window. A download runs as one task on worker 2 of the
// device link, so the poll cycle on worker 1 goes on; each selector write and
// the block read that follows it run under the master's exchange lock, so no
// other request can move the selector in between. The lock is never held
// while the download waits for the window thread.
//
// The page learns of progress after every record (or trend block): a copy of
// the record goes to the window thread without the download waiting for it,
// and a report still on its way takes the newer record instead of queueing
// another. The records downloaded so far come in one hand-over at the end,
// also after an error or a stop, run on the window thread while the download
// waits. A stopped or broken download can be continued from its last record
// on the same detector (journal_page_i::continuation). While a download runs
// it holds the link's download state, so the poll cycle leaves it the line.
// Results and failures also go to the message panel (G_t's messages).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/containers.h"
#include "foundation/error.h"
#include "foundation/ustring.h"
#include "model/journal_records.h"

class G_t;
class window_queue_t;
class mb_link_t;
struct ParamMap_t;

namespace luma {

// How a download ended, for callers that run it themselves (the command-line
// tool, benchmarks) and for the page it filled (journal_page_i::last).
struct journal_download_result_t {
    error_value_t error;    // success, or the failure that ended it
    bool stopped = false;   // the loading flag was cleared before the end
    bool cancelled = false; // cleared before the download began: nothing read
    uint32_t expected = 0;  // the record count read at the start
    uint32_t held = 0;      // the record count the device reported last
    uint32_t first = 0;     // index of the first record read (continuing: > 0)
    uint32_t serial = 0;    // the device's factory serial number
    size_t received = 0;    // records handed over by this download

    // Every record the device held was read.
    bool complete() const { return !error && !stopped && !cancelled; }
};

// A journals-window page as a download sees it. The window implements it; the
// command-line tool and tests have their own.
class journal_page_i {
public:
    journal_page_i() = default;
    virtual ~journal_page_i() { *alive_ = false; }
    journal_page_i(const journal_page_i&) = delete;
    journal_page_i& operator=(const journal_page_i&) = delete;

    // Set on the window thread when a download starts and cleared there to
    // stop it; the download reads it between records and blocks.
    std::atomic<bool> loading{false};
    // Set by the download as it begins on its worker, cleared by the
    // hand-over: a page loading but not started waits behind another download.
    std::atomic<bool> started{false};
    // Set by the hand-over; window thread only.
    bool loaded = false;
    // How the download that filled the records ended; set by the hand-over.
    journal_download_result_t last;
    // Set on the window thread before a download is posted: continue the
    // records the page holds from this index (0: read from the start). The
    // download starts again from the start instead when the device is not the
    // one of serial or holds fewer records now. When the start itself fails
    // the page keeps the records it has.
    struct continuation_t {
        uint32_t from = 0;
        uint32_t serial = 0;
        uint32_t held = 0;  // the count the records were read against
    } continuation;

    // Runs fn on the window thread and returns once it has run. Called by the
    // download on its worker.
    virtual void run_on_window_thread(const std::function<void()>& fn) = 0;
    // Runs fn on the window thread without waiting for it, where there is one
    // to take it (the default waits). Progress goes this way: the download
    // goes on with the line while the window draws.
    virtual void post_to_window_thread(std::function<void()> fn) { run_on_window_thread(fn); }
    // Window thread: the progress bar's range and position and the progress
    // text ("Всего записей: ...", with the last record's text).
    virtual void show_progress(uint32_t range, uint32_t position, const ustring_t& text) = 0;
    // Window thread: the records changed; show them with the text rebuilt.
    virtual void refresh_rebuilt() = 0;

    // Cleared (window thread) when the page goes: a progress report posted
    // without waiting that arrives later is dropped.
    std::shared_ptr<bool> alive() const { return alive_; }

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

template <typename Item>
class journal_page_T : public journal_page_i {
public:
    // The page's downloaded records; window thread only.
    Array_T<Item> records;
};

// Downloads the page's journal on the calling thread (worker 2 of the link in
// G_t::link). Item is item1_t .. item4_t, item6_t (list journals) or item7_t
// (trend).
template <typename Item>
journal_download_result_t download_journal(G_t& g, journal_page_T<Item>& page);

// Posts download_journal to worker 2. The caller has set the loading flag;
// the page must outlive the download (the hand-over clears the flag).
template <typename Item>
void post_journal_download(G_t& g, journal_page_T<Item>& page);

// For programs without the windowing toolkit (the command-line tool,
// benchmarks, tests): sets the loading flag, runs the download on worker 2 and
// serves the page's and the messages' window tasks on the calling thread
// (through queue, which G_t::window_poster should post to) until it has ended
// and every message posted before its end has been shown. on_idle runs while
// nothing arrives for about 100 ms (a place to clear the loading flag).
template <typename Item>
journal_download_result_t download_journal_serving(G_t& g, journal_page_T<Item>& page, window_queue_t& queue,
                                                   const std::function<void()>& on_idle = {});

// The record the selector currently shows, built from the parameters exactly
// as a download builds it (the journals window's preview uses it too).
template <typename Item>
Item selected_record(const ParamMap_t& p);

// One record of a list journal or of the trend's preview, as a download reads
// it (worker only): under the exchange lock, index written into the record
// selector and the journal's record block read. The record and the count come
// from that one read (the block also updates the parameters).
template <typename Item>
error_value_t read_journal_record(mb_link_t& link, uint32_t index, Item& out, uint32_t& count);

// The eight counters as the parameters hold them.
counters_t counters_from_params(const ParamMap_t& p);
// Reads the counters block from the device (worker only).
error_value_t read_counters(mb_link_t& link, counters_t& out);

// Records reserved before a download at most: the count comes from the
// device, and a garbage count must not take all memory. Longer journals grow
// the list as they arrive.
inline constexpr uint32_t kMaxReservedRecords = 65536;

// Records per trend block, and the trend data window's size in registers.
inline constexpr uint32_t kTrendBlockRecords = 40;
inline constexpr uint16_t kTrendWindowRegisters = 120;
// How long the device may take to prepare a trend block.
inline constexpr int64_t kTrendBlockTimeoutMs = 1000;

}  // namespace luma
