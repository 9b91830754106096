// COM numbers and the serial line over pseudo-terminals.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/pty.h"
#include "platform/serial.h"
#include "tests/link/pty_peer.h"

namespace {

std::map<unsigned, std::string> listed() {
    std::map<unsigned, std::string> m;
    plat::enumerate_com_ports([&](unsigned n, const std::string& path) { m[n] = path; });
    return m;
}

TEST(ComNumbers, LinksWinAndHeldPortsAreStillListed) {
    testing_peer::use_temp_config_dir();
    plat::Pty_t a, b;
    ASSERT_TRUE(a.open());
    ASSERT_TRUE(b.open());
    ASSERT_TRUE(plat::register_com_link(7, a.slave_path()));
    ASSERT_TRUE(plat::register_com_link(30, b.slave_path()));
    ASSERT_TRUE(plat::register_com_link(31, b.slave_path()));
    ASSERT_TRUE(plat::register_com_link(12, "/dev/luma-gone"));

    EXPECT_EQ(plat::com_device_path(7), a.slave_path());
    EXPECT_EQ(plat::com_device_path(31), b.slave_path());
    EXPECT_EQ(plat::com_device_path(12), "/dev/luma-gone");

    // Held by another opener: listed all the same, but not openable.
    plat::Serial_t holder, other;
    ASSERT_EQ(holder.open(a.slave_path(), plat::SerialLine{}), plat::SerialOpen::ok);
    EXPECT_EQ(other.open(a.slave_path(), plat::SerialLine{}), plat::SerialOpen::busy);
    EXPECT_EQ(other.open("/dev/luma-gone", plat::SerialLine{}), plat::SerialOpen::not_found);

    auto m = listed();
    EXPECT_EQ(m[7], a.slave_path());
    EXPECT_EQ(m[30], b.slave_path());
    EXPECT_EQ(m.count(31), 0u);  // only 1..30 are listed
    EXPECT_EQ(m.count(12), 0u);  // a link to nothing is no port
    // A device that a link names gets no second number.
    for (const auto& [n, path] : m) {
        if (n != 7 && n != 30) EXPECT_NE(path, b.slave_path()) << n;
    }
    // Numbers come in increasing order.
    unsigned last = 0;
    for (const auto& [n, path] : m) { EXPECT_GT(n, last); last = n; }

    plat::unregister_com_link(7);
    plat::unregister_com_link(12);
    plat::unregister_com_link(30);
    plat::unregister_com_link(31);
    EXPECT_NE(plat::com_device_path(7), a.slave_path());
}

TEST(SerialLine, ReadsReturnPromptlyOnceBytesArrive) {
    testing_peer::Peer peer;
    ASSERT_TRUE(peer.ok());
    plat::Serial_t line;
    ASSERT_EQ(line.open(peer.path(), plat::SerialLine{115200, 2, 2}), plat::SerialOpen::ok);
    EXPECT_EQ(line.read_interval_ms(), 1u);
    peer.send({1, 2, 3});
    uint8_t buf[64];
    long n = 0;
    for (int i = 0; i < 50 && n == 0; ++i) n = line.read(buf, sizeof buf);
    // Waiting for the cap to fill or for the 10 ms would slow every exchange;
    // the bytes that are there come back at once.
    auto t0 = std::chrono::steady_clock::now();
    peer.send({4});
    long m = 0;
    for (int i = 0; i < 50 && m == 0; ++i) m = line.read(buf + n, sizeof buf - n);
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(n + m, 4);
    EXPECT_LT(us, 5000);

    plat::Serial_t slow;
    line.close();
    ASSERT_EQ(slow.open(peer.path(), plat::SerialLine{9600, 0, 0}), plat::SerialOpen::ok);
    EXPECT_EQ(slow.read_interval_ms(), 4u);
}

}  // namespace
