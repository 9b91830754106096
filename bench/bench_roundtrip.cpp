// Round trip of the Modbus master over a pseudo-terminal: function-3 reads of
// 38 registers against a peer thread that answers each request at once.
// Prints exchanges per second, the median and 99th-percentile time per
// exchange, and the peer's own time from a whole request to its answer
// written, so that what the master and the line add is visible.
//   bench_roundtrip [exchanges]   (default 5000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "link/com_port.h"
#include "link/crc16.h"
#include "link/mb_driver.h"
#include "platform/pty.h"

using clock_type = std::chrono::steady_clock;

namespace {

constexpr uint16_t kRegisters = 38;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * double(v.size() - 1) + 0.5);
    return v[i];
}

// Answers every function-3 request with kRegisters registers; records the
// time from the last request byte read to the reply written.
void peer_loop(plat::Pty_t& pty, int count, std::vector<double>& answer_us) {
    uint8_t req[8];
    uint8_t reply[3 + 2 * kRegisters + 2];
    reply[1] = 3;
    reply[2] = 2 * kRegisters;
    for (int i = 0; i < 2 * kRegisters; ++i) reply[3 + i] = uint8_t(i);
    for (int n = 0; n < count; ++n) {
        size_t got = 0;
        while (got < sizeof req) {
            long r = pty.read(req + got, sizeof req - got, 1000);
            if (r < 0) return;
            if (r == 0) continue;
            got += size_t(r);
        }
        auto t0 = clock_type::now();
        reply[0] = req[0];
        crc16_append(reply, 3 + 2 * kRegisters);
        pty.write(reply, sizeof reply);
        answer_us[size_t(n)] = std::chrono::duration<double, std::micro>(clock_type::now() - t0).count();
    }
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (count < 10) count = 10;
    const int warmup = 100;

    plat::Pty_t pty;
    if (!pty.open()) {
        std::fprintf(stderr, "pty: %s\n", pty.errno_text().c_str());
        return 1;
    }
    com_port_t port;
    port.set_device_path(pty.slave_path());
    com_port_settings_t s;
    s.speed = 115200;
    error_value_t err;
    port.configure(s, err);
    port.open(err);
    if (err) {
        std::fprintf(stderr, "%s\n", text::utf8(err.describe()).c_str());
        return 1;
    }
    com_port_socket_t socket(&port);
    mb_driver_t master;
    master.set_socket(&socket);
    master.arm();

    std::vector<double> answer_us(size_t(count + warmup)), exchange_us;
    exchange_us.reserve(size_t(count));
    std::thread peer([&] { peer_loop(pty, count + warmup, answer_us); });

    int failures = 0;
    auto start = clock_type::now();
    for (int n = 0; n < count + warmup; ++n) {
        if (n == warmup) start = clock_type::now();
        mb_request_t r;
        r.slave = 1;
        r.function = 3;
        r.start = 1000;
        r.quantity = kRegisters;
        auto t0 = clock_type::now();
        master.execute(r, err);
        auto t1 = clock_type::now();
        if (err) ++failures;
        if (n >= warmup) exchange_us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    double total_s = std::chrono::duration<double>(clock_type::now() - start).count();
    peer.join();

    std::vector<double> peer_us(answer_us.begin() + warmup, answer_us.end());
    double med = percentile(exchange_us, 0.5), p99 = percentile(exchange_us, 0.99);
    double peer_med = percentile(peer_us, 0.5), peer_p99 = percentile(peer_us, 0.99);
    std::printf("function 3, %u registers, %d exchanges over a pty (%d failed)\n", kRegisters, count, failures);
    std::printf("exchanges per second:      %.0f\n", count / total_s);
    std::printf("time per exchange:         median %.1f us, 99th percentile %.1f us, max %.1f us\n", med, p99,
                percentile(exchange_us, 1.0));
    std::printf("peer's own answer time:    median %.1f us, 99th percentile %.1f us\n", peer_med, peer_p99);
    std::printf("master and line add:       median %.1f us per exchange\n", med - peer_med);
    return failures == 0 ? 0 : 1;
}
