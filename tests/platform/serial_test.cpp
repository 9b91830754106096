// COM numbers over pseudo-terminals and links in a temporary ports folder.
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
    ASSERT_TRUE(plat::register_com_link(254, a.slave_path()));

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
    // A linked port is listed whatever its number.
    EXPECT_EQ(m[31], b.slave_path());
    EXPECT_EQ(m[254], a.slave_path());
    EXPECT_EQ(m.count(12), 0u);  // a link to nothing is no port
    // A device that a link names gets no second number.
    for (const auto& [n, path] : m) {
        if (n != 7 && n != 30 && n != 31 && n != 254) { EXPECT_NE(path, b.slave_path()) << n; }
    }
    // Numbers come in increasing order.
    unsigned last = 0;
    for (const auto& [n, path] : m) { EXPECT_GT(n, last); last = n; }

    plat::unregister_com_link(7);
    plat::unregister_com_link(12);
    plat::unregister_com_link(30);
    plat::unregister_com_link(31);
    plat::unregister_com_link(254);
    EXPECT_NE(plat::com_device_path(7), a.slave_path());
}

}  // namespace
