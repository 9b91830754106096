// The simulated detector's output modes and calibration error option, against
// hand-built frames: the test current, the discrete pattern and the DAC code
// are taken only in their modes, the output follows what drives it, and the
// error option decides the first calibration.
#include <gtest/gtest.h>

#include <cstring>

#include "master_port.h"
#include "sim/protocol.h"
#include "sim/simulator.h"

using namespace simtest;
using sim::Device_t;
using std::chrono::milliseconds;

namespace {

struct OneDevice {
    sim::DeviceConfig_t cfg;
    std::unique_ptr<Device_t> dev;
    std::vector<sim::Station_t> stations;
    sim::time_point_t now = sim::clock_t_::now();

    explicit OneDevice(uint16_t forced = 0) {
        cfg.owner = 2;
        cfg.drift = 0;
        cfg.calibration_time = milliseconds(1000);
        dev = std::make_unique<Device_t>(cfg, now);
        if (forced) dev->force_calibration_outcome(forced);
        stations.push_back({dev.get(), 0});
    }
    int write(uint16_t start, const std::vector<uint16_t>& words) {
        bytes_t r = sim::process_frame(stations, write_req(1, start, words).data(), write_req(1, start, words).size(), now).reply;
        if (r.empty()) return -1;
        return (r[1] & 0x80) ? r[2] : 0;
    }
    void advance(int ms) {
        now += milliseconds(ms);
        dev->tick(now);
    }
};

}  // namespace

TEST(SimOutputModes, ValuesAreTakenOnlyInTheirModes) {
    OneDevice d;
    // Outside their modes the device refuses the values that drive outputs.
    EXPECT_EQ(d.write(50181, {12}), 1);
    EXPECT_EQ(d.write(50185, {2}), 1);
    EXPECT_EQ(d.write(50187, {2000}), 1);
    EXPECT_EQ(d.write(50180, {2}), 3);  // modes are 0 or 1

    // Current test: the output is the test current.
    ASSERT_EQ(d.write(50180, {1}), 0);
    EXPECT_EQ(d.write(50181, {25}), 3);
    ASSERT_EQ(d.write(50181, {12}), 0);
    EXPECT_DOUBLE_EQ(d.dev->output_current(), 12.0);
    ASSERT_EQ(d.write(50180, {0}), 0);

    // Discrete test: patterns of the three outputs only.
    ASSERT_EQ(d.write(50184, {1}), 0);
    EXPECT_EQ(d.write(50185, {8}), 3);
    EXPECT_EQ(d.write(50185, {5}), 0);
    EXPECT_EQ(d.dev->peek(50185), 5);

    // DAC calibration: the raw stage follows the code, so 4 mA and 20 mA sit
    // at codes of their own, not at the stored ones.
    ASSERT_EQ(d.write(50186, {1}), 0);
    ASSERT_EQ(d.write(50187, {800}), 0);
    EXPECT_NEAR(d.dev->output_current(), 4.0, 1e-9);
    ASSERT_EQ(d.write(50187, {3990}), 0);
    EXPECT_NEAR(d.dev->output_current(), 20.0, 1e-9);
    EXPECT_EQ(d.write(50187, {4096}), 3);
    ASSERT_EQ(d.write(50186, {0}), 0);
    // Measuring again: 0 %LEL through the stored 4 mA code 812.9, a little above 4 mA.
    EXPECT_NEAR(d.dev->output_current(), 4.0 + 16.0 * 12.9 / 3190.0, 1e-3);
}

TEST(SimOutputModes, ForcedErrorEndsTheFirstCalibrationOnly) {
    OneDevice d(6);
    ASSERT_EQ(d.write(50221, float_words(0.0f)), 0);
    ASSERT_EQ(d.write(3005, {0}), 0);
    ASSERT_EQ(d.write(50191, {1}), 0);
    d.advance(600);
    EXPECT_EQ(d.dev->peek(50192), 2);
    d.advance(1000);
    EXPECT_EQ(d.dev->peek(50192), 6);
    ASSERT_EQ(d.write(50191, {1}), 0);
    d.advance(1600);
    EXPECT_EQ(d.dev->peek(50192), 3);
}

TEST(SimOutputModes, CalibrationErrorOption) {
    sim::Options_t o;
    bool help = false;
    std::string err;
    const char* ok[] = {"luma10-sim", "--calibration-error", "8"};
    ASSERT_TRUE(sim::parse_options(3, ok, o, help, err)) << err;
    EXPECT_EQ(o.calibration_error, 8u);
    for (const char* bad : {"3", "9", "x"}) {
        const char* argv[] = {"luma10-sim", "--calibration-error", bad};
        EXPECT_FALSE(sim::parse_options(3, argv, o, help, err)) << bad;
    }
}
