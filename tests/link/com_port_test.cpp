// The serial port over real pseudo-terminals.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/com_port.h"
#include "link/errors.h"
#include "tests/link/pty_peer.h"

using namespace testing_peer;
using namespace std::chrono;

namespace {

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        use_temp_config_dir();
        ASSERT_TRUE(peer.ok());
        port.set_device_path(peer.path());
    }
    void open_with(const com_port_settings_t& s) {
        error_value_t err;
        port.configure(s, err);
        ASSERT_FALSE(err);
        port.open(err);
        ASSERT_FALSE(err) << text::utf8(err.describe());
    }
    Peer peer;
    com_port_t port;
};

TEST_F(ComPortTest, ConfigureRejectsOutOfRangeSettingsAndKeepsState) {
    com_port_settings_t good;
    good.speed = 19200;
    open_with(good);

    com_port_settings_t bad[4] = {good, good, good, good};
    bad[0].speed = 599;
    bad[1].speed = 256001;
    bad[2].parity = 5;
    bad[3].stop_bits = 3;
    for (const auto& b : bad) {
        error_value_t err;
        port.configure(b, err);
        EXPECT_EQ(err, comport_error(kComInvalidData));
        EXPECT_EQ(port.settings().speed, 19200u);
        EXPECT_EQ(port.settings().parity, 0);
        EXPECT_TRUE(port.is_open());
    }
    // Both ends of the range reopen the line; 256000 is not a termios rate.
    for (uint32_t speed : {600u, 256000u}) {
        com_port_settings_t s = good;
        s.speed = speed;
        s.parity = 3;
        s.stop_bits = 1;
        error_value_t err;
        port.configure(s, err);
        EXPECT_FALSE(err) << speed;
        EXPECT_TRUE(port.is_open()) << speed;
        EXPECT_EQ(port.settings().speed, speed);
    }
}

TEST_F(ComPortTest, OpenFailsForMissingAndHeldDevicesAndIsIdempotent) {
    error_value_t err;
    com_port_t missing;
    missing.set_device_path("/dev/does-not-exist-luma");
    missing.open(err);
    EXPECT_EQ(err, comport_error(kComOpenFailed));
    EXPECT_FALSE(missing.is_open());
    EXPECT_EQ(missing.last_open_result(), plat::SerialOpen::not_found);
    // Something that exists but takes no line settings is no port either.
    missing.set_device_path("/dev/null");
    missing.open(err);
    EXPECT_EQ(err, comport_error(kComOpenFailed));
    EXPECT_FALSE(missing.is_open());

    port.open(err);
    ASSERT_FALSE(err);
    port.open(err);  // already open: no reopen, no error
    EXPECT_FALSE(err);

    com_port_t second;
    second.set_device_path(peer.path());
    second.open(err);
    EXPECT_EQ(err, comport_error(kComOpenFailed));
    EXPECT_EQ(second.last_open_result(), plat::SerialOpen::busy);

    // Once released, the device opens again.
    port.close();
    second.open(err);
    EXPECT_FALSE(err);
}

TEST_F(ComPortTest, QuietLineReadReturnsNothingAfterShortWait) {
    open_with(com_port_settings_t{});
    uint8_t buf[16];
    error_value_t err;
    auto t0 = steady_clock::now();
    EXPECT_EQ(port.read(buf, sizeof buf, err), 0u);
    auto ms = duration_cast<milliseconds>(steady_clock::now() - t0).count();
    EXPECT_FALSE(err);
    EXPECT_GE(ms, 8);
    EXPECT_LT(ms, 200);
}

TEST_F(ComPortTest, EchoMissingShortWrongAndComplete) {
    com_port_settings_t s;
    s.speed = 115200;
    s.permanent_echo = 1;
    open_with(s);
    Bytes frame(100);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7);
    error_value_t err;

    // Nothing comes back at all.
    EXPECT_EQ(port.write(frame.data(), 100, err), 100u);
    EXPECT_EQ(err, comport_error(kComNoEcho));

    // Only the first 10 bytes come back.
    peer.pty().discard_input();
    peer.run([&](Peer& p) { Bytes got = p.read_exact(100); got.resize(10); p.send(got); });
    port.write(frame.data(), 100, err);
    peer.join();
    EXPECT_EQ(err, comport_error(kComEchoMismatch));

    // Everything comes back, one byte changed in the second piece of 64.
    peer.pty().discard_input();
    peer.run([&](Peer& p) { Bytes got = p.read_exact(100); got[70] ^= 1; p.send(got); });
    port.write(frame.data(), 100, err);
    peer.join();
    EXPECT_EQ(err, comport_error(kComEchoMismatch));

    // A correct echo that trickles in across several reads, late, is accepted,
    // and the reply after it is read from a clean start.
    peer.pty().discard_input();
    peer.run([&](Peer& p) {
        Bytes got = p.read_exact(100);
        for (size_t off = 0; off < got.size(); off += 30) {
            std::this_thread::sleep_for(milliseconds(5));
            p.send(Bytes(got.begin() + off, got.begin() + std::min(off + 30, got.size())));
        }
        p.send({0xAA, 0x55});
    });
    EXPECT_EQ(port.write(frame.data(), 100, err), 100u);
    EXPECT_FALSE(err) << text::utf8(err.describe());
    peer.join();
    uint8_t reply[8];
    uint32_t n = 0;
    for (int i = 0; i < 20 && n < 2; ++i) n += port.read(reply + n, sizeof reply - n, err);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(reply[0], 0xAA);
}

TEST_F(ComPortTest, PendingInputIsDiscardedBeforeEachWrite) {
    open_with(com_port_settings_t{});
    peer.send({1, 2, 3});
    std::this_thread::sleep_for(milliseconds(20));
    uint8_t b[2] = {9, 9};
    error_value_t err;
    port.write(b, 2, err);
    ASSERT_FALSE(err);
    uint8_t buf[8];
    EXPECT_EQ(port.read(buf, sizeof buf, err), 0u);
}

TEST_F(ComPortTest, VanishedLineFailsReadAndWrite) {
    open_with(com_port_settings_t{});
    peer.close_line();
    uint8_t buf[8] = {1};
    error_value_t err;
    auto t0 = steady_clock::now();
    port.read(buf, sizeof buf, err);
    EXPECT_EQ(err, comport_error(kComReadFailed));
    port.write(buf, 8, err);
    EXPECT_EQ(err, comport_error(kComWriteFailed));
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 1000);
    EXPECT_TRUE(port.is_open());  // open until closed
}

}  // namespace
