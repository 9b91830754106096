#include "model/journal_download.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

#include "foundation/task.h"
#include "foundation/time_services.h"
#include "link/errors.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/params.h"
#include "model/window_queue.h"

namespace luma {
namespace {

// Trend block states the device reports.
constexpr uint32_t kTrendBlockReady = 2;
constexpr uint32_t kTrendBlockFailed = 3;

// The registers of one list journal: the block starts at the count, so every
// block read refreshes the count too.
struct list_journal_t {
    mb_param_t ParamMap_t::*count;
    mb_param_t ParamMap_t::*selector;
    uint16_t block_start;
    uint16_t block_count;
};

template <typename Item> constexpr list_journal_t kList{};
template <> constexpr list_journal_t kList<item1_t>{&ParamMap_t::threshold1_log_count, &ParamMap_t::threshold1_log_index, 50020, 8};
template <> constexpr list_journal_t kList<item2_t>{&ParamMap_t::threshold2_log_count, &ParamMap_t::threshold2_log_index, 50040, 8};
template <> constexpr list_journal_t kList<item3_t>{&ParamMap_t::alarm_log_count, &ParamMap_t::alarm_log_index, 50060, 8};
template <> constexpr list_journal_t kList<item4_t>{&ParamMap_t::setup_log_count, &ParamMap_t::setup_log_index, 50080, 15};
template <> constexpr list_journal_t kList<item6_t>{&ParamMap_t::config_log_count, &ParamMap_t::config_log_index, 50070, 8};
// The trend downloads in blocks; its record selector serves the preview.
template <> constexpr list_journal_t kList<item7_t>{&ParamMap_t::trend_count, &ParamMap_t::trend_index, 50001, 8};
// Registers of the longest record block.
constexpr uint16_t kMaxRecordBlock = 15;

device_time_t time_of(const param_snapshot_t& v) { return device_time_from_value(v.value); }

// A parameter's value in a block's words, decoded as a block read decodes it.
param_snapshot_t value_in(const mb_param_t& p, const uint16_t* words, uint16_t start) {
    const unsigned i = unsigned(p.reg() - start);
    auto w = [&](unsigned k) { return k < p.count() ? words[i + k] : uint16_t(0); };
    return {decode_param_value(p.type(), w(0), w(1), w(2), 0), 1};
}

// A record from the parameters' values as v gives them (v(param) is a
// param_snapshot_t): the parameters' current values or one block's words.
template <typename V>
item1_t build(const ParamMap_t& p, V v, item1_t*) {
    return {v(p.threshold1_log_index).u32(), time_of(v(p.threshold1_log_time)),
            v(p.threshold1_log_concentration).u16()};
}
template <typename V>
item2_t build(const ParamMap_t& p, V v, item2_t*) {
    return {v(p.threshold2_log_index).u32(), time_of(v(p.threshold2_log_time)),
            v(p.threshold2_log_concentration).u16()};
}
template <typename V>
item3_t build(const ParamMap_t& p, V v, item3_t*) {
    return {v(p.alarm_log_index).u32(), time_of(v(p.alarm_log_time)), v(p.alarm_log_code).u16()};
}
template <typename V>
item4_t build(const ParamMap_t& p, V v, item4_t*) {
    item4_t r;
    r.number = v(p.setup_log_index).u32();
    r.time = time_of(v(p.setup_log_time));
    r.event = v(p.setup_log_event).u16();
    r.measured = v(p.setup_log_measured).u16();
    r.entered = v(p.setup_log_entered).u16();
    r.sensitivity = v(p.setup_log_sensitivity).u16();
    r.linear_exposure = v(p.setup_log_linear_exposure).u32();
    r.quadratic_exposure = v(p.setup_log_quadratic_exposure).u32();
    return r;
}
template <typename V>
item6_t build(const ParamMap_t& p, V v, item6_t*) {
    // The change code is the register's low byte.
    return {v(p.config_log_index).u32(), time_of(v(p.config_log_time)), v(p.config_log_code).u8()};
}
template <typename V>
item7_t build(const ParamMap_t& p, V v, item7_t*) {
    return {v(p.trend_index).u32(), v(p.trend_time).u32(), v(p.trend_concentration).u8(),
            v(p.trend_temperature).u8()};
}
template <typename Item, typename V>
Item build_record(const ParamMap_t& p, V v) {
    return build(p, v, static_cast<Item*>(nullptr));
}

// Holds the master's exchange lock for one sequence of requests, which a
// watcher of the line sees as the journal download's.
class ExchangeLock {
public:
    explicit ExchangeLock(mb_link_t& link) : link_(link) { link_.lock_master(); }
    ~ExchangeLock() { release(); }
    void release() {
        if (held_) link_.unlock_master();
        held_ = false;
    }

private:
    mb_link_t& link_;
    bool held_ = true;
    line_source_scope_t source_{line_source_t::download};
};

// Progress on the window thread: the bar's range is the count read at the
// start, its position the record's number + 1. Reports go without waiting,
// so the line is not idle while the window draws; a report still on its way
// takes the newer record instead of queueing another.
template <typename Item>
class progress_reporter_t {
public:
    progress_reporter_t(journal_page_T<Item>& page, uint32_t expected, uint32_t first)
        : page_(page), expected_(expected), first_(first) {}

    void report(const Item& record, int64_t elapsed_ms) {
        {
            std::lock_guard<std::mutex> g(slot_->lock);
            slot_->record = record;
            slot_->elapsed_ms = elapsed_ms;
            if (slot_->posted) return;
            slot_->posted = true;
        }
        page_.post_to_window_thread([slot = slot_, alive = page_.alive(), page = &page_, expected = expected_,
                                     first = first_] {
            Item r;
            int64_t elapsed;
            {
                std::lock_guard<std::mutex> g(slot->lock);
                r = slot->record;
                elapsed = slot->elapsed_ms;
                slot->posted = false;
            }
            if (!*alive) return;
            const uint32_t position = r.number + 1u;
            const uint32_t ms = elapsed > 0 ? static_cast<uint32_t>(elapsed) : 1u;
            const uint32_t per_second = (position - std::min(first, position)) * 1000u / ms;
            ustring_t text = text::format(256, "Всего записей: %u. Загружено:%u\n%u записей/с\n", expected,
                                          position, per_second);
            text += record_text(r);
            page->show_progress(expected, position, text);
        });
    }

private:
    struct slot_t {
        std::mutex lock;
        bool posted = false;
        Item record{};
        int64_t elapsed_ms = 0;
    };
    journal_page_T<Item>& page_;
    const uint32_t expected_;
    const uint32_t first_;
    std::shared_ptr<slot_t> slot_ = std::make_shared<slot_t>();
};

// Gives the page the downloaded records and ends its loading state. A fresh
// download's records replace the page's (the old ones come back to the task
// and go with it); a continuing one's are appended; a cancelled one leaves
// the page as it was. Queued behind every progress report, so none arrives
// after it.
template <typename Item>
void hand_over(journal_page_T<Item>& page, Array_T<Item>& records, const journal_download_result_t& result) {
    page.run_on_window_thread([&] {
        if (!result.cancelled) {
            if (result.first > 0) {
                for (size_t i = 0; i < records.count(); ++i) page.records.append(records[i]);
            } else {
                page.records.swap(records);
            }
            page.last = result;
            page.loaded = true;
        }
        page.loading.store(false);
        page.started.store(false);
        page.refresh_rebuilt();
    });
}

// Starts a download: under the exchange lock, the identity read and then the
// journal's count; the device's serial number goes into the result. The lock
// is released before anything waits for the window.
error_value_t read_start(mb_link_t* link, mb_param_t ParamMap_t::*count, journal_download_result_t& result) {
    if (link == nullptr) return comport_error(kComNotOpen);
    ExchangeLock lock(*link);
    error_value_t e = link->read_identity();
    if (!e) e = link->read_param(link->params().*count);
    if (!e) {
        result.expected = (link->params().*count).snapshot().u32();
        result.held = result.expected;
        result.serial = link->params().factory_serial_id.snapshot().u32();
    }
    return e;
}

// Where a download begins: the page's continuation when it is of this device
// and the device still holds that many records, otherwise the first record.
uint32_t first_record(const journal_page_i& page, const journal_download_result_t& start) {
    const journal_page_i::continuation_t& c = page.continuation;
    return c.from > 0 && c.serial == start.serial && c.from <= start.expected ? c.from : 0;
}

// The start failed: a continuation keeps the page's records as they were
// (nothing appended), a fresh download hands over none.
void keep_continued(const journal_page_i& page, journal_download_result_t& result) {
    if (page.continuation.from == 0) return;
    result.first = page.continuation.from;
    result.expected = result.held = page.continuation.held;
    result.serial = page.continuation.serial;
}

// A download stopped before it began (it waited behind another one): the
// page keeps what it had.
template <typename Item>
bool cancelled_before_start(G_t& g, journal_page_T<Item>& page, journal_download_result_t& result) {
    page.started.store(true);
    if (page.loading.load()) return false;
    result.cancelled = true;
    result.stopped = true;
    g.info_message(u"Загрузка журнала отменена до начала");
    Array_T<Item> none;
    hand_over(page, none, result);
    return true;
}

// One trend block request: ask for n records from start, wait until the device
// has them ready, then read the whole data window. Runs under the exchange lock.
error_value_t request_trend_block(mb_link_t& link, uint32_t start, uint32_t n, uint16_t* window) {
    ParamMap_t& p = link.params();
    error_value_t e = link.write_param(p.trend_block_count, n);
    if (!e) e = link.write_param(p.trend_block_start, start);
    if (e) return e;

    // The device prepares the block in the background; its state turns 2 when
    // the data is in place and 3 when it cannot serve the request. Polled
    // without a pause: each read is a bus round trip anyway.
    Stopwatch_t waited;
    e = link.read_param(p.trend_block_state);
    if (e) return e;
    for (;;) {
        const param_snapshot_t state = p.trend_block_state.snapshot();
        if (state.is_read() && state.u32() == kTrendBlockReady) break;
        if (state.is_read() && state.u32() == kTrendBlockFailed) return app_error(app::kJournalLoadError);
        if (waited.ElapsedMs() > kTrendBlockTimeoutMs) return app_error(app::kJournalTimeout);
        e = link.read_param(p.trend_block_state);
        if (e) return e;
    }
    // Always the whole window, whatever n: the device fills it as one piece.
    return link.read_registers(p.trend_block_data.reg(), kTrendWindowRegisters, window);
}

// The records of a list journal from the first to the last the device holds;
// the count comes anew with every record, so a journal that grows while it
// downloads is read to its new end.
template <typename Item>
error_value_t read_records(mb_link_t& link, journal_page_T<Item>& page, journal_download_result_t& result,
                           Array_T<Item>& records, progress_reporter_t<Item>& progress, const Stopwatch_t& clock) {
    for (uint32_t i = result.first; i < result.held && page.loading.load(); ++i) {
        Item record;
        if (error_value_t e = read_journal_record(link, i, record, result.held)) return e;
        progress.report(*records.append(record), clock.ElapsedMs());
    }
    return success();
}

// The trend's records, block by block.
error_value_t read_records(mb_link_t& link, journal_page_T<item7_t>& page, journal_download_result_t& result,
                           Array_T<item7_t>& records, progress_reporter_t<item7_t>& progress,
                           const Stopwatch_t& clock) {
    uint16_t window[kTrendWindowRegisters];
    uint32_t start = result.first;
    uint32_t remaining = result.expected - result.first;
    while (remaining > 0 && page.loading.load()) {
        const uint32_t n = std::min(kTrendBlockRecords, remaining);
        {
            ExchangeLock lock(link);
            if (error_value_t e = request_trend_block(link, start, n, window)) return e;
        }
        // Three words per record: time low word, time high word, then
        // concentration (low byte) and temperature (high byte).
        const item7_t* last = nullptr;
        for (uint32_t j = 0; j < n; ++j) {
            const uint16_t* w = window + 3 * j;
            last = records.append(item7_t{start + j, uint32_t(w[0]) + uint32_t(w[1]) * 65536u,
                                          uint16_t(w[2] & 0xFF), uint16_t(w[2] >> 8)});
        }
        progress.report(*last, clock.ElapsedMs());
        start += n;
        remaining -= n;
    }
    return success();
}

// What the download's messages say after "журнал": the trend's name.
template <typename Item>
constexpr const char* kJournalName = "";
template <>
constexpr const char* kJournalName<item7_t> = " \"Тренд\"";

template <typename Item>
journal_download_result_t download_records(G_t& g, journal_page_T<Item>& page) {
    journal_download_result_t result;
    if (cancelled_before_start(g, page, result)) return result;
    Array_T<Item> records;
    mb_link_t* link = g.link.load();
    const char* name = kJournalName<Item>;

    result.error = read_start(link, kList<Item>.count, result);
    if (result.error) {
        g.error_message(0, text::format(256, "Ошибка загрузки журнала%s\n", name) +
                               window_message_text(result.error));
        keep_continued(page, result);
        hand_over(page, records, result);
        return result;
    }
    result.first = first_record(page, result);
    records.reserve(std::min(result.expected - result.first, kMaxReservedRecords));
    progress_reporter_t<Item> progress(page, result.expected, result.first);
    Stopwatch_t clock;

    result.error = read_records(*link, page, result, records, progress, clock);

    const double seconds = static_cast<double>(clock.ElapsedMs()) / 1000.0;
    if (result.error) {
        g.error_message(0,
                        text::format(256, "Ошибка загрузки журнала%s через %.3lf с после начала\n", name, seconds) +
                            window_message_text(result.error));
    } else if (page.loading.load()) {
        g.info_message(text::format(256, "Журнал%s загружен за %.3lf с", name, seconds));
    } else {
        result.stopped = true;
        g.info_message(text::format(256, "Загрузка журнала%s прервана через %.3lf с после начала", name, seconds));
    }
    // One hand-over in every case, an empty journal included: a second one
    // would swap the page's previous records back in.
    result.received = records.count();
    hand_over(page, records, result);
    return result;
}

}  // namespace

template <typename Item>
Item selected_record(const ParamMap_t& p) {
    return build_record<Item>(p, [](const mb_param_t& x) { return x.snapshot(); });
}

template <typename Item>
error_value_t read_journal_record(mb_link_t& link, uint32_t index, Item& out, uint32_t& count) {
    constexpr list_journal_t journal = kList<Item>;
    static_assert(journal.block_count <= kMaxRecordBlock);
    ParamMap_t& p = link.params();
    uint16_t words[kMaxRecordBlock];
    {
        ExchangeLock lock(link);
        error_value_t e = link.write_param(p.*journal.selector, index);
        if (!e) e = link.read_registers(journal.block_start, journal.block_count, words);
        if (e) return e;
    }
    p.store_block(journal.block_start, words, journal.block_count, int64_t(Tick64()));
    // Decoded from this read's words, not from the parameters: another read
    // of the same block may store into them meanwhile.
    auto in_block = [&](const mb_param_t& x) { return value_in(x, words, journal.block_start); };
    out = build_record<Item>(p, in_block);
    count = in_block(p.*journal.count).u32();
    return success();
}

counters_t counters_from_params(const ParamMap_t& p) {
    return {p.counter_threshold1.snapshot().u32(),           p.counter_threshold2.snapshot().u32(),
            p.counter_alarm.snapshot().u32(),                p.counter_prev_year_threshold1.snapshot().u32(),
            p.counter_prev_year_threshold2.snapshot().u32(), p.counter_prev_year_alarm.snapshot().u32(),
            p.counter_linear_exposure.snapshot().u32(),      p.counter_quadratic_exposure.snapshot().u32()};
}

error_value_t read_counters(mb_link_t& link, counters_t& out) {
    ParamMap_t& p = link.params();
    const uint16_t start = p.counter_threshold1.reg();
    const uint16_t count = uint16_t(p.counter_quadratic_exposure.reg() + 2 - start);
    const error_value_t e = link.read_block(start, count);
    if (!e) out = counters_from_params(p);
    return e;
}

template <typename Item>
journal_download_result_t download_journal(G_t& g, journal_page_T<Item>& page) {
    // The poll cycle asks only for what the shown windows need meanwhile.
    std::optional<mb_link_t::download_guard_t> running;
    if (mb_link_t* l = g.link.load()) running.emplace(*l);
    return download_records(g, page);
}

template <typename Item>
void post_journal_download(G_t& g, journal_page_T<Item>& page) {
    G_t* gp = &g;
    journal_page_T<Item>* pp = &page;
    g.post_to_worker2(make_task([gp, pp] { download_journal(*gp, *pp); }));
}

template <typename Item>
journal_download_result_t download_journal_serving(G_t& g, journal_page_T<Item>& page, window_queue_t& queue,
                                                   const std::function<void()>& on_idle) {
    journal_download_result_t result;
    if (g.link.load() == nullptr) {
        // No worker to run it: the download cannot start.
        result.error = comport_error(kComNotOpen);
        return result;
    }
    bool finished = false;  // serving thread only
    page.loading.store(true);
    G_t* gp = &g;
    journal_page_T<Item>* pp = &page;
    window_queue_t* qp = &queue;
    journal_download_result_t* rp = &result;
    bool* fp = &finished;
    g.post_to_worker2(make_task([gp, pp, qp, rp, fp] {
        *rp = download_journal(*gp, *pp);
        // Queued behind the download's own messages, so they are shown first.
        qp->post([fp] { *fp = true; });
    }));
    queue.run_until([&] { return finished; }, on_idle);
    return result;
}

#define LUMA_JOURNAL_DOWNLOAD(Item)                                                                              \
    template journal_download_result_t download_journal<Item>(G_t&, journal_page_T<Item>&);                  \
    template Item selected_record<Item>(const ParamMap_t&);                                                  \
    template error_value_t read_journal_record<Item>(mb_link_t&, uint32_t, Item&, uint32_t&);              \
    template void post_journal_download<Item>(G_t&, journal_page_T<Item>&);                                  \
    template journal_download_result_t download_journal_serving<Item>(G_t&, journal_page_T<Item>&, window_queue_t&, \
                                                                      const std::function<void()>&);
LUMA_JOURNAL_DOWNLOAD(item1_t)
LUMA_JOURNAL_DOWNLOAD(item2_t)
LUMA_JOURNAL_DOWNLOAD(item3_t)
LUMA_JOURNAL_DOWNLOAD(item4_t)
LUMA_JOURNAL_DOWNLOAD(item6_t)
LUMA_JOURNAL_DOWNLOAD(item7_t)
#undef LUMA_JOURNAL_DOWNLOAD

}  // namespace luma
