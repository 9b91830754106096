// The simulated detector against hand-built Modbus RTU frames: known requests
// and the exact replies a detector must give, without our own master.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "master_port.h"
#include "sim/protocol.h"

using namespace simtest;
using sim::Device_t;
using sim::DeviceConfig_t;
using std::chrono::milliseconds;

namespace {

struct Line {
    std::vector<std::unique_ptr<Device_t>> devices;
    std::vector<sim::Station_t> stations;
    sim::time_point_t now = sim::clock_t_::now();

    explicit Line(std::vector<uint8_t> addresses, std::vector<uint8_t> foreign = {}, uint16_t owner = 0) {
        for (uint8_t a : addresses) {
            DeviceConfig_t c;
            c.address = a;
            c.owner = owner;
            c.drift = 0;
            c.calibration_time = milliseconds(1000);
            c.records.set_all(45);
            devices.push_back(std::make_unique<Device_t>(c, now));
            stations.push_back({devices.back().get(), 0});
        }
        for (uint8_t a : foreign) stations.push_back({nullptr, a});
    }
    bytes_t ask(const bytes_t& req) {
        sim::Outcome_t o = sim::process_frame(stations, req.data(), req.size(), now);
        return o.reply;
    }
    // Register words of a function-3 reply.
    std::vector<uint16_t> read(uint8_t a, uint16_t start, uint16_t count) {
        bytes_t r = ask(read_req(a, start, count));
        std::vector<uint16_t> w;
        if (r.size() != size_t(5 + 2 * count) || r[1] != 3) return w;
        for (uint16_t i = 0; i < count; ++i) w.push_back(uint16_t(r[3 + 2 * i] << 8 | r[4 + 2 * i]));
        return w;
    }
    // Exception code of a reply, 0 for a normal reply, -1 for none.
    int write(uint8_t a, uint16_t start, const std::vector<uint16_t>& words) {
        bytes_t r = ask(write_req(a, start, words));
        if (r.empty()) return -1;
        return (r[1] & 0x80) ? r[2] : 0;
    }
    void advance(int ms) {
        now += milliseconds(ms);
        for (auto& d : devices) d->tick(now);
    }
};

float as_float(uint16_t lo, uint16_t hi) {
    uint32_t bits = uint32_t(lo) | uint32_t(hi) << 16;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

}  // namespace

TEST(SimFrames, KnownRequestsGiveKnownReplies) {
    Line line({1});
    // The reference frame (CRC 84 0A) asks for register 0, which is not in
    // the map: exception 2 with its own well-known CRC.
    EXPECT_EQ(line.ask(hex("01 03 00 00 00 01 84 0A")), hex("01 83 02 C0 F1"));
    // Device type 10 at 1151, reply CRC computed independently.
    EXPECT_EQ(line.ask(hex("01 03 04 7F 00 01 B4 E2")), hex("01 03 02 00 0A 38 43"));
    // A write of 0 to a threshold outside adjustment mode: refused with
    // exception 1 (the device is in the wrong state for it).
    EXPECT_EQ(line.ask(write_req(1, 50213, {0})), hex("01 90 01 8D C0"));
    // Unknown function 4: exception 1.
    EXPECT_EQ(line.ask(with_crc(hex("01 04 00 00 00 01"))), hex("01 84 01 82 C0"));
}

TEST(SimFrames, IgnoresWhatARealSlaveIgnores) {
    Line line({1, 2}, {9});
    bytes_t good = read_req(1, 1151, 1);
    bytes_t bad = good;
    bad.back() ^= 1;
    EXPECT_TRUE(line.ask(bad).empty());                      // wrong CRC
    EXPECT_TRUE(line.ask(read_req(3, 1151, 1)).empty());     // nobody at 3
    EXPECT_TRUE(line.ask(hex("01 03")).empty());             // too short
    bytes_t longer = with_crc(hex("01 03 04 7F 00 01 00"));  // function 3 with a stray byte
    EXPECT_TRUE(line.ask(longer).empty());
    EXPECT_TRUE(line.ask(read_req(0, 1151, 1)).empty());     // broadcast read
    // Foreign device: exception to anything, also to a valid register.
    bytes_t f = line.ask(read_req(9, 1151, 1));
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[1], 0x83);
    // Limits of function 3 and 16.
    EXPECT_EQ(line.ask(read_req(1, 50180, 126))[2], 3);
    EXPECT_EQ(line.read(1, 50180, 102).size(), 102u);
    EXPECT_EQ(line.ask(read_req(1, 1160, 10))[2], 2);       // runs past 1164
    EXPECT_EQ(line.write(1, 1152, {1}), 2);                  // read-only register
}

TEST(SimFrames, DevicesHaveTheirOwnRegistersAndBroadcastReachesAll) {
    Line line({1, 2});
    auto s1 = line.read(1, 1152, 2), s2 = line.read(2, 1152, 2);
    ASSERT_EQ(s1.size(), 2u);
    EXPECT_NE(s1, s2);
    EXPECT_EQ(uint32_t(s1[0]) | uint32_t(s1[1]) << 16, line.devices[0]->factory_serial());
    // A broadcast command reaches every detector and is not answered.
    EXPECT_EQ(line.write(0, 50190, {20}), -1);
    EXPECT_EQ(line.read(1, 50276, 1), std::vector<uint16_t>{2});
    EXPECT_EQ(line.read(2, 50276, 1), std::vector<uint16_t>{2});
}

TEST(SimFrames, AdjustmentModeGuardsSettings) {
    Line line({1}, {}, 1);  // the console holds the mode
    EXPECT_EQ(line.write(1, 50190, {20}), 0);  // accepted, but not granted
    EXPECT_EQ(line.read(1, 50276, 1), std::vector<uint16_t>{1});
    EXPECT_EQ(line.write(1, 50213, {30}), 1);
    line.devices[0]->set_owner(0);
    EXPECT_EQ(line.write(1, 50190, {20}), 0);
    EXPECT_EQ(line.read(1, 50276, 1), std::vector<uint16_t>{2});
    EXPECT_EQ(line.write(1, 50213, {30}), 0);
    EXPECT_EQ(line.read(1, 50213, 1), std::vector<uint16_t>{30});
    EXPECT_EQ(line.write(1, 50213, {101}), 3);   // beyond 100
    EXPECT_EQ(line.write(1, 50217, {248}), 3);   // address beyond 247
    EXPECT_EQ(line.write(1, 50190, {99}), 3);    // unknown command
    // WiFi commands are taken in any mode; 21 leaves the mode.
    EXPECT_EQ(line.write(1, 50190, {30}), 0);
    EXPECT_EQ(line.read(1, 50281, 1), std::vector<uint16_t>{1});
    EXPECT_EQ(line.write(1, 50190, {21}), 0);
    EXPECT_EQ(line.read(1, 50276, 1), std::vector<uint16_t>{0});
    EXPECT_EQ(line.write(1, 50186, {1}), 1);     // DAC calibration needs the mode
}

TEST(SimFrames, ClockTicksInBcdAndTakesOnlyValidDates) {
    Line line({1}, {}, 2);
    // 2026-03-12 15:30:59 as registers 0x0326, 0x1512, 0x5930.
    EXPECT_EQ(line.write(1, 50210, {0x0326, 0x1512, 0x5930}), 0);
    EXPECT_EQ(line.read(1, 50210, 3), (std::vector<uint16_t>{0x0326, 0x1512, 0x5930}));
    line.advance(1000);
    EXPECT_EQ(line.read(1, 50210, 3), (std::vector<uint16_t>{0x0326, 0x1512, 0x0031}));
    EXPECT_EQ(line.write(1, 50210, {0x1326, 0x1512, 0x5930}), 3);  // month 13
    EXPECT_EQ(line.write(1, 50210, {0x022A, 0x1512, 0x5930}), 3);  // year nibble A
    EXPECT_EQ(line.write(1, 50210, {0x0226, 0x1530, 0x5930}), 3);  // 30 February
}

TEST(SimFrames, ThresholdBitsFollowTheConcentration) {
    Line line({1});
    Device_t& d = *line.devices[0];  // thresholds 20 and 50, hysteresis 2
    d.set_concentration(30);
    line.advance(10);
    auto c = line.read(1, 50200, 2);
    EXPECT_FLOAT_EQ(as_float(c[0], c[1]), 30.0f);
    EXPECT_EQ(line.read(1, 50204, 1)[0] & 0xC0, 0x40);
    d.set_concentration(55);
    line.advance(10);
    EXPECT_EQ(line.read(1, 50204, 1)[0] & 0x1C0, 0x1C0);  // both, and the alarm lock
    d.set_concentration(49);                               // within the hysteresis
    line.advance(10);
    EXPECT_EQ(line.read(1, 50204, 1)[0] & 0xC0, 0xC0);
    d.set_concentration(10);
    line.advance(10);
    EXPECT_EQ(line.read(1, 50204, 1)[0] & 0x1C0, 0x100);  // only the lock stays
    EXPECT_EQ(line.write(1, 50190, {10}), 0);
    EXPECT_EQ(line.read(1, 50204, 1)[0] & 0x1C0, 0);
}

TEST(SimFrames, SensorCalibrationStateMachine) {
    Line line({1}, {}, 2);
    auto state = [&] { return line.read(1, 50192, 1)[0]; };
    // Zero correction: concentration register 0, point 0.
    ASSERT_EQ(line.write(1, 50221, float_words(0.0f)), 0);
    ASSERT_EQ(line.write(1, 3005, {0}), 0);
    ASSERT_EQ(line.write(1, 50191, {1}), 0);
    EXPECT_EQ(state(), 1);
    line.advance(600);
    EXPECT_EQ(state(), 2);
    line.advance(1000);
    EXPECT_EQ(state(), 3);
    // Span with an implausible 150 %: error 4 after running.
    ASSERT_EQ(line.write(1, 50221, float_words(150.0f)), 0);
    ASSERT_EQ(line.write(1, 3005, {1}), 0);
    ASSERT_EQ(line.write(1, 50191, {1}), 0);
    line.advance(1600);
    EXPECT_EQ(state(), 4);
    // A good span, aborted while it runs.
    ASSERT_EQ(line.write(1, 50221, float_words(12.5f)), 0);
    ASSERT_EQ(line.write(1, 50191, {1}), 0);
    line.advance(600);
    ASSERT_EQ(line.write(1, 50191, {0}), 0);
    EXPECT_EQ(state(), 9);
    // A good span to the end sets the reading to the test gas.
    ASSERT_EQ(line.write(1, 50191, {1}), 0);
    line.advance(1600);
    EXPECT_EQ(state(), 3);
    auto c = line.read(1, 50200, 2);
    EXPECT_FLOAT_EQ(as_float(c[0], c[1]), 12.5f);
    // Without the mode nothing starts.
    ASSERT_EQ(line.write(1, 50190, {21}), 0);
    EXPECT_EQ(line.write(1, 50191, {1}), 1);
}

TEST(SimFrames, ListJournalsThroughTheirSelectors) {
    Line line({1});
    sim::JournalSet_t gen(1, [] { sim::JournalCounts_t c; c.set_all(45); return c; }());
    // Threshold 1, record 7: count, selector, time, concentration.
    ASSERT_EQ(line.write(1, 50022, {7, 0}), 0);
    auto w = line.read(1, 50020, 8);
    ASSERT_EQ(w.size(), 8u);
    EXPECT_EQ(w[0], 45);
    EXPECT_EQ(w[2], 7);
    uint16_t t[3];
    sim::clock_words(gen.record(sim::Journal_t::kThreshold1, 7).time, t);
    EXPECT_EQ(std::vector<uint16_t>(w.begin() + 4, w.begin() + 7), std::vector<uint16_t>(t, t + 3));
    EXPECT_EQ(w[7], gen.record(sim::Journal_t::kThreshold1, 7).value);
    EXPECT_EQ(line.write(1, 50022, {45, 0}), 3);  // past the end
    // Every status code in the alarm journal, every change code in the
    // configuration journal, every event kind in the setup journal.
    std::set<uint16_t> alarms, changes, kinds;
    for (uint16_t i = 0; i < 45; ++i) {
        ASSERT_EQ(line.write(1, 50062, {i, 0}), 0);
        alarms.insert(line.read(1, 50060, 8)[7]);
        ASSERT_EQ(line.write(1, 50072, {i, 0}), 0);
        changes.insert(line.read(1, 50070, 8)[7] & 0xFF);
        ASSERT_EQ(line.write(1, 50082, {i, 0}), 0);
        auto s = line.read(1, 50080, 15);
        ASSERT_EQ(s.size(), 15u);
        kinds.insert(s[7] & 7);
        const sim::ListRecord_t r = gen.record(sim::Journal_t::kSetup, i);
        EXPECT_EQ(uint32_t(s[11]) | uint32_t(s[12]) << 16, r.linear_exposure);
        EXPECT_EQ(uint32_t(s[13]) | uint32_t(s[14]) << 16, r.quadratic_exposure);
    }
    EXPECT_EQ(alarms.size(), 21u);
    EXPECT_EQ(changes.size(), 8u);
    EXPECT_EQ(kinds.size(), 8u);
}

TEST(SimFrames, TrendBlockRequest) {
    Line line({1});
    sim::JournalSet_t gen(1, [] { sim::JournalCounts_t c; c.set_all(45); return c; }());
    EXPECT_EQ(line.read(1, 50001, 2), (std::vector<uint16_t>{45, 0}));
    ASSERT_EQ(line.write(1, 50500, {40, 0}), 0);
    ASSERT_EQ(line.write(1, 50502, {5, 0}), 0);
    EXPECT_NE(line.read(1, 50504, 2)[0], 2);  // not ready at once
    line.advance(50);
    EXPECT_EQ(line.read(1, 50504, 2), (std::vector<uint16_t>{2, 0}));
    auto w = line.read(1, 50506, 120);
    ASSERT_EQ(w.size(), 120u);
    for (int j : {0, 39}) {
        const sim::TrendRecord_t r = gen.trend(uint32_t(5 + j));
        EXPECT_EQ(uint32_t(w[3 * j]) | uint32_t(w[3 * j + 1]) << 16, r.time);
        EXPECT_EQ(w[3 * j + 2], uint16_t(r.concentration | r.temperature << 8));
    }
    // The last block 40..44 holds 5; asking for 6 from 40 fails at once.
    ASSERT_EQ(line.write(1, 50500, {6, 0, 40, 0}), 0);
    EXPECT_EQ(line.read(1, 50504, 2)[0], 3);
    ASSERT_EQ(line.write(1, 50500, {41, 0, 0, 0}), 0);
    EXPECT_EQ(line.read(1, 50504, 2)[0], 3);
}

// Random requests with a valid CRC, aimed at the map's neighbourhood: the
// device never crashes, answers only its own address, and every answer is a
// sound frame of the expected shape.
TEST(SimFrames, RandomRequestsGetSoundAnswers) {
    Line line({1, 2}, {3}, 2);
    uint64_t seed = 99;
    auto next = [&] { return seed = sim::mix64(seed); };
    const uint16_t bases[] = {1000, 1151, 3005, 5021, 6000, 50000, 50020, 50080, 50100, 50180, 50210, 50500, 65530};
    for (int i = 0; i < 20000; ++i) {
        const uint64_t r = next();
        bytes_t f{uint8_t(r % 5), uint8_t((r >> 8) % 4 == 0 ? (r >> 16) & 0xFF : ((r >> 16) & 1 ? 3 : 16))};
        const uint16_t start = uint16_t(bases[(r >> 24) % 13] + (r >> 32) % 40);
        const uint16_t count = uint16_t(1 + (r >> 40) % 130);
        f.insert(f.end(), {uint8_t(start >> 8), uint8_t(start), uint8_t(count >> 8), uint8_t(count)});
        if (f[1] == 16) {
            const uint8_t bytes = uint8_t((r >> 48) % 3 == 0 ? (r >> 52) & 0xFF : count * 2);
            f.push_back(bytes);
            for (unsigned k = 0; k < bytes; ++k) f.push_back(uint8_t(next()));
        } else if ((r >> 56) % 8 == 0) {
            f.push_back(uint8_t(r));  // one byte too many
        }
        const bytes_t reply = line.ask(with_crc(f));
        if (reply.empty()) continue;
        ASSERT_TRUE(crc16_check(reply.data(), reply.size()));
        ASSERT_EQ(reply[0], f[0]);
        ASSERT_NE(f[0], 0);
        if (reply[1] & 0x80) {
            ASSERT_EQ(reply.size(), 5u);
            ASSERT_GE(reply[2], 1);
            ASSERT_LE(reply[2], 3);
        } else if (f[1] == 3) {
            ASSERT_EQ(reply.size(), size_t(5 + 2 * count));
        } else {
            ASSERT_EQ(reply, with_crc(bytes_t(f.begin(), f.begin() + 6)));
        }
        line.advance(1);
    }
}
