// The main window's own 100 ms refresh with the port open on a detector that
// does not answer: the poll cycle keeps worker 1 inside its reads and their time-
// outs, and the refresh on the window thread must not wait for the line.
// Prints the median, 99th percentile and longest GStart::Refresh and
// GStart::Tick, and the longest single G_t::is_port_open call.
//
//   bench_main_window [SECONDS]   (default 10)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "sim/simulator.h"
#include "toolkit/uik.h"
#include "windows/new_form.h"
#include "procedures/write_procedures.h"

using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void Print(const char* what, std::vector<double> ms) {
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s n=%-6zu median %8.3f ms   p99 %8.3f ms   longest %8.3f ms\n", what, ms.size(),
                ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    UIK::GResourcesUser res;
    if (!res.Ok()) {
        std::fprintf(stderr, "bench_main_window: no video driver\n");
        return 1;
    }

    mb_link_t::set_read_diagnostics(false);
    sim::Options_t o;
    o.silent = true;
    o.log = [](const std::string&) {};
    sim::Simulator_t sim(o);
    std::string err;
    if (!sim.start(&err)) {
        std::fprintf(stderr, "bench_main_window: %s\n", err.c_str());
        return 1;
    }
    G_.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
    auto link = std::make_unique<mb_link_t>(G_.params);
    link->set_device_path(sim.path());
    G_.link.store(link.get());
    ConnectionSettings cs;  // the program's defaults: 9600 baud, 1000 ms time-out
    cs.port_settings.port = 1;
    G_.apply_connection_settings(cs, nullptr);
    auto form = std::make_unique<GNewForm>(G_, "luma10");
    GStart& start = form->Start();
    if (const error_value_t e = link->open()) {
        std::fprintf(stderr, "bench_main_window: cannot open %s: %s\n", sim.path().c_str(), text::utf8(e.message()).c_str());
        return 1;
    }

    std::vector<double> refresh, tick, port_open;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        auto t0 = Clock::now();
        (void)G_.is_port_open();
        port_open.push_back(MsSince(t0));
        t0 = Clock::now();
        start.Refresh();
        refresh.push_back(MsSince(t0));
        t0 = Clock::now();
        start.Tick(Tick64());
        tick.push_back(MsSince(t0));
        // Let the loop turn (the window's own timer included) between samples.
        UIK::App::RunUntil([] { return false; }, 10);
    }
    std::printf("silent detector on %s, poll cycle running, %.0f s, a sample every 10 ms\n", sim.path().c_str(),
                seconds);
    Print("GStart::Refresh", refresh);
    Print("GStart::Tick", tick);
    Print("G_t::is_port_open", port_open);

    StopDeviceTraffic(*link);
    form.reset();
    G_.link.store(nullptr);
    link.reset();
    sim.stop();
    G_.window_poster = nullptr;
    return 0;
}
