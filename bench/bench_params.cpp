// The parameter map's hot paths: what the window thread pays to read a value
// with its time stamp (alone and while a worker keeps writing it), and what
// the poll cycle pays to decode its blocks.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "model/params.h"

namespace {

using clk = std::chrono::steady_clock;

double ns_per(clk::time_point a, clk::time_point b, long n) {
    return std::chrono::duration<double, std::nano>(b - a).count() / double(n);
}

}  // namespace

int main() {
    auto m = std::make_unique<ParamMap_t>();
    for (uint32_t r = 0; r < RegisterImage::kSize; ++r) m->image.set(uint16_t(r), uint16_t(r * 7));

    constexpr long kReads = 20000000;
    uint64_t sink = 0;
    auto t0 = clk::now();
    for (long i = 0; i < kReads; ++i) sink += m->concentration.snapshot().value;
    auto t1 = clk::now();
    std::printf("snapshot, no writer:          %6.1f ns\n", ns_per(t0, t1, kReads));

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int64_t n = 1; !stop.load(std::memory_order_relaxed); ++n) m->concentration.publish(uint64_t(n), n);
    });
    t0 = clk::now();
    for (long i = 0; i < kReads; ++i) sink += m->concentration.snapshot().value;
    t1 = clk::now();
    stop = true;
    writer.join();
    std::printf("snapshot, writer hammering:   %6.1f ns\n", ns_per(t0, t1, kReads));

    constexpr long kCycles = 20000;
    t0 = clk::now();
    for (long i = 0; i < kCycles; ++i)
        for (mb_topic_t* t : m->topics) sink += m->update_block(t->start, t->count, i + 1);
    t1 = clk::now();
    std::printf("decode the three polled blocks: %6.2f us per cycle\n", ns_per(t0, t1, kCycles) / 1000.0);
    t0 = clk::now();
    for (long i = 0; i < kCycles; ++i) sink += m->invalidate_all();
    t1 = clk::now();
    std::printf("invalidate all (%zu):          %6.2f us\n", m->params.count(), ns_per(t0, t1, kCycles) / 1000.0);
    std::printf("parameter map size:           %zu bytes\n", sizeof(ParamMap_t));
    return sink == 42 ? 1 : 0;
}
