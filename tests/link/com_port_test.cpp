// The serial port over real pseudo-terminals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
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
    EXPECT_LT(ms, 2000);  // returns after its short wait, not after a time-out of the caller's
}

TEST_F(ComPortTest, EchoMissingShortWrongAndComplete) {
    // At 600 baud each piece of 64 may take over a second to come back: the
    // peer thread has time enough on a loaded machine.
    com_port_settings_t s;
    s.speed = 600;
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
    const auto end = steady_clock::now() + seconds(10);
    while (n < 2 && steady_clock::now() < end) n += port.read(reply + n, sizeof reply - n, err);
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
    EXPECT_TRUE(port.failed());
}

// A failed device is opened again where the COM number now points, whatever
// the system calls the new device; until then the port stays open and failed.
TEST_F(ComPortTest, FailedPortReopensWhereItsComNumberNowPoints) {
    port.set_device_path("");
    ASSERT_TRUE(plat::register_com_link(6, peer.path()));
    com_port_settings_t s;
    s.port = 6;
    open_with(s);
    error_value_t err;
    port.reopen(err);  // not failed: left alone
    EXPECT_FALSE(err);

    Peer again;  // made first, so that it cannot take over the old number
    ASSERT_TRUE(again.ok());
    ASSERT_NE(again.path(), peer.path());
    peer.close_line();
    plat::unregister_com_link(6);
    uint8_t buf[8] = {};
    port.read(buf, sizeof buf, err);
    ASSERT_TRUE(port.failed());
    port.reopen(err);  // nothing behind COM6 now
    EXPECT_EQ(err, comport_error(kComOpenFailed));
    EXPECT_TRUE(port.is_open());
    EXPECT_TRUE(port.failed());
    EXPECT_EQ(text::utf8(port.open_failure_reason()), "COM6: устройство отсутствует");
    port.write(buf, 1, err);
    EXPECT_EQ(err, comport_error(kComWriteFailed));

    ASSERT_TRUE(plat::register_com_link(6, again.path()));
    port.reopen(err);
    EXPECT_FALSE(err) << text::utf8(err.describe());
    EXPECT_FALSE(port.failed());
    again.run([](Peer& p) { p.send(p.read_exact(3)); });
    const uint8_t frame[3] = {1, 2, 3};
    port.write(frame, 3, err);
    EXPECT_FALSE(err);
    uint32_t got = 0;
    const auto end = steady_clock::now() + seconds(10);
    while (got < 3 && steady_clock::now() < end) got += port.read(buf + got, sizeof buf - got, err);
    again.join();
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buf[2], 3);
    plat::unregister_com_link(6);
    EXPECT_FALSE(port.close());
    EXPECT_FALSE(port.is_open());
}

TEST_F(ComPortTest, OpenFailuresNameTheDeviceAndTheReason) {
    error_value_t err;
    auto reason = [&](const std::string& path) {
        com_port_t p;
        p.set_device_path(path);
        p.open(err);
        EXPECT_EQ(err, comport_error(kComOpenFailed)) << path;
        return text::utf8(p.open_failure_reason());
    };
    EXPECT_EQ(reason("/dev/ttyUSB-luma-7"), "/dev/ttyUSB-luma-7: устройство отсутствует");
    EXPECT_EQ(reason("/dev/null"), "/dev/null: это не последовательный порт");
    const std::string file = std::string(std::getenv("LUMA10_CONFIG_DIR")) + "/not-a-tty";
    std::ofstream(file) << "x";
    EXPECT_EQ(reason(file), file + ": это не последовательный порт");
    EXPECT_EQ(reason(std::getenv("LUMA10_CONFIG_DIR")),
              std::string(std::getenv("LUMA10_CONFIG_DIR")) + ": это не последовательный порт");

    open_with(com_port_settings_t{});
    EXPECT_EQ(reason(peer.path()), peer.path() + ": порт занят другой программой");
    EXPECT_TRUE(port.open_failure_reason().empty());

    // Root opens whatever the permissions say; the text is checked apart.
    if (::geteuid() != 0) {
        ::chmod(file.c_str(), 0);
        EXPECT_NE(reason(file).find("нет прав доступа"), std::string::npos);
    }
    EXPECT_EQ(text::utf8(port_open_reason("/dev/ttyUSB0", plat::SerialOpen::no_permission, 1)),
              "/dev/ttyUSB0: нет прав доступа (добавьте пользователя в группу dialout и войдите в систему заново)");

    com_port_t unset;
    com_port_settings_t none;
    none.port = 0;
    unset.configure(none, err);
    unset.open(err);
    EXPECT_EQ(err, comport_error(kComOpenFailed));
    EXPECT_EQ(text::utf8(unset.open_failure_reason()), "COM-порт не задан");
}

// A write waiting for an echo that never comes holds the port's lock for the
// frame's wire time and more (64 bytes at 600 baud: over a second): asking
// whether the port is open meanwhile does not wait for it.
TEST_F(ComPortTest, IsOpenNeverWaitsForTheLine) {
    com_port_settings_t s;
    s.speed = 600;
    s.permanent_echo = 1;
    open_with(s);
    uint8_t frame[64] = {};
    error_value_t write_err;
    std::thread writer([&] { port.write(frame, sizeof frame, write_err); });
    // Once the peer has the frame, the writer holds the lock waiting for the echo.
    EXPECT_EQ(peer.read_exact(sizeof frame, 10000).size(), sizeof frame);
    const auto t0 = steady_clock::now();
    EXPECT_TRUE(port.is_open());
    const auto spent = duration_cast<milliseconds>(steady_clock::now() - t0).count();
    writer.join();
    EXPECT_EQ(write_err, comport_error(kComNoEcho));
    // Generous for a loaded machine; the figures are in bench_refresh.
    EXPECT_LT(spent, 600);
}

}  // namespace
