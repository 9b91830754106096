// The line monitor watching the real master over a pseudo-terminal whose far
// end plays the device, with the faults real lines have.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/com_port.h"
#include "link/errors.h"
#include "link/mb_driver.h"
#include "model/line_monitor.h"
#include "tests/link/pty_peer.h"

using namespace testing_peer;
using namespace std::chrono;

namespace {

class LineMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        use_temp_config_dir();
        ASSERT_TRUE(peer.ok());
        port.set_device_path(peer.path());
        configure(false);
        master.set_socket(&socket);
        master.arm();
        master.set_observer(&monitor);
        port.set_observer(&monitor);
    }

    void configure(bool echo) {
        com_port_settings_t s;
        s.speed = 115200;
        s.permanent_echo = echo ? 1 : 0;
        error_value_t err;
        port.configure(s, err);
        port.open(err);
        ASSERT_FALSE(err);
    }

    // One exchange of req while the peer answers with answer(request).
    error_value_t exchange(mb_request_t req, uint16_t timeout_ms, const std::function<void(Peer&, const Bytes&)>& answer) {
        master.set_response_timeout(timeout_ms);
        peer.run([answer](Peer& p) {
            Bytes got = p.read_request();
            if (!got.empty()) answer(p, got);
        });
        error_value_t err;
        master.execute(req, err);
        peer.join();
        return err;
    }

    // The lines of everything seen since the last call, as one text.
    std::string drained() {
        std::vector<std::string> fresh;
        monitor.drain(&fresh);
        std::string s;
        for (auto& l : fresh) s += l + "\n";
        return s;
    }

    static mb_request_t request(uint8_t fn, uint16_t start, std::initializer_list<uint16_t> values, uint16_t q = 0) {
        mb_request_t r;
        r.slave = 1;
        r.function = fn;
        r.start = start;
        r.quantity = q ? q : uint16_t(values.size());
        for (uint16_t v : values) {
            r.data[r.data_length++] = uint8_t(v >> 8);
            r.data[r.data_length++] = uint8_t(v & 0xFF);
        }
        if (fn == 6) std::swap(r.data[0], r.data[1]);  // the record keeps 5 and 6 low byte first
        return r;
    }

    Peer peer;
    com_port_t port;
    com_port_socket_t socket{&port};
    mb_driver_t master;
    line_monitor_t monitor;
};

TEST_F(LineMonitorTest, DecodesReadsWritesAndExceptionsWithParameterNames) {
    // factory_serial_id (1152, two registers, low word first) = 0x0001E240 = 123456.
    ASSERT_FALSE(exchange(request(3, 1152, {}, 2), 3000,
                          [](Peer& p, const Bytes&) { p.send(read_reply(1, {0xE240, 0x0001})); }));
    std::string s = drained();
    EXPECT_NE(s.find("задача адр. 1, чтение (3) 1152–1153, 2 рег.;"), std::string::npos) << s;
    EXPECT_NE(s.find("; ОК\n    → 01 03 04 80 00 02"), std::string::npos) << s;
    EXPECT_NE(s.find("    ← 01 03 04 E2 40 00 01"), std::string::npos) << s;
    EXPECT_NE(s.find("factory_serial_id=123456"), std::string::npos) << s;

    // Write multiple: the thresholds by their titles.
    ASSERT_FALSE(exchange(request(16, 50213, {25, 50}), 3000, [](Peer& p, const Bytes& r) {
        p.send(with_crc(Bytes(r.begin(), r.begin() + 6)));
    }));
    s = drained();
    EXPECT_NE(s.find("запись (16) 50213–50214, 2 рег."), std::string::npos) << s;
    EXPECT_NE(s.find("Порог 1=25; Порог 2=50"), std::string::npos) << s;

    // Write single.
    ASSERT_FALSE(exchange(request(6, 50217, {7}), 3000, [](Peer& p, const Bytes& r) { p.send(r); }));
    s = drained();
    EXPECT_NE(s.find("запись (6) 50217 = 7"), std::string::npos) << s;
    EXPECT_NE(s.find("Адрес в Modbus=7"), std::string::npos) << s;

    // An exception: the same text the user is shown, and the reply decoded.
    EXPECT_EQ(exchange(request(3, 9000, {}, 1), 3000,
                       [](Peer& p, const Bytes&) { p.send(with_crc({0x01, 0x83, 0x02})); }),
              mb_exception(2));
    s = drained();
    EXPECT_NE(s.find("; Modbus-протокол. Недопустимый адрес\n"), std::string::npos) << s;
    EXPECT_NE(s.find("исключение 2 на функцию 3: Недопустимый адрес"), std::string::npos) << s;

    const line_stats_t& st = monitor.stats();
    EXPECT_EQ(st.exchanges, 4u);
    EXPECT_EQ(st.failures[size_t(line_failure_t::exception)], 1u);
    EXPECT_EQ(st.failed(), 1u);
    EXPECT_GT(st.worst_round_trip_us, 0u);
    EXPECT_NE(monitor.stats_text().find("Обменов: 4, отказов: 1 (исключение 1)"), std::string::npos)
        << monitor.stats_text();
}

TEST_F(LineMonitorTest, ShowsTimeoutCrcNoiseStaleBytesAndLateReplies) {
    EXPECT_EQ(exchange(request(3, 1000, {}, 1), 100, [](Peer&, const Bytes&) {}), drv_error(kDrvTimeout));
    std::string s = drained();
    EXPECT_NE(s.find("; Modbus-драйвер. Таймаут приёма данных\n"), std::string::npos) << s;
    EXPECT_NE(s.find("    ← (нет ответа)"), std::string::npos) << s;

    Bytes bad = read_reply(1, {5});
    bad.back() ^= 0xFF;
    EXPECT_EQ(exchange(request(3, 1000, {}, 1), 3000, [bad](Peer& p, const Bytes&) { p.send(bad); }),
              drv_error(kDrvBadCrc));
    s = drained();
    EXPECT_NE(s.find("Неверная контрольная сумма"), std::string::npos) << s;

    // Noise: bytes that are no frame, until the time-out.
    EXPECT_EQ(exchange(request(3, 1000, {}, 1), 150,
                       [](Peer& p, const Bytes&) { p.send({0x00, 0x11, 0xFE, 0x7F}); }),
              drv_error(kDrvTimeout));
    s = drained();
    EXPECT_NE(s.find("шум: 4 байт, ответа в них нет"), std::string::npos) << s;

    // A reply that comes after the time-out waits on the line and is dropped
    // before the next request: shown as the late reply it is.
    std::atomic<bool> late_sent{false};
    master.set_response_timeout(100);
    peer.run([&late_sent](Peer& p) {
        p.read_request();
        std::this_thread::sleep_for(milliseconds(400));  // past the master's time-out
        p.send(read_reply(1, {111}));
        late_sent = true;
    });
    error_value_t err;
    mb_request_t first = request(3, 1000, {}, 1);
    master.execute(first, err);
    EXPECT_EQ(err, drv_error(kDrvTimeout));
    peer.join();
    ASSERT_TRUE(late_sent);
    // Bytes written into a pseudo-terminal reach its other end a moment
    // later; until they are there a request finds nothing to drop, so the
    // requests go on (each answered) until the late reply shows.
    s.clear();
    auto until_seen = [&](const char* what, const Bytes& before) {
        const auto end = steady_clock::now() + seconds(20);
        while (s.find(what) == std::string::npos && steady_clock::now() < end) {
            if (!before.empty()) peer.send(before);
            exchange(request(3, 1000, {}, 1), 3000, [](Peer& p, const Bytes&) { p.send(read_reply(1, {222})); });
            s += drained();
        }
    };
    until_seen("поздний ответ отброшен перед запросом (адр. 1, данные (3), 2 байт): 01 03 02 00 6F", {});
    EXPECT_NE(s.find("поздний ответ отброшен перед запросом (адр. 1, данные (3), 2 байт): 01 03 02 00 6F"),
              std::string::npos)
        << s;

    // Garbage waiting before a request.
    s.clear();
    until_seen("отброшены байты, ждавшие перед запросом (шум?): 2 байт: 55 AA", {0x55, 0xAA});
    EXPECT_NE(s.find("отброшены байты, ждавшие перед запросом (шум?): 2 байт: 55 AA"), std::string::npos) << s;

    const line_stats_t& st = monitor.stats();
    EXPECT_GE(st.failures[size_t(line_failure_t::timeout)], 3u);
    EXPECT_EQ(st.failures[size_t(line_failure_t::crc)], 1u);
    EXPECT_GE(st.late, 1u);
    EXPECT_GE(st.noise, 1u);
    EXPECT_GE(st.stale, 2u);
}

TEST_F(LineMonitorTest, ShowsTheEchoReadBack) {
    configure(true);
    ASSERT_FALSE(exchange(request(3, 1037, {}, 1), 3000, [](Peer& p, const Bytes& r) {
        p.send(r);  // a two-wire adapter hears the request
        p.send(read_reply(1, {3}));
    }));
    const std::string s = drained();
    EXPECT_NE(s.find("эхо прочитано: 8 байт: 01 03 04 0D 00 01"), std::string::npos) << s;
    EXPECT_NE(s.find("cfg_file_ver=3"), std::string::npos) << s;
    EXPECT_EQ(monitor.stats().echoes, 1u);
}

TEST(LineMonitorRing, KeepsItsBoundsAndSaysWhatItDropped) {
    line_monitor_t m(8, 50);
    const uint8_t req[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
    line_exchange_t x;
    x.request = req;
    x.request_len = sizeof req;
    x.outcome = drv_error(kDrvTimeout);
    for (int i = 0; i < 1000; ++i) m.on_exchange(x);
    EXPECT_EQ(m.pending(), 8u);
    m.drain();
    EXPECT_EQ(m.stats().lost, 992u);
    EXPECT_EQ(m.stats().exchanges, 8u);
    EXPECT_NE(m.lines().front().find("пропущено записей монитора: 992"), std::string::npos);
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 8; ++i) m.on_exchange(x);
        m.drain();
    }
    EXPECT_EQ(m.lines().size(), 50u);
    EXPECT_EQ(m.stats().exchanges, 168u);
}

}  // namespace
