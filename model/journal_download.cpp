#include "model/journal_download.h"

#include <algorithm>

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

device_time_t time_of(const mb_param_t& p) { return device_time_from_value(p.snapshot().value); }


ustring_t seconds_text(const char* fmt, int64_t elapsed_ms) {
    return text::format(256, fmt, static_cast<double>(elapsed_ms) / 1000.0);
}

// Holds the master's exchange lock for one sequence of requests.
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
};

// Progress on the window thread, while the download waits: the bar's range is
// the count read at the start, its position the record's number + 1.
template <typename Item>
void report_progress(journal_page_T<Item>& page, uint32_t expected, const Item& record, int64_t elapsed_ms) {
    page.run_on_window_thread([&] {
        const uint32_t position = record.number + 1u;
        const uint32_t ms = elapsed_ms > 0 ? static_cast<uint32_t>(elapsed_ms) : 1u;
        const uint32_t per_second = position * 1000u / ms;
        ustring_t text = text::format(256, "Всего записей: %u. Загружено:%u\n%u записей/с\n", expected, position,
                                      per_second);
        text += record_text(record);
        page.show_progress(expected, position, text);
    });
}

// Gives the page the downloaded records (the page's old ones come back to the
// task and go with it) and ends its loading state.
template <typename Item>
void hand_over(journal_page_T<Item>& page, Array_T<Item>& records) {
    page.run_on_window_thread([&] {
        page.records.swap(records);
        page.loading.store(false);
        page.loaded = true;
        page.refresh_rebuilt();
    });
}

// Starts a download: under the exchange lock, the identity read and then the
// journal's count. The lock is released before anything waits for the window.
error_value_t read_start(mb_link_t* link, mb_param_t ParamMap_t::*count) {
    if (link == nullptr) return comport_error(kComNotOpen);
    ExchangeLock lock(*link);
    error_value_t e = link->read_identity();
    if (!e) e = link->read_param(link->params().*count);
    return e;
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

template <typename Item>
journal_download_result_t download_list(G_t& g, journal_page_T<Item>& page) {
    constexpr list_journal_t journal = kList<Item>;
    journal_download_result_t result;
    Array_T<Item> records;
    mb_link_t* link = g.link.load();

    result.error = read_start(link, journal.count);
    if (result.error) {
        g.error_message(0, ustring_t(u"Ошибка загрузки журнала\n") + window_message_text(result.error));
        hand_over(page, records);
        return result;
    }
    ParamMap_t& p = link->params();
    const mb_param_t& count = p.*journal.count;
    mb_param_t& selector = p.*journal.selector;

    result.expected = count.snapshot().u32();
    records.reserve(std::min(result.expected, kMaxReservedRecords));
    Stopwatch_t clock;

    // The count is read anew with every block, so a journal that grows while
    // it downloads is read to its new end.
    for (uint32_t i = 0; i < count.snapshot().u32() && page.loading.load(); ++i) {
        {
            ExchangeLock lock(*link);
            result.error = link->write_param(selector, i);
            if (!result.error) result.error = link->read_block(journal.block_start, journal.block_count);
        }
        if (result.error) break;
        const Item* record = records.append(selected_record<Item>(p));
        report_progress(page, result.expected, *record, clock.ElapsedMs());
    }

    const int64_t elapsed = clock.ElapsedMs();
    if (result.error) {
        g.error_message(0, seconds_text("Ошибка загрузки журнала через %.3lf с после начала\n", elapsed) +
                               window_message_text(result.error));
    } else if (page.loading.load()) {
        g.info_message(seconds_text("Журнал загружен за %.3lf с", elapsed));
    } else {
        result.stopped = true;
        g.info_message(seconds_text("Загрузка журнала прервана через %.3lf с после начала", elapsed));
    }
    result.received = records.count();
    hand_over(page, records);
    return result;
}

journal_download_result_t download_trend(G_t& g, journal_page_T<item7_t>& page) {
    journal_download_result_t result;
    Array_T<item7_t> records;
    mb_link_t* link = g.link.load();

    result.error = read_start(link, &ParamMap_t::trend_count);
    if (result.error) {
        g.error_message(0, ustring_t(u"Ошибка загрузки журнала \"Тренд\"\n") + window_message_text(result.error));
        hand_over(page, records);
        return result;
    }
    result.expected = link->params().trend_count.snapshot().u32();
    records.reserve(std::min(result.expected, kMaxReservedRecords));
    Stopwatch_t clock;

    uint16_t window[kTrendWindowRegisters];
    uint32_t start = 0;
    uint32_t remaining = result.expected;
    while (remaining > 0 && page.loading.load()) {
        const uint32_t n = std::min(kTrendBlockRecords, remaining);
        {
            ExchangeLock lock(*link);
            result.error = request_trend_block(*link, start, n, window);
        }
        if (result.error) {
            g.error_message(0, seconds_text("Ошибка загрузки журнала \"Тренд\" через %.3lf с после начала\n",
                                            clock.ElapsedMs()) +
                                   window_message_text(result.error));
            result.received = records.count();
            hand_over(page, records);
            return result;
        }
        // Three words per record: time low word, time high word, then
        // concentration (low byte) and temperature (high byte).
        const item7_t* last = nullptr;
        for (uint32_t j = 0; j < n; ++j) {
            const uint16_t* w = window + 3 * j;
            last = records.append(item7_t{start + j, uint32_t(w[0]) + uint32_t(w[1]) * 65536u,
                                          uint16_t(w[2] & 0xFF), uint16_t(w[2] >> 8)});
        }
        report_progress(page, result.expected, *last, clock.ElapsedMs());
        start += n;
        remaining -= n;
    }

    const int64_t elapsed = clock.ElapsedMs();
    if (page.loading.load()) {
        g.info_message(seconds_text("Журнал \"Тренд\" загружен за %.3lf с", elapsed));
    } else {
        result.stopped = true;
        g.info_message(seconds_text("Загрузка журнала \"Тренд\" прервана через %.3lf с после начала", elapsed));
    }
    // One hand-over in every case, an empty trend included: a second one would
    // swap the page's previous records back in.
    result.received = records.count();
    hand_over(page, records);
    return result;
}

}  // namespace

template <>
item1_t selected_record<item1_t>(const ParamMap_t& p) {
    return {p.threshold1_log_index.snapshot().u32(), time_of(p.threshold1_log_time),
            p.threshold1_log_concentration.snapshot().u16()};
}
template <>
item2_t selected_record<item2_t>(const ParamMap_t& p) {
    return {p.threshold2_log_index.snapshot().u32(), time_of(p.threshold2_log_time),
            p.threshold2_log_concentration.snapshot().u16()};
}
template <>
item3_t selected_record<item3_t>(const ParamMap_t& p) {
    return {p.alarm_log_index.snapshot().u32(), time_of(p.alarm_log_time), p.alarm_log_code.snapshot().u16()};
}
template <>
item4_t selected_record<item4_t>(const ParamMap_t& p) {
    item4_t r;
    r.number = p.setup_log_index.snapshot().u32();
    r.time = time_of(p.setup_log_time);
    r.event = p.setup_log_event.snapshot().u16();
    r.measured = p.setup_log_measured.snapshot().u16();
    r.entered = p.setup_log_entered.snapshot().u16();
    r.sensitivity = p.setup_log_sensitivity.snapshot().u16();
    r.linear_exposure = p.setup_log_linear_exposure.snapshot().u32();
    r.quadratic_exposure = p.setup_log_quadratic_exposure.snapshot().u32();
    return r;
}
template <>
item6_t selected_record<item6_t>(const ParamMap_t& p) {
    // The change code is the register's low byte.
    return {p.config_log_index.snapshot().u32(), time_of(p.config_log_time), p.config_log_code.snapshot().u8()};
}
template <>
item7_t selected_record<item7_t>(const ParamMap_t& p) {
    return {p.trend_index.snapshot().u32(), p.trend_time.snapshot().u32(), p.trend_concentration.snapshot().u8(),
            p.trend_temperature.snapshot().u8()};
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
    if constexpr (std::is_same_v<Item, item7_t>)
        return download_trend(g, page);
    else
        return download_list(g, page);
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
