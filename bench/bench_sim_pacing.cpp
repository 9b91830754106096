// How closely the simulator's --line-timing follows a real line: for several
// speeds, the time from a 125-register request to the first reply byte and
// the span from the first to the last of its 255 bytes, against wire time.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "link/crc16.h"
#include "platform/serial.h"
#include "sim/simulator.h"

int main() {
    using namespace std::chrono;
    std::printf("%8s %12s %12s %12s %9s\n", "бод", "ожидание,мс", "ответ,мс", "расчёт,мс", "откл.,%");
    for (unsigned speed : {9600u, 19200u, 57600u, 115200u}) {
        sim::Options_t o;
        o.line_timing = true;
        o.speed = speed;
        o.drift = 0;
        o.log = [](const std::string&) {};
        sim::Simulator_t s(o);
        std::string err;
        if (!s.start(&err)) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return 1;
        }
        plat::Serial_t port;
        plat::SerialLine line;
        line.speed = speed;
        if (port.open(s.path(), line) != plat::SerialOpen::ok) return 1;
        const double char_ms = 10.0 * 1000.0 / speed;
        double worst = 0, wait_sum = 0, span_sum = 0;
        const int rounds = 10;
        for (int k = 0; k < rounds; ++k) {
            uint8_t req[8] = {1, 3, 0xC5, 0x44, 0, 125};  // 50500, 125 registers
            crc16_append(req, 6);
            const auto sent = steady_clock::now();
            port.write(req, 8);
            size_t got = 0;
            steady_clock::time_point first{}, last{};
            while (got < 255 && steady_clock::now() - sent < seconds(2)) {
                uint8_t buf[512];
                long n = port.read(buf, sizeof buf);
                if (n <= 0) continue;
                if (!got) first = steady_clock::now();
                last = steady_clock::now();
                got += size_t(n);
            }
            const double span = duration<double, std::milli>(last - first).count();
            const double dev = 100.0 * (span - 254 * char_ms) / (254 * char_ms);
            if (std::abs(dev) > std::abs(worst)) worst = dev;
            wait_sum += duration<double, std::milli>(first - sent).count();
            span_sum += span;
        }
        std::printf("%8u %12.2f %12.2f %12.2f %+9.2f\n", speed, wait_sum / rounds, span_sum / rounds,
                    254 * char_ms, worst);
    }
    return 0;
}
