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

#include "bench_line.h"

using clock_type = std::chrono::steady_clock;

namespace {

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * double(v.size() - 1) + 0.5);
    return v[i];
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (count < 10) count = 10;
    const int warmup = 100;

    bench::PtyMaster line;
    if (!line.open()) return 1;

    std::vector<double> answer_us(size_t(count + warmup)), exchange_us;
    exchange_us.reserve(size_t(count));
    std::thread peer([&] { line.answer(count + warmup, &answer_us); });

    int failures = 0;
    auto start = clock_type::now();
    for (int n = 0; n < count + warmup; ++n) {
        if (n == warmup) start = clock_type::now();
        mb_request_t r = bench::block_read();
        error_value_t err;
        auto t0 = clock_type::now();
        line.master.execute(r, err);
        auto t1 = clock_type::now();
        if (err) ++failures;
        if (n >= warmup) exchange_us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    double total_s = std::chrono::duration<double>(clock_type::now() - start).count();
    peer.join();

    std::vector<double> peer_us(answer_us.begin() + warmup, answer_us.end());
    double med = percentile(exchange_us, 0.5), p99 = percentile(exchange_us, 0.99);
    double peer_med = percentile(peer_us, 0.5), peer_p99 = percentile(peer_us, 0.99);
    std::printf("function 3, %u registers, %d exchanges over a pty (%d failed)\n", bench::kRegisters, count, failures);
    std::printf("exchanges per second:      %.0f\n", count / total_s);
    std::printf("time per exchange:         median %.1f us, 99th percentile %.1f us, max %.1f us\n", med, p99,
                percentile(exchange_us, 1.0));
    std::printf("peer's own answer time:    median %.1f us, 99th percentile %.1f us\n", peer_med, peer_p99);
    std::printf("master and line add:       median %.1f us per exchange\n", med - peer_med);
    return failures == 0 ? 0 : 1;
}
