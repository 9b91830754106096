// The device link against the simulated detector on a pseudo-terminal: real
// Modbus RTU frames, the real poll cycle on worker 1.
#include "model/mb_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/errors.h"
#include "model/app_state.h"
#include "sim/simulator.h"

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

    ConnectionSettings settings(uint16_t timeout = 300) const {
        ConnectionSettings s;
        s.timeout = timeout;
        return s;
    }

    bool open(uint16_t timeout = 300) {
        ustring_t text;
        const bool ok = !link_->apply(settings(timeout), &text) && !link_->open(&text);
        EXPECT_TRUE(ok) << text::utf8(text);
        return ok;
    }

    bool wait_cycles(uint64_t n, milliseconds limit = milliseconds(5000)) {
        const auto end = steady_clock::now() + limit;
        while (link_->completed_cycles() < n) {
            if (steady_clock::now() > end) return false;
            std::this_thread::sleep_for(milliseconds(10));
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
    EXPECT_EQ(m.Threshold_Warn.snapshot().u8(), v & 0xFF);
    EXPECT_TRUE(link_->link_status().same(success()));

    EXPECT_TRUE(state_->is_connected());
    EXPECT_TRUE(state_->adjustment_mode_on());
    EXPECT_FALSE(state_->adjustment_mode_off());
    sim_->set_owner(1, 1);
    const uint64_t c = link_->completed_cycles();
    ASSERT_TRUE(wait_cycles(c + 1));
    EXPECT_FALSE(state_->adjustment_mode_on());
    EXPECT_FALSE(state_->adjustment_mode_off());

    // One parameter now, from another address; a failure keeps the old stamp.
    const int64_t before = m.factory_serial_id.time();
    EXPECT_TRUE(link_->read_param(m.factory_serial_id, 9).is_error());
    EXPECT_EQ(m.factory_serial_id.time(), before);
    EXPECT_FALSE(m.mipex_calibration_point.is_read());
    EXPECT_FALSE(link_->read_param(m.mipex_calibration_point));
    EXPECT_TRUE(m.mipex_calibration_point.is_read());

    link_->close();
    EXPECT_FALSE(state_->is_connected());
    EXPECT_EQ(link_->completed_cycles(), 0u);
    EXPECT_FALSE(m.device_type.is_read());
}

TEST_F(LinkTest, SilentDeviceIsCheckedAtTimeoutPlusBackoffAndStaysUnread) {
    start();
    ASSERT_TRUE(open(2500));
    ASSERT_TRUE(wait_cycles(1));
    ASSERT_TRUE(state_->params.wifi_enabled.is_read());

    // A failed check (2500 ms) marks everything not read at once and holds
    // worker 1 for 500 ms more; the next check starts only then, so checks
    // follow each other at the timeout plus 500 ms.
    sim_->set_fault(sim::Fault_t::kSilent);
    const auto end = steady_clock::now() + seconds(8);
    while (!link_->link_status().is_error() && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
    ASSERT_TRUE(link_->link_status().same(drv_error(kDrvTimeout)));
    const uint64_t after_failure = sim_->requests();
    for (mb_param_t* p : state_->params.params) EXPECT_FALSE(p->is_read()) << p->reg();
    std::this_thread::sleep_for(milliseconds(350));
    EXPECT_EQ(sim_->requests(), after_failure);
    std::this_thread::sleep_for(milliseconds(400));
    EXPECT_EQ(sim_->requests(), after_failure + 1);
    EXPECT_EQ(link_->completed_cycles(), 1u);
    // Only link checks (factory_serial_id, 1152 = 04 80) went out meanwhile.
    const std::vector<std::string> all = frames("");
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 1].substr(0, 17), "01 03 04 80 00 02");
    EXPECT_EQ(all[all.size() - 2].substr(0, 17), "01 03 04 80 00 02");
}

TEST_F(LinkTest, QueuedWritesKeepTheLastValueAndAreDroppedWhileClosed) {
    sim::Options_t o;
    o.owner = 2;
    start(o);

    // Queued while closed: gone at the next turn of worker 1, never sent.
    EXPECT_FALSE(link_->queue_param(state_->params.Threshold_Warn, 21));
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(link_->pending_writes(), 0u);

    ASSERT_TRUE(open());
    ASSERT_TRUE(wait_cycles(1));
    EXPECT_FALSE(link_->queue_param(state_->params.Threshold_Warn, 25));
    EXPECT_FALSE(link_->queue_param(state_->params.Threshold_Warn, 30));
    ASSERT_TRUE(wait_cycles(2));
    // 50213 = C4 25: one write, of 30 (0x1E), read back at once.
    const std::vector<std::string> writes = frames("01 10 C4 25");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].substr(0, 26), "01 10 C4 25 00 01 02 00 1E");
    EXPECT_EQ(state_->params.Threshold_Warn.snapshot().u8(), 30);
    EXPECT_EQ(frames("01 03 C4 25 00 01").size(), 1u);

    // More than four registers, or none, would send bytes from past the
    // value: refused, nothing goes out.
    const uint64_t before = sim_->requests();
    EXPECT_TRUE(link_->write_registers(50213, 5, 0).same(drv_error(kDrvBadRequestSize)));
    EXPECT_TRUE(link_->write_registers(50213, 0, 0).same(drv_error(kDrvBadRequestSize)));
    EXPECT_TRUE(link_->queue_write(50213, 5, 0).same(drv_error(kDrvBadRequestSize)));
    EXPECT_EQ(link_->pending_writes(), 0u);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_LE(sim_->requests(), before + 1);  // at most the poll's own check
    EXPECT_EQ(frames("01 10").size(), 1u);
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
    EXPECT_EQ(state_->connection_settings().timeout, 300);
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
