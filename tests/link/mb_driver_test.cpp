// The Modbus master against a peer that plays the device over a real
// pseudo-terminal, with the faults real lines have.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/com_port.h"
#include "link/errors.h"
#include "link/mb_driver.h"
#include "tests/link/pty_peer.h"

using namespace testing_peer;
using namespace std::chrono;

namespace {

TEST(MbFrame, BuildsEveryFunctionWithCrc) {
    uint8_t f[300];
    error_value_t err;
    mb_request_t r;
    r.slave = 1;
    r.function = 3;
    r.start = 0;
    r.quantity = 1;
    ASSERT_EQ(mb::build_frame(r, f, err), 8u);
    EXPECT_EQ(Bytes(f, f + 8), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));

    // Functions 5 and 6 keep the value low byte first in the record.
    r.function = 6;
    r.start = 0x1234;
    r.data[0] = 0xCD;
    r.data[1] = 0xAB;
    ASSERT_EQ(mb::build_frame(r, f, err), 8u);
    EXPECT_EQ(Bytes(f, f + 6), (Bytes{0x01, 0x06, 0x12, 0x34, 0xAB, 0xCD}));

    // Function 15: byte count rounds the coil count up.
    r.function = 15;
    r.quantity = 9;
    r.data_length = 2;
    ASSERT_EQ(mb::build_frame(r, f, err), 11u);
    EXPECT_EQ(f[6], 2);
    r.data_length = 1;
    EXPECT_EQ(mb::build_frame(r, f, err), 0u);
    EXPECT_EQ(err, drv_error(kDrvBadRequestSize));

    // Function 16: two bytes per register; a count that does not fit the byte
    // count field is refused rather than sent truncated.
    err = success();
    r.function = 16;
    r.quantity = 2;
    r.data_length = 4;
    ASSERT_EQ(mb::build_frame(r, f, err), 13u);
    EXPECT_EQ(f[6], 4);
    EXPECT_TRUE(crc16_check(f, 13));
    r.quantity = 128;
    r.data_length = 255;
    EXPECT_EQ(mb::build_frame(r, f, err), 0u);
    EXPECT_EQ(err, drv_error(kDrvBadRequestSize));

    for (uint8_t fn : {0, 7, 14, 17, 0x83}) {
        r.function = fn;
        err = success();
        EXPECT_EQ(mb::build_frame(r, f, err), 0u);
        EXPECT_EQ(err, drv_error(kDrvUnsupportedFunction)) << int(fn);
    }
}

class MasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        use_temp_config_dir();
        ASSERT_TRUE(peer.ok());
        port.set_device_path(peer.path());
        com_port_settings_t s;
        s.speed = 115200;
        error_value_t err;
        port.configure(s, err);
        port.open(err);
        ASSERT_FALSE(err);
        master.set_socket(&socket);
        // Roomy: a loaded machine may hold the peer thread back for a while.
        master.set_response_timeout(kTimeoutMs);
        master.arm();
    }

    static constexpr uint16_t kTimeoutMs = 3000;

    static mb_request_t read_req(uint16_t start, uint16_t count, uint8_t slave = 1) {
        mb_request_t r;
        r.slave = slave;
        r.function = 3;
        r.start = start;
        r.quantity = count;
        return r;
    }
    static mb_request_t write_req(uint16_t start, std::initializer_list<uint16_t> values) {
        mb_request_t r;
        r.slave = 1;
        r.function = 16;
        r.start = start;
        r.quantity = uint16_t(values.size());
        for (uint16_t v : values) {
            r.data[r.data_length++] = uint8_t(v >> 8);
            r.data[r.data_length++] = uint8_t(v & 0xFF);
        }
        return r;
    }

    // Runs one exchange while the peer answers a single request with `answer`.
    error_value_t exchange(mb_request_t& req, const std::function<void(Peer&, const Bytes&)>& answer,
                           long* elapsed_ms = nullptr) {
        peer.run([answer](Peer& p) {
            Bytes got = p.read_request();
            if (!got.empty()) answer(p, got);
        });
        error_value_t err;
        auto t0 = steady_clock::now();
        master.execute(req, err);
        if (elapsed_ms) *elapsed_ms = long(duration_cast<milliseconds>(steady_clock::now() - t0).count());
        peer.join();
        return err;
    }

    Peer peer;
    com_port_t port;
    com_port_socket_t socket{&port};
    mb_driver_t master;
};

TEST_F(MasterTest, ReadAndWriteSucceedAlsoWhenTheReplyIsSplit) {
    Bytes seen;
    mb_request_t r = read_req(1000, 3);
    error_value_t err = exchange(r, [&](Peer& p, const Bytes& req) {
        seen = req;
        Bytes reply = read_reply(1, {10, 20, 0xBEEF});
        // Three pieces with pauses, as a USB adapter delivers them.
        p.send(Bytes(reply.begin(), reply.begin() + 2));
        std::this_thread::sleep_for(milliseconds(15));
        p.send(Bytes(reply.begin() + 2, reply.begin() + 6));
        std::this_thread::sleep_for(milliseconds(15));
        p.send(Bytes(reply.begin() + 6, reply.end()));
    });
    ASSERT_FALSE(err) << text::utf8(err.describe());
    EXPECT_EQ(seen, with_crc({1, 3, 0x03, 0xE8, 0, 3}));
    EXPECT_EQ(r.start, 1000);
    EXPECT_EQ(r.quantity, 0);
    EXPECT_EQ(r.data_length, 6);
    EXPECT_EQ(r.data[4], 0xBE);
    EXPECT_EQ(r.data[5], 0xEF);

    mb_request_t w = write_req(50180, {1, 2});
    err = exchange(w, [&](Peer& p, const Bytes& req) {
        seen = req;
        p.send(with_crc({1, 16, req[2], req[3], 0, 2}));
    });
    ASSERT_FALSE(err) << text::utf8(err.describe());
    EXPECT_EQ(seen, with_crc({1, 16, 0xC4, 0x04, 0, 2, 4, 0, 1, 0, 2}));
    EXPECT_EQ(w.start, 50180);
    EXPECT_EQ(w.function, 16);
}

TEST_F(MasterTest, BadRepliesEndWithTheirErrorAndLeaveTheRecord) {
    struct Case {
        const char* what;
        Bytes reply;
        error_value_t expected;
    };
    const Case cases[] = {
        {"corrupted checksum", [] { Bytes b = read_reply(1, {7, 8}); b.back() ^= 0xFF; return b; }(),
         drv_error(kDrvBadCrc)},
        {"other slave address", read_reply(2, {7, 8}), drv_error(kDrvReplyMismatch)},
        {"wrong register count", read_reply(1, {7}), drv_error(kDrvReplyMismatch)},
        {"reply to another function", read_reply(1, {7, 8}, 4), drv_error(kDrvReplyMismatch)},
        // Exception replies: complete after 5 bytes whatever the checksum says.
        {"exception", {1, 0x83, 0x02, 0x00, 0x00}, mb_error(2)},
        // Code 0 (one corrupted byte of an exception is enough) still refuses.
        {"exception with code 0", {1, 0x83, 0x00, 0x00, 0x00}, mb_error(kMbZeroException)},
        {"exception with an unlisted code", {1, 0x83, 0x2A, 0x00, 0x00}, mb_error(0x2A)},
        {"exception to another function", {1, 0x90, 0x02, 0x00, 0x00}, drv_error(kDrvReplyMismatch)},
        {"exception from another slave", {5, 0x83, 0x02, 0x00, 0x00}, drv_error(kDrvReplyMismatch)},
        // Noise before the frame shifts it: the checksum no longer matches.
        {"noise first", [] { Bytes b = read_reply(1, {7, 8}); b.insert(b.begin(), 0x00); return b; }(),
         drv_error(kDrvBadCrc)},
    };
    for (const Case& c : cases) {
        mb_request_t r = read_req(0, 2);
        mb_request_t before = r;
        long ms = 0;
        error_value_t err = exchange(r, [&](Peer& p, const Bytes&) { p.send(c.reply); }, &ms);
        EXPECT_EQ(err, c.expected) << c.what << ": " << text::utf8(err.describe());
        EXPECT_LT(ms, kTimeoutMs - 1000) << c.what << " should not wait for the time-out";
        EXPECT_EQ(r.slave, before.slave) << c.what;
        EXPECT_EQ(r.function, before.function) << c.what;
        EXPECT_EQ(r.quantity, before.quantity) << c.what;
    }
}

TEST_F(MasterTest, WriteRefusedWithExceptionCodeZeroIsNotDone) {
    mb_request_t w = write_req(100, {5});
    error_value_t err = exchange(w, [](Peer& p, const Bytes&) { p.send({1, 0x90, 0x00, 0x12, 0x34}); });
    ASSERT_TRUE(err.is_error());
    EXPECT_EQ(err.category, &mb_category());
    EXPECT_EQ(text::utf8(err.describe()), "Modbus-протокол: Отказ устройства без кода исключения");
    EXPECT_EQ(w.function, 16);
}

TEST(ModbusExceptionTexts, EveryExceptionCodeHasAMessageOfItsOwn) {
    EXPECT_TRUE(mb_exception(0).is_error());
    EXPECT_EQ(text::to_utf8(mb_exception(3).message()), "Недопустимое значение данных");
    EXPECT_EQ(text::to_utf8(mb_exception(9).message()), "Неизвестный код исключения 9");
    EXPECT_EQ(text::to_utf8(mb_exception(255).message()), "Неизвестный код исключения 255");
    EXPECT_EQ(text::to_utf8(mb_error(-1).message()), "Неизвестная ошибка");
}

TEST_F(MasterTest, ReadReplyDoesNotCompleteAWrite) {
    mb_request_t w = write_req(100, {5});
    error_value_t err = exchange(w, [](Peer& p, const Bytes&) { p.send(read_reply(1, {5})); });
    EXPECT_EQ(err, drv_error(kDrvReplyMismatch));
}

// How closely an exchange keeps to its time-out is not asserted here, where
// the machine may be loaded: it ends by the time-out, and no sooner.
TEST_F(MasterTest, SilenceAndUnknownFunctionEndByTimeout) {
    master.set_response_timeout(300);
    for (Bytes reply : {Bytes{}, Bytes{1, 0x07, 0, 0, 0, 0, 0, 0}}) {
        mb_request_t r = read_req(0, 1);
        long ms = 0;
        error_value_t err = exchange(r, [&](Peer& p, const Bytes&) { if (!reply.empty()) p.send(reply); }, &ms);
        EXPECT_EQ(err, drv_error(kDrvTimeout));
        EXPECT_GE(ms, 300);
        EXPECT_LT(ms, 2500);
    }
}

TEST_F(MasterTest, RequestsThatCannotBeSentNeverReachTheLine) {
    mb_request_t r = read_req(0, 1);
    r.function = 7;
    error_value_t err;
    master.execute(r, err);
    EXPECT_EQ(err, drv_error(kDrvUnsupportedFunction));
    r = write_req(0, {1});
    r.data_length = 256;
    master.execute(r, err);
    EXPECT_EQ(err, drv_error(kDrvBadRequestSize));
    // Address 0 is the broadcast: every detector on the line would execute it.
    for (mb_request_t b : {read_req(0, 1, 0), write_req(0, {1})}) {
        b.slave = 0;
        master.execute(b, err);
        EXPECT_EQ(err, drv_error(kDrvBadAddress));
    }
    EXPECT_TRUE(peer.read_all(30).empty());
}

// A write is confirmed only by the echo of its own start and count; a reply
// echoing others answers another request.
TEST_F(MasterTest, WriteReplyEchoingOtherRegistersConfirmsNothing) {
    const Bytes other_start = with_crc({1, 16, 0xC4, 0x05, 0, 2});
    const Bytes other_count = with_crc({1, 16, 0xC4, 0x04, 0, 1});
    for (const Bytes& reply : {other_start, other_count}) {
        mb_request_t w = write_req(50180, {1, 2});
        error_value_t err = exchange(w, [&](Peer& p, const Bytes&) { p.send(reply); });
        EXPECT_EQ(err, drv_error(kDrvWriteEchoMismatch));
        EXPECT_EQ(w.quantity, 2);  // the record is left as it was
    }
    // Function 6 echoes the value.
    mb_request_t w6 = write_req(7, {});
    w6.function = 6;
    w6.data[0] = 0x05;  // low byte first: value 5
    error_value_t err = exchange(w6, [](Peer& p, const Bytes&) { p.send(with_crc({1, 6, 0, 7, 0, 6})); });
    EXPECT_EQ(err, drv_error(kDrvWriteEchoMismatch));
    EXPECT_EQ(text::utf8(err.describe()),
              "Modbus-драйвер: Ответ подтверждает другую запись: выполнена ли эта, неизвестно");

    // The reply of a write that timed out comes while the next write waits:
    // it must not complete that one.
    master.set_response_timeout(100);
    std::atomic<bool> first_done{false};
    peer.run([&first_done](Peer& p) {
        const Bytes first = p.read_request();
        const auto end = steady_clock::now() + seconds(20);
        while (!first_done && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
        p.read_request(10000);
        p.send(with_crc({1, 16, first[2], first[3], first[4], first[5]}));
    });
    mb_request_t first = write_req(50180, {1});
    master.execute(first, err);
    EXPECT_EQ(err, drv_error(kDrvTimeout));
    first_done = true;
    master.set_response_timeout(kTimeoutMs);
    mb_request_t second = write_req(50200, {2});
    master.execute(second, err);
    peer.join();
    EXPECT_EQ(err, drv_error(kDrvWriteEchoMismatch));
}

// The response time-out is the device's time to answer: a reply whose wire
// time alone exceeds it still arrives.
TEST_F(MasterTest, SlowLineAddsTheReplysWireTimeToTheTimeout) {
    com_port_settings_t s = port.settings();
    s.speed = 1200;
    error_value_t err;
    port.configure(s, err);
    ASSERT_FALSE(err);
    master.set_response_timeout(500);
    // 60 registers: 125 bytes, 1042 ms at 1200 baud, paced as the wire would.
    mb_request_t r = read_req(0, 60);
    err = exchange(r, [](Peer& p, const Bytes&) {
        const Bytes reply = read_reply(1, std::vector<uint16_t>(60, 9));
        const auto t0 = steady_clock::now();
        for (size_t i = 0; i < reply.size(); i += 5) {
            std::this_thread::sleep_until(t0 + microseconds(long(i) * 10000000 / 1200));
            p.send(Bytes(reply.begin() + long(i), reply.begin() + long(std::min(i + 5, reply.size()))));
        }
    });
    EXPECT_FALSE(err) << text::utf8(err.describe());
    EXPECT_EQ(line_wire_time_ms(125, s), 1042u);
    s.parity = 2;
    s.stop_bits = 2;
    EXPECT_EQ(line_wire_time_ms(120, s), 1200u);  // 12 bits a character
}

TEST_F(MasterTest, LateReplyOfAnEarlierRequestIsNotTakenForTheNext) {
    master.set_response_timeout(100);
    std::atomic<bool> late_sent{false};
    peer.run([&late_sent](Peer& p) {
        p.read_request();
        std::this_thread::sleep_for(milliseconds(800));  // too late for the first exchange
        p.send(read_reply(1, {111}));
        late_sent = true;
        p.read_request(10000);
        p.send(read_reply(1, {222}));
    });
    mb_request_t first = read_req(0, 1);
    error_value_t err;
    master.execute(first, err);
    EXPECT_EQ(err, drv_error(kDrvTimeout));
    // The late reply is now waiting in the buffer.
    const auto end = steady_clock::now() + seconds(10);
    while (!late_sent && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
    master.set_response_timeout(kTimeoutMs);
    mb_request_t second = read_req(0, 1);
    master.execute(second, err);
    peer.join();
    ASSERT_FALSE(err) << text::utf8(err.describe());
    EXPECT_EQ(second.data[1], 222);
}

TEST_F(MasterTest, CancelFromAnotherThreadEndsAWaitingExchange) {
    master.set_response_timeout(5000);
    peer.run([](Peer& p) { p.read_request(); });
    std::thread canceller([&] {
        std::this_thread::sleep_for(milliseconds(50));
        master.cancel();
    });
    mb_request_t r = read_req(0, 1);
    error_value_t err;
    auto t0 = steady_clock::now();
    master.execute(r, err);
    auto ms = duration_cast<milliseconds>(steady_clock::now() - t0).count();
    canceller.join();
    peer.join();
    EXPECT_EQ(err, drv_error(kDrvCancelled));
    EXPECT_LT(ms, 4000);  // the cancel, not the 5000 ms time-out

    // Disarmed, the next exchange sends and ends at once; armed again, it works.
    master.disarm();
    r = read_req(0, 1);
    err = exchange(r, [](Peer& p, const Bytes&) { p.send(read_reply(1, {1})); });
    EXPECT_EQ(err, drv_error(kDrvCancelled));
    peer.pty().discard_input();
    master.arm();
    err = exchange(r, [](Peer& p, const Bytes&) { p.send(read_reply(1, {1})); });
    EXPECT_FALSE(err) << text::utf8(err.describe());
}

TEST_F(MasterTest, LineClosedMidReplyFailsWithoutHanging) {
    mb_request_t r = read_req(0, 10);
    long ms = 0;
    error_value_t err = exchange(r, [](Peer& p, const Bytes&) {
        Bytes reply = read_reply(1, std::vector<uint16_t>(10, 3));
        p.send(Bytes(reply.begin(), reply.begin() + 7));
        std::this_thread::sleep_for(milliseconds(20));
        p.close_line();
    }, &ms);
    EXPECT_EQ(err, comport_error(kComReadFailed));
    EXPECT_LT(ms, kTimeoutMs - 1000);
    r = read_req(0, 1);
    master.execute(r, err);
    EXPECT_EQ(err, comport_error(kComWriteFailed));
}

TEST_F(MasterTest, ExchangesFromSeveralThreadsDoNotInterleave) {
    peer.run([](Peer& p) {
        for (int i = 0; i < 40; ++i) {
            Bytes req = p.read_request();
            if (req.size() < 8) return;
            p.send(read_reply(1, {uint16_t(req[3])}));  // echo the start address as the value
        }
    });
    std::atomic<int> wrong{0};
    auto worker = [&](uint8_t base) {
        for (int i = 0; i < 20; ++i) {
            mb_request_t r = read_req(uint16_t(base + i), 1);
            error_value_t err;
            master.execute(r, err);
            if (err || r.data[1] != uint8_t(base + i)) ++wrong;
        }
    };
    std::thread a(worker, 0), b(worker, 100);
    a.join();
    b.join();
    peer.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
