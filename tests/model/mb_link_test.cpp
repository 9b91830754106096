// The device link against the simulated detector on a pseudo-terminal: real
// Modbus RTU frames, the real poll cycle on worker 1.
#include "model/mb_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/errors.h"
#include "model/app_state.h"
#include "sim/simulator.h"
#include "tests/link/pty_peer.h"

using namespace std::chrono;

namespace {

// The simulator on a pty with its frame log captured, and a link over a
// parameter map of the test's own.
class LinkTest : public ::testing::Test {
protected:
    void start(sim::Options_t o = {}) {
        o.drift = 0;
        o.verbose = true;
        o.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> g(log_mu_);
            log_.push_back(line);
        };
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        ASSERT_TRUE(sim_->start(&err)) << err;
        link_ = std::make_unique<mb_link_t>(state_->params);
        link_->set_device_path(sim_->path());
        state_->link = link_.get();
    }

    void TearDown() override {
        state_->link = nullptr;
        link_.reset();
        if (sim_) sim_->stop();
    }

    // A roomy response time-out: a loaded machine may keep the simulator from
    // answering for a while.
    static constexpr uint16_t kRoomyTimeoutMs = 3000;

    ConnectionSettings settings(uint16_t timeout = kRoomyTimeoutMs) const {
        ConnectionSettings s;
        s.timeout = timeout;
        return s;
    }

    bool open(uint16_t timeout = kRoomyTimeoutMs) {
        ustring_t text;
        const bool ok = !link_->apply(settings(timeout), &text) && !link_->open(&text);
        EXPECT_TRUE(ok) << text::utf8(text);
        return ok;
    }

    bool wait_cycles(uint64_t n, milliseconds limit = milliseconds(10000)) {
        return wait_for([&] { return link_->completed_cycles() >= n; }, limit);
    }

    template <typename Condition>
    static bool wait_for(Condition done, milliseconds limit = milliseconds(15000)) {
        const auto end = steady_clock::now() + limit;
        while (!done()) {
            if (steady_clock::now() > end) return false;
            std::this_thread::sleep_for(milliseconds(5));
        }
        return true;
    }

    // Frames the simulator received whose bytes start with prefix (hex text).
    std::vector<std::string> frames(const std::string& prefix) {
        std::lock_guard<std::mutex> g(log_mu_);
        std::vector<std::string> out;
        for (const std::string& l : log_) {
            const size_t at = l.find("-> ");
            if (at != std::string::npos && l.compare(at + 3, prefix.size(), prefix) == 0) out.push_back(l.substr(at + 3));
        }
        return out;
    }

    std::unique_ptr<G_t> state_ = std::make_unique<G_t>();
    std::unique_ptr<sim::Simulator_t> sim_;
    std::unique_ptr<mb_link_t> link_;
    std::mutex log_mu_;
    std::vector<std::string> log_;
};

TEST_F(LinkTest, PollCycleFillsEveryPolledParameterAndNothingElse) {
    sim::Options_t o;
    o.owner = 2;
    start(o);
    EXPECT_FALSE(state_->is_connected());
    ASSERT_TRUE(open());
    ASSERT_TRUE(wait_cycles(1));

    ParamMap_t& m = state_->params;
    size_t polled = 0;
    for (mb_param_t* p : m.params) {
        bool inside = false;
        for (mb_topic_t* t : m.topics) inside = inside || p->inside(t->start, t->count);
        EXPECT_EQ(p->is_read(), inside) << p->reg();
        polled += inside;
    }
    EXPECT_GE(polled, 60u);
    EXPECT_EQ(m.factory_serial_id.snapshot().u32(), sim_->factory_serial(1));
    uint16_t v = 0;
    ASSERT_TRUE(sim_->get_register(1, 50213, v));
    EXPECT_EQ(m.Threshold_Warn.snapshot().u16(), v);
    EXPECT_TRUE(link_->link_status().same(success()));

    EXPECT_TRUE(state_->is_connected());
    EXPECT_TRUE(state_->adjustment_mode_on());
    EXPECT_FALSE(state_->adjustment_mode_off());
    sim_->set_owner(1, 1);
    // The cycle under way may have read the owner before the change; the one
    // after it has read it afresh.
    const uint64_t c = link_->completed_cycles();
    ASSERT_TRUE(wait_cycles(c + 2));
    EXPECT_FALSE(state_->adjustment_mode_on());
    EXPECT_FALSE(state_->adjustment_mode_off());

    // One parameter now, one the poll cycle never reads (so nothing else
    // stamps it meanwhile); a failure from another address keeps the stamp.
    EXPECT_FALSE(m.mipex_calibration_point.is_read());
    EXPECT_FALSE(link_->read_param(m.mipex_calibration_point));
    EXPECT_TRUE(m.mipex_calibration_point.is_read());
    const int64_t before = m.mipex_calibration_point.time();
    EXPECT_TRUE(link_->read_param(m.mipex_calibration_point, 9).is_error());
    EXPECT_EQ(m.mipex_calibration_point.time(), before);
    EXPECT_TRUE(m.mipex_calibration_point.is_read());

    link_->close();
    EXPECT_FALSE(state_->is_connected());
    EXPECT_EQ(link_->completed_cycles(), 0u);
    EXPECT_FALSE(m.device_type.is_read());
}

// How often the checks come (the timeout plus 500 ms) is measured by
// bench_refresh; here: what a silent device leaves behind.
TEST_F(LinkTest, SilentDeviceIsCheckedAtTimeoutPlusBackoffAndStaysUnread) {
    start();
    ASSERT_TRUE(open(800));
    ASSERT_TRUE(wait_cycles(1));
    ASSERT_TRUE(state_->params.wifi_enabled.is_read());

    // A failed check marks everything not read before it is reported.
    sim_->set_fault(sim::Fault_t::kSilent);
    ASSERT_TRUE(wait_for([&] { return link_->link_status().is_error(); }));
    EXPECT_TRUE(link_->link_status().same(drv_error(kDrvTimeout)));
    for (mb_param_t* p : state_->params.params) EXPECT_FALSE(p->is_read()) << p->reg();
    // The checks go on, and only checks (factory_serial_id, 1152 = 04 80):
    // every frame logged from the failure on.
    const size_t after_failure = frames("").size();
    ASSERT_TRUE(wait_for([&] { return frames("").size() >= after_failure + 2; }));
    const std::vector<std::string> all = frames("");
    for (size_t i = after_failure; i < all.size(); ++i) EXPECT_EQ(all[i].substr(0, 17), "01 03 04 80 00 02") << i;
    EXPECT_EQ(link_->completed_cycles(), 1u);
    for (mb_param_t* p : state_->params.params) EXPECT_FALSE(p->is_read()) << p->reg();
}

// The response time-out is the device's time to answer: at 2400 baud the
// 102-register block takes 871 ms on the wire, more than twice the time-out,
// and still arrives.
TEST_F(LinkTest, SlowLineCarriesTheLongestBlockWithinAShortTimeout) {
    sim::Options_t o;
    o.line_timing = true;
    o.speed = 2400;
    start(o);
    ConnectionSettings s = settings(400);
    s.port_settings.speed = 2400;
    ustring_t text;
    ASSERT_FALSE(link_->apply(s, &text));
    ASSERT_FALSE(link_->open(&text)) << text::utf8(text);
    EXPECT_TRUE(wait_cycles(1, milliseconds(20000))) << text::utf8(link_->link_status().describe());
    EXPECT_FALSE(link_->link_status().is_error());
}

// A block of the cycle that fails is the link's status, though the link
// check before it succeeded: the link is not "established" meanwhile.
TEST_F(LinkTest, ABlockThatFailsIsTheLinksStatus) {
    std::atomic<bool> refuse_state{true};
    sim::Options_t o;
    // The state block, 50180 = C4 04: no reply while refused.
    o.on_request = [&](const std::vector<uint8_t>& f) {
        if (refuse_state && f.size() >= 4 && f[1] == 3 && f[2] == 0xC4 && f[3] == 0x04)
            sim_->set_fault(sim::Fault_t::kSilent, 1);
    };
    start(o);
    ASSERT_TRUE(open(300));
    ASSERT_TRUE(wait_for([&] { return !frames("01 03 C4 04").empty() && link_->link_status().is_error(); }));
    EXPECT_TRUE(link_->link_status().same(drv_error(kDrvTimeout)));
    EXPECT_EQ(link_->completed_cycles(), 0u);
    // Later checks succeed, the block still fails: the status stays.
    const size_t checks = frames("01 03 04 80").size();
    ASSERT_TRUE(wait_for([&] { return frames("01 03 C4 04").size() >= 2 && frames("01 03 04 80").size() > checks; }));
    EXPECT_TRUE(link_->link_status().is_error());
    EXPECT_EQ(link_->completed_cycles(), 0u);

    refuse_state = false;
    ASSERT_TRUE(wait_cycles(1));
    EXPECT_FALSE(link_->link_status().is_error());
}

TEST_F(LinkTest, QueuedWritesKeepTheLastValueAndAreDroppedWhileClosed) {
    sim::Options_t o;
    o.owner = 2;
    start(o);

    // Queued while closed: gone at the next turn of worker 1, never sent.
    EXPECT_FALSE(link_->queue_param(state_->params.Threshold_Warn, 21));
    EXPECT_TRUE(wait_for([&] { return link_->pending_writes() == 0; }));

    ASSERT_TRUE(open());
    ASSERT_TRUE(wait_cycles(1));
    // Queued from a task on worker 1: no poll turn can come in between.
    link_->worker1().Post([&] {
        EXPECT_FALSE(link_->queue_param(state_->params.Threshold_Warn, 25));
        EXPECT_FALSE(link_->queue_param(state_->params.Threshold_Warn, 30));
    });
    ASSERT_TRUE(wait_for([&] {
        return state_->params.Threshold_Warn.is_read() && state_->params.Threshold_Warn.snapshot().u8() == 30;
    }));
    // 50213 = C4 25: one write, of 30 (0x1E), read back at once.
    const std::vector<std::string> writes = frames("01 10 C4 25");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].substr(0, 26), "01 10 C4 25 00 01 02 00 1E");
    EXPECT_EQ(frames("01 03 C4 25 00 01").size(), 1u);
    EXPECT_EQ(frames("01 10 C4 25 00 01 02 00 15").size(), 0u);  // the 21 queued while closed

    // More than four registers, or none, would send bytes from past the
    // value: refused, nothing goes out.
    EXPECT_TRUE(link_->write_registers(50213, 5, 0).same(drv_error(kDrvBadRequestSize)));
    EXPECT_TRUE(link_->write_registers(50213, 0, 0).same(drv_error(kDrvBadRequestSize)));
    EXPECT_TRUE(link_->queue_write(50213, 5, 0).same(drv_error(kDrvBadRequestSize)));
    EXPECT_EQ(link_->pending_writes(), 0u);
    EXPECT_EQ(frames("01 10").size(), 1u);
}

// The poll cycle paused by the link: counted, other work on worker 1 goes on,
// and a pause guard may outlive the link.
TEST_F(LinkTest, PausedPollSendsNothingWhileWorkerOneRunsItsTasks) {
    start();
    ASSERT_TRUE(open());
    ASSERT_TRUE(wait_cycles(1));
    link_->pause_polling();
    std::optional<mb_link_t::poll_pause_guard_t> guard;
    guard.emplace(*link_);
    EXPECT_TRUE(link_->polling_paused());
    // A task of a window still runs, and talks to the device.
    std::atomic<bool> ran{false};
    link_->worker1().Post([&] {
        EXPECT_FALSE(link_->read_param(state_->params.mipex_calibration_point));
        ran = true;
    });
    ASSERT_TRUE(wait_for([&] { return ran.load(); }));
    // A cycle under way when the pause came stops before its next request;
    // after that nothing goes out for longer than a poll period.
    const auto quiet_since = [&] {
        uint64_t n = sim_->requests();
        for (;;) {
            std::this_thread::sleep_for(milliseconds(600));
            const uint64_t m = sim_->requests();
            if (m == n) return m;
            n = m;
        }
    };
    const uint64_t before = quiet_since();
    const uint64_t cycles = link_->completed_cycles();
    std::this_thread::sleep_for(milliseconds(2500));
    EXPECT_EQ(sim_->requests(), before);
    EXPECT_EQ(link_->completed_cycles(), cycles);

    link_->resume_polling();
    EXPECT_TRUE(link_->polling_paused());  // the guard still holds it
    guard.reset();
    EXPECT_FALSE(link_->polling_paused());
    link_->resume_polling();  // one too many: ignored
    EXPECT_FALSE(link_->polling_paused());
    EXPECT_TRUE(wait_cycles(cycles + 1, milliseconds(15000)));

    // A guard destroyed after its link touches nothing of it.
    guard.emplace(*link_);
    state_->link = nullptr;
    link_.reset();
    guard.reset();
}

// The line drops (an adapter pulled out, the simulator's pty closed) and comes
// back under the same COM number with another device path: the poll cycle
// opens it again and the link resumes by itself.
TEST_F(LinkTest, DroppedLineIsReopenedByTheNextCheckAndTheLinkResumes) {
    testing_peer::use_temp_config_dir();
    sim::Options_t o;
    o.com = 9;
    start(o);
    link_->set_device_path("");
    ConnectionSettings s = settings();
    s.port_settings.port = 9;
    ustring_t text;
    ASSERT_FALSE(link_->apply(s, &text));
    ASSERT_FALSE(link_->open(&text)) << text::utf8(text);
    ASSERT_TRUE(wait_cycles(1));
    const std::string first_path = sim_->path();
    const uint64_t cycles = link_->completed_cycles();

    sim_->drop_line();
    ASSERT_TRUE(wait_for([&] { return link_->link_status().is_error(); }));
    EXPECT_TRUE(link_->is_open());  // still connected as far as the user is concerned
    EXPECT_FALSE(state_->is_connected());
    ASSERT_TRUE(sim_->restore_line());
    EXPECT_NE(sim_->path(), first_path);

    ASSERT_TRUE(wait_for([&] { return link_->completed_cycles() > cycles && !link_->link_status().is_error(); },
                         milliseconds(20000)));
    EXPECT_TRUE(state_->is_connected());
    EXPECT_TRUE(link_->is_open());
}

TEST_F(LinkTest, ApplyRefusesBadSettingsAndTheStateKeepsWhatTheLinkHolds) {
    start();
    ASSERT_TRUE(open());
    ConnectionSettings bad = settings(700);
    bad.port_settings.parity = 7;
    bad.block_id = 9;
    ustring_t text;
    EXPECT_FALSE(state_->apply_connection_settings(bad, &text));
    EXPECT_EQ(text::utf8(text), "Настройка порта\nCOM-порт: Неверные данные");
    EXPECT_FALSE(link_->is_open());
    EXPECT_EQ(state_->connection_settings().port_settings.parity, 0);
    EXPECT_EQ(state_->connection_settings().timeout, kRoomyTimeoutMs);
    EXPECT_EQ(state_->connection_settings().block_id, 1);

    ConnectionSettings good = settings(700);
    good.block_id = 2;
    good.port_settings.speed = 19200;
    EXPECT_TRUE(state_->apply_connection_settings(good, &text));
    EXPECT_FALSE(link_->is_open());  // closed before, closed after
    EXPECT_EQ(state_->connection_settings().timeout, 700);
    EXPECT_EQ(state_->connection_settings().block_id, 2);
    EXPECT_EQ(state_->connection_settings().port_settings.speed, 19200u);

    link_->set_device_path("/dev/luma10-no-such-line");
    EXPECT_TRUE(link_->open(&text).same(comport_error(kComOpenFailed)));
    EXPECT_EQ(text::utf8(text),
              "Открытие порта\nCOM-порт: Ошибка открытия порта\n/dev/luma10-no-such-line: устройство отсутствует");
}

// A journal download on worker 2 holds the master across a selector write and
// the read that follows; the poll cycle's requests wait for it.
TEST_F(LinkTest, HeldMasterKeepsThePollOutOfASequence) {
    start();
    ASSERT_TRUE(open());
    ASSERT_TRUE(wait_cycles(1));
    std::atomic<bool> done{false};
    std::atomic<uint64_t> during{0};
    link_->worker2().Post([&] {
        link_->lock_master();
        const uint64_t before = sim_->requests();
        std::this_thread::sleep_for(milliseconds(2300));  // a poll cycle falls due meanwhile
        during = sim_->requests() - before;
        EXPECT_FALSE(link_->read_identity());
        link_->unlock_master();
        done = true;
    });
    const auto end = steady_clock::now() + seconds(10);
    while (!done && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(10));
    ASSERT_TRUE(done);
    EXPECT_EQ(during.load(), 0u);
    EXPECT_TRUE(state_->params.cfg_file_ver.is_read());
}

}  // namespace
