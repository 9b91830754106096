// The window thread's view of the link while the device is silent: the poll
// cycle's link check spends its whole response time-out reading the line,
// and meanwhile a refresh-like loop asks every 100 ms what the windows ask
// (is the port open, is the device connected, several times each). Prints
// the longest single is_port_open call and the longest refresh; neither may
// wait for the line. Also prints how far apart the link checks come: no
// sooner than 2000 ms after each other, and each costs the response time-out
// plus 500 ms.
//   bench_refresh [seconds] [timeout ms]   (defaults 6 and 1000)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "model/app_state.h"
#include "model/mb_link.h"
#include "platform/pty.h"

using clock_type = std::chrono::steady_clock;

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 6;
    if (seconds < 1) seconds = 1;
    int timeout_ms = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (timeout_ms < 10 || timeout_ms > 60000) timeout_ms = 1000;

    // The far end of the line never answers: every check runs into the time-out.
    plat::Pty_t pty;
    if (!pty.open()) {
        std::fprintf(stderr, "pty: %s\n", pty.errno_text().c_str());
        return 1;
    }
    mb_link_t::set_read_diagnostics(false);
    G_t state;
    mb_link_t link(state.params);
    state.link = &link;
    link.set_device_path(pty.slave_path());
    ConnectionSettings cs;
    cs.timeout = uint16_t(timeout_ms);
    state.apply_connection_settings(cs, nullptr);
    link.open(nullptr);
    if (!state.is_port_open()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }

    // Drain what the link sends so the pty never fills up, and note when
    // each request (one after a quiet spell) begins.
    std::atomic<bool> stop{false};
    std::vector<clock_type::time_point> requests;
    std::thread drain([&] {
        uint8_t buf[256];
        auto last = clock_type::time_point{};
        while (!stop.load()) {
            if (pty.read(buf, sizeof buf, 20) <= 0) continue;
            const auto now = clock_type::now();
            if (now - last > std::chrono::milliseconds(100)) requests.push_back(now);
            last = now;
        }
    });

    double longest_call_us = 0, longest_refresh_us = 0;
    std::vector<double> calls;
    long refreshes = 0;
    const auto end = clock_type::now() + std::chrono::seconds(seconds);
    while (clock_type::now() < end) {
        const auto r0 = clock_type::now();
        // About what a 100 ms refresh of the main window and an open
        // connection window asks.
        for (int i = 0; i < 6; ++i) {
            const auto c0 = clock_type::now();
            volatile bool open = state.is_port_open();
            (void)open;
            const double us = std::chrono::duration<double, std::micro>(clock_type::now() - c0).count();
            calls.push_back(us);
            longest_call_us = std::max(longest_call_us, us);
            volatile bool connected = state.is_connected();
            (void)connected;
        }
        longest_refresh_us =
            std::max(longest_refresh_us, std::chrono::duration<double, std::micro>(clock_type::now() - r0).count());
        ++refreshes;
        std::this_thread::sleep_until(r0 + std::chrono::milliseconds(100));
    }
    stop = true;
    drain.join();
    state.link = nullptr;

    std::sort(calls.begin(), calls.end());
    const double median = calls.empty() ? 0 : calls[calls.size() / 2];
    std::printf("refresh with a silent device: %ld refreshes, %zu is_port_open calls\n", refreshes, calls.size());
    std::printf("  is_port_open: median %.1f us, longest %.1f us\n", median, longest_call_us);
    std::printf("  longest refresh: %.1f us\n", longest_refresh_us);
    std::vector<double> gaps;
    for (size_t i = 1; i < requests.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(requests[i] - requests[i - 1]).count());
    if (!gaps.empty()) {
        std::sort(gaps.begin(), gaps.end());
        std::printf("link checks (time-out %d ms): %zu gaps, shortest %.0f ms, median %.0f ms, longest %.0f ms"
                    " (expected %d)\n",
                    timeout_ms, gaps.size(), gaps.front(), gaps[gaps.size() / 2], gaps.back(),
                    std::max(2000, timeout_ms + 500));
    }
    return 0;
}
