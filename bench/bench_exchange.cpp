// The master's time per exchange on a serial port given by its path, against
// whatever answers there (the simulator): function-3 reads of 38 registers.
// Built for Linux and for Windows, so the same peer can be timed through
// both; bench/wine_exchange.sh runs the two against one simulator.
//   bench_exchange PORT [exchanges] [speed]   (default 300 at 115200 baud)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "link/com_port.h"
#include "link/mb_driver.h"

using clock_type = std::chrono::steady_clock;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_exchange PORT [exchanges] [speed]\n");
        return 2;
    }
    const int count = std::max(10, argc > 2 ? std::atoi(argv[2]) : 300);
    const uint32_t speed = argc > 3 ? uint32_t(std::atoi(argv[3])) : 115200;
    const int warmup = 10;

    com_port_t port;
    port.set_device_path(argv[1]);
    com_port_settings_t s;
    s.speed = speed;
    error_value_t err;
    port.configure(s, err);
    port.open(err);
    if (err) {
        std::fprintf(stderr, "%s: %s\n", argv[1], text::utf8(port.open_failure_reason()).c_str());
        return 1;
    }
    com_port_socket_t socket(&port);
    mb_driver_t master;
    master.set_socket(&socket);
    master.arm();

    std::vector<double> us;
    int failures = 0;
    for (int n = 0; n < count + warmup; ++n) {
        mb_request_t r;
        r.slave = 1;
        r.function = 3;
        r.start = 1000;
        r.quantity = 38;
        const auto t0 = clock_type::now();
        master.execute(r, err);
        const auto t1 = clock_type::now();
        if (err) ++failures;
        if (n >= warmup) us.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    const auto at = [&](double p) { return us[size_t(p * double(us.size() - 1) + 0.5)]; };
    std::printf("%d exchanges at %u baud (%d failed): median %.2f ms, 90th percentile %.2f ms, max %.2f ms\n",
                count, speed, failures, at(0.5), at(0.9), at(1.0));
    return failures == 0 ? 0 : 1;
}
