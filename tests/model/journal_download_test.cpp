#include "model/journal_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/window_queue.h"
#include "sim/journals.h"
#include "sim/simulator.h"

using namespace luma;

namespace {

// Stands in for the window thread: serves posted tasks in order, either
// without waiting (G_t's messages) or while the poster waits (the page's
// progress reports and hand-over).
class WindowThread {
public:
    WindowThread() : thread_([this] { queue_.run_until([this] { return done_; }); }) {}
    ~WindowThread() {
        queue_.post([this] { done_ = true; });
        thread_.join();
    }
    void call(const std::function<void()>& fn) { queue_.call(fn); }
    std::function<bool(std::function<void()>)> poster() { return queue_.poster(); }

private:
    window_queue_t queue_;
    bool done_ = false;  // serving thread only
    std::thread thread_;
};

// The message panel: what the download said last. Window thread only; read by
// the test after a call() has flushed the queue.
struct MessagePanel : IWindowSide {
    std::vector<std::string> messages;
    void show_status_text(const ustring_t&, uint64_t) override {}
    void show_info_message(const ustring_t& t, uint32_t) override { messages.push_back("info: " + text::utf8(t)); }
    void show_error_message(const ustring_t& t, uint32_t ms) override {
        messages.push_back("error" + std::string(ms == 0 ? "" : " (hides)") + ": " + text::utf8(t));
    }
    void clear_message() override {}
};

// A journals page that records what reaches it.
template <typename Item>
struct RecorderPage : journal_page_T<Item> {
    explicit RecorderPage(WindowThread& w) : window(w) {}
    void run_on_window_thread(const std::function<void()>& fn) override { window.call(fn); }
    void show_progress(uint32_t r, uint32_t position, const ustring_t& text) override {
        range = r;
        positions.push_back(position);
        last_text = text::utf8(text);
        if (on_progress) on_progress(position);
    }
    void refresh_rebuilt() override { ++hand_overs; }

    WindowThread& window;
    uint32_t range = 0;
    std::vector<uint32_t> positions;
    std::string last_text;
    int hand_overs = 0;
    std::function<void(uint32_t)> on_progress;  // runs on the window thread
};

class JournalDownload : public ::testing::Test {
protected:
    void start(sim::Options_t o, uint16_t timeout_ms = 1000) {
        o.log = [](const std::string&) {};
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        ASSERT_TRUE(sim_->start(&err)) << err;
        mb_link_t::set_read_diagnostics(false);
        g_ = std::make_unique<G_t>();
        g_->window_poster = window_.poster();
        g_->main_window = &panel_;
        link_ = std::make_unique<mb_link_t>(g_->params);
        g_->link = link_.get();
        link_->set_device_path(sim_->path());
        ConnectionSettings cs;
        cs.timeout = timeout_ms;
        ustring_t text;
        ASSERT_TRUE(!link_->apply(cs, &text) && !link_->open(&text)) << text::utf8(text);
    }
    void TearDown() override {
        if (link_) link_->close();
        link_.reset();
        if (g_) g_->link = nullptr;
        if (sim_) sim_->stop();
    }

    // Runs the download on worker 2, as the program does, and waits for it.
    template <typename Item>
    journal_download_result_t download(RecorderPage<Item>& page) {
        page.loading = true;
        std::promise<journal_download_result_t> done;
        link_->worker2().Post([&] { done.set_value(download_journal(*g_, page)); });
        journal_download_result_t r = done.get_future().get();
        window_.call([] {});  // let the messages posted without waiting arrive
        return r;
    }
    std::string last_message() {
        std::string m;
        window_.call([&] { m = panel_.messages.empty() ? "" : panel_.messages.back(); });
        return m;
    }

    WindowThread window_;
    MessagePanel panel_;
    std::unique_ptr<sim::Simulator_t> sim_;
    std::unique_ptr<G_t> g_;
    std::unique_ptr<mb_link_t> link_;
};

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// A full download of every list journal equals what the device holds, record
// by record, with a progress report per record and one hand-over.
TEST_F(JournalDownload, EveryListJournalEqualsTheDevicesRecords) {
    sim::Options_t o;
    o.records.threshold1 = 12;
    o.records.threshold2 = 3;
    o.records.alarms = 7;
    o.records.setup = 9;
    o.records.config = 5;
    start(o);
    const sim::JournalSet_t device(o.seed, o.records);

    auto check = [&](auto& page, sim::Journal_t j, auto expect_record) {
        page.records.append({});  // an older download, replaced by the hand-over
        const journal_download_result_t r = download(page);
        const uint32_t n = device.count(j);
        EXPECT_FALSE(r.error.is_error()) << text::utf8(r.error.describe());
        EXPECT_EQ(r.expected, n);
        EXPECT_EQ(page.hand_overs, 1);
        EXPECT_TRUE(page.loaded);
        EXPECT_FALSE(page.loading);
        ASSERT_EQ(page.records.count(), n);
        EXPECT_EQ(page.range, n);
        ASSERT_EQ(page.positions.size(), n);
        for (uint32_t i = 0; i < n; ++i) {
            EXPECT_EQ(page.positions[i], i + 1);
            const sim::ListRecord_t d = device.record(j, i);
            EXPECT_EQ(page.records[i].number, i);
            EXPECT_EQ(page.records[i].time, device_time_from_seconds(uint32_t(d.time))) << "record " << i;
            expect_record(page.records[i], d);
        }
        EXPECT_TRUE(starts_with(last_message(), "info: Журнал загружен за ")) << last_message();
    };
    auto value_is = [](uint16_t want, uint16_t got) { EXPECT_EQ(want, got); };

    RecorderPage<item1_t> t1(window_);
    check(t1, sim::Journal_t::kThreshold1, [&](const item1_t& r, const sim::ListRecord_t& d) { value_is(d.value, r.concentration); });
    RecorderPage<item2_t> t2(window_);
    check(t2, sim::Journal_t::kThreshold2, [&](const item2_t& r, const sim::ListRecord_t& d) { value_is(d.value, r.concentration); });
    RecorderPage<item3_t> alarms(window_);
    check(alarms, sim::Journal_t::kAlarms, [&](const item3_t& r, const sim::ListRecord_t& d) { value_is(d.value, r.code); });
    RecorderPage<item6_t> config(window_);
    check(config, sim::Journal_t::kConfig, [&](const item6_t& r, const sim::ListRecord_t& d) { value_is(d.value & 0xFF, r.code); });
    RecorderPage<item4_t> setup(window_);
    check(setup, sim::Journal_t::kSetup, [&](const item4_t& r, const sim::ListRecord_t& d) {
        EXPECT_EQ(r.event, d.event);
        EXPECT_EQ(r.measured, d.measured);
        EXPECT_EQ(r.entered, d.entered);
        EXPECT_EQ(r.sensitivity, d.sensitivity);
        EXPECT_EQ(r.linear_exposure, d.linear_exposure);
        EXPECT_EQ(r.quadratic_exposure, d.quadratic_exposure);
    });
    // The last progress text shows the count, the number loaded, the rate and
    // the last record.
    EXPECT_TRUE(starts_with(setup.last_text, "Всего записей: 9. Загружено:9\n")) << setup.last_text;
    EXPECT_NE(setup.last_text.find(" записей/с\n9. "), std::string::npos) << setup.last_text;

    counters_t c;
    uint32_t want[8];
    device.counters(want);
    ASSERT_FALSE(read_counters(*link_, c).is_error());
    EXPECT_EQ(c, (counters_t{want[0], want[1], want[2], want[3], want[4], want[5], want[6], want[7]}));
}

TEST_F(JournalDownload, EmptyJournalAndEmptyTrendAreHandedOverOnce) {
    sim::Options_t o;
    o.records.set_all(0);
    start(o);
    RecorderPage<item3_t> alarms(window_);
    EXPECT_FALSE(download(alarms).error.is_error());
    EXPECT_EQ(alarms.hand_overs, 1);
    EXPECT_TRUE(alarms.loaded);
    EXPECT_TRUE(alarms.positions.empty());
    EXPECT_TRUE(starts_with(last_message(), "info: Журнал загружен за ")) << last_message();

    // A second hand-over would swap the page's previous records back in.
    RecorderPage<item7_t> trend(window_);
    trend.records.append(item7_t{7, 7, 7, 7});
    EXPECT_FALSE(download(trend).error.is_error());
    EXPECT_EQ(trend.hand_overs, 1);
    EXPECT_EQ(trend.records.count(), 0u);
    EXPECT_TRUE(starts_with(last_message(), "info: Журнал \"Тренд\" загружен за ")) << last_message();
}

TEST_F(JournalDownload, StopAfterFiveRecordsHandsOverFive) {
    sim::Options_t o;
    o.records.threshold1 = 30;
    start(o);
    RecorderPage<item1_t> page(window_);
    page.on_progress = [&](uint32_t position) {
        if (position == 5) page.loading = false;  // the user presses stop
    };
    const journal_download_result_t r = download(page);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(page.records.count(), 5u);
    EXPECT_EQ(page.hand_overs, 1);
    EXPECT_TRUE(starts_with(last_message(), "info: Загрузка журнала прервана через ")) << last_message();
    EXPECT_NE(last_message().find(" с после начала"), std::string::npos);
}

// A stopped download goes on from its last record, on the same device only.
TEST_F(JournalDownload, AContinuationReadsTheRestOfTheSameDevicesJournal) {
    sim::Options_t o;
    o.records.threshold1 = 30;
    start(o);
    const sim::JournalSet_t device(o.seed, o.records);
    RecorderPage<item1_t> page(window_);
    page.on_progress = [&](uint32_t position) {
        if (position == 5) page.loading = false;
    };
    ASSERT_TRUE(download(page).stopped);
    ASSERT_EQ(page.records.count(), 5u);
    EXPECT_FALSE(page.last.complete());
    EXPECT_EQ(page.last.held, 30u);
    EXPECT_NE(page.last.serial, 0u);

    page.on_progress = nullptr;
    page.positions.clear();
    page.continuation = {5, page.last.serial, page.last.held};
    const journal_download_result_t r = download(page);
    EXPECT_TRUE(r.complete());
    EXPECT_EQ(r.first, 5u);
    EXPECT_EQ(r.received, 25u);
    ASSERT_EQ(page.records.count(), 30u);
    for (uint32_t i = 0; i < 30; ++i) {
        EXPECT_EQ(page.records[i].number, i);
        EXPECT_EQ(page.records[i].concentration, device.record(sim::Journal_t::kThreshold1, i).value) << i;
    }
    ASSERT_FALSE(page.positions.empty());
    EXPECT_EQ(page.positions.back(), 30u);

    // Records of another detector are not continued: the download starts over.
    page.continuation = {5, page.last.serial + 1, 30};
    const journal_download_result_t again = download(page);
    EXPECT_EQ(again.first, 0u);
    EXPECT_EQ(again.received, 30u);
    EXPECT_EQ(page.records.count(), 30u);

    // Called off before it began: the page keeps what it had, untouched.
    page.loading = false;
    std::promise<journal_download_result_t> done;
    link_->worker2().Post([&] { done.set_value(download_journal(*g_, page)); });
    EXPECT_TRUE(done.get_future().get().cancelled);
    EXPECT_EQ(page.records.count(), 30u);
    EXPECT_TRUE(page.last.complete());
}

// While a download runs the poll cycle leaves it the line: only the link check
// and the blocks a shown window keeps fresh, every kDownloadPollPeriodMs.
TEST_F(JournalDownload, WhileADownloadRunsThePollCycleReadsOnlyTheLiveBlocksLessOften) {
    struct Read {
        uint16_t start, count;
        std::chrono::steady_clock::time_point at;
    };
    std::mutex lock;
    std::vector<Read> reads;
    sim::Options_t o;
    o.records.alarms = 20;
    o.on_request = [&](const std::vector<uint8_t>& f) {
        if (f.size() < 8 || f[1] != 3) return;
        std::lock_guard<std::mutex> g(lock);
        reads.push_back({uint16_t(f[2] << 8 | f[3]), uint16_t(f[4] << 8 | f[5]), std::chrono::steady_clock::now()});
    };
    start(o);

    // The download itself holds the state.
    RecorderPage<item3_t> page(window_);
    bool running_during = true;
    page.on_progress = [&](uint32_t) { running_during = running_during && link_->download_running(); };
    ASSERT_TRUE(download(page).complete());
    EXPECT_TRUE(running_during);
    EXPECT_FALSE(link_->download_running());

    auto live_reads = [&] {
        std::lock_guard<std::mutex> g(lock);
        std::vector<Read> v;
        for (const Read& r : reads)
            if (r.start == 50200) v.push_back(r);
        return v;
    };
    auto wait_for = [](const std::function<bool()>& pred) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!pred() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return pred();
    };
    {
        mb_link_t::download_guard_t downloading(*link_);
        mb_link_t::live_block_guard_t live(*link_, 50200, 10);
        ASSERT_TRUE(wait_for([&] { return live_reads().size() >= 1; }));
        // From the first reduced cycle on.
        const auto from = live_reads().front().at;
        ASSERT_TRUE(wait_for([&] { return live_reads().size() >= 2; }));
        const std::vector<Read> l = live_reads();
        EXPECT_GE(l[1].at - l[0].at, std::chrono::milliseconds(mb_link_t::kDownloadPollPeriodMs - 500));
        std::lock_guard<std::mutex> g(lock);
        for (const Read& r : reads) {
            if (r.at < from) continue;
            EXPECT_TRUE(r.start == 50200 || r.start == 1152) << r.start << " " << r.count;
        }
    }
    // Back to the full cycle.
    EXPECT_TRUE(wait_for([&] {
        std::lock_guard<std::mutex> g(lock);
        return reads.back().start == 50180;
    }));
}

TEST_F(JournalDownload, TrendMovesInBlocksOfForty) {
    sim::Options_t o;
    o.records.trend = 100;
    o.trend_delay_ms = 5;
    start(o);
    const sim::JournalSet_t device(o.seed, o.records);
    RecorderPage<item7_t> page(window_);
    const journal_download_result_t r = download(page);
    ASSERT_FALSE(r.error.is_error()) << text::utf8(r.error.describe());
    EXPECT_EQ(page.positions, (std::vector<uint32_t>{40, 80, 100}));
    EXPECT_EQ(page.range, 100u);
    ASSERT_EQ(page.records.count(), 100u);
    for (uint32_t i = 0; i < 100; ++i) {
        const sim::TrendRecord_t d = device.trend(i);
        EXPECT_EQ(page.records[i], (item7_t{i, d.time, d.concentration, d.temperature})) << "record " << i;
    }
    EXPECT_TRUE(starts_with(last_message(), "info: Журнал \"Тренд\" загружен за ")) << last_message();
}

TEST_F(JournalDownload, TrendBlockNeverReadyTimesOut) {
    sim::Options_t o;
    o.records.trend = 100;
    o.trend_delay_ms = 60000;
    start(o);
    RecorderPage<item7_t> page(window_);
    const auto t0 = std::chrono::steady_clock::now();
    const journal_download_result_t r = download(page);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(r.error, app_error(app::kJournalTimeout));
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(page.hand_overs, 1);
    EXPECT_EQ(page.records.count(), 0u);
    EXPECT_TRUE(starts_with(last_message(), "error: Ошибка загрузки журнала \"Тренд\" через ")) << last_message();
    EXPECT_NE(last_message().find("с после начала\nПриложение. Таймаут загрузки журнала"), std::string::npos)
        << last_message();
}

// The device claims 60 trend records but holds 50: it refuses the second
// block with state 3, and the first 40 records are handed over.
TEST_F(JournalDownload, TrendBlockRefusedByTheDeviceFailsAtOnce) {
    sim::Options_t o;
    o.records.trend = 50;
    o.trend_delay_ms = 5;
    start(o);
    ASSERT_TRUE(sim_->set_register(1, 50001, 60));
    RecorderPage<item7_t> page(window_);
    const journal_download_result_t r = download(page);
    EXPECT_EQ(r.error, app_error(app::kJournalLoadError));
    EXPECT_EQ(page.records.count(), 40u);
    EXPECT_NE(last_message().find("Приложение. Ошибка загрузки журнала"), std::string::npos) << last_message();
}

// A count that is garbage must not make the download reserve memory for it:
// the records the device really has arrive, then its refusal ends the loop.
TEST_F(JournalDownload, GarbageCountReservesBoundedRoom) {
    sim::Options_t o;
    o.records.alarms = 6;
    start(o);
    ASSERT_TRUE(sim_->set_register(1, 50060, 0xFFFF));
    ASSERT_TRUE(sim_->set_register(1, 50061, 0xFFFF));
    RecorderPage<item3_t> page(window_);
    const journal_download_result_t r = download(page);
    EXPECT_EQ(r.expected, 0xFFFFFFFFu);
    EXPECT_TRUE(r.error.is_error());
    EXPECT_EQ(page.records.count(), 6u);
    EXPECT_LE(page.records.capacity(), size_t(kMaxReservedRecords));
    EXPECT_TRUE(starts_with(last_message(), "error: Ошибка загрузки журнала через ")) << last_message();
}

TEST_F(JournalDownload, DeviceDroppingMidwayHandsOverWhatWasRead) {
    sim::Options_t o;
    o.records.setup = 40;
    start(o, 200);
    RecorderPage<item4_t> page(window_);
    page.on_progress = [&](uint32_t position) {
        if (position == 10) sim_->drop_line();  // the cable is pulled
    };
    const journal_download_result_t r = download(page);
    EXPECT_TRUE(r.error.is_error());
    EXPECT_EQ(page.records.count(), 10u);
    EXPECT_EQ(page.hand_overs, 1);
    EXPECT_FALSE(page.loading);
    EXPECT_TRUE(starts_with(last_message(), "error: Ошибка загрузки журнала через ")) << last_message();
}

TEST_F(JournalDownload, FailedIdentityReadLeavesThePageLoadedAndEmpty) {
    sim::Options_t o;
    o.silent = true;
    start(o, 100);
    RecorderPage<item1_t> page(window_);
    page.records.append({});
    const journal_download_result_t r = download(page);
    EXPECT_TRUE(r.error.is_error());
    EXPECT_TRUE(page.loaded);
    EXPECT_EQ(page.records.count(), 0u);
    EXPECT_EQ(page.hand_overs, 1);
    EXPECT_EQ(last_message(), "error: Ошибка загрузки журнала\n" + text::utf8(r.error.name()) + ". " +
                                  text::utf8(r.error.message()));
}

}  // namespace
