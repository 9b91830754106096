// What the configurator costs while it does nothing: the main window shown,
// the port open on a simulated detector that answers, nobody touching
// anything. The simulator runs in a child process, so that only the program's
// own threads are measured. Prints, for the connected program and again with
// the port closed:
//   - the process's CPU time as a share of one core,
//   - the wake-ups of the two worker threads per second (their voluntary and
//     involuntary context switches),
//   - heap allocations: per 100 ms refresh of the main window (GStart::Tick,
//     called directly, nothing having changed), on the window thread per
//     100 ms of its loop, and on the workers per poll turn (a whole poll
//     cycle that read values unchanged) or, with the port closed, per second.
// Allocations are counted through a replaced global operator new. With
// --where, the call stacks of the allocations of one refresh are printed
// (symbols need -rdynamic; addr2line turns the addresses into lines).
//
//   bench_idle [SECONDS] [--where]   (default 10; the closed-port phase takes half)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <execinfo.h>
#include <fstream>
#include <memory>
#include <new>
#include <set>
#include <string>

#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "procedures/write_procedures.h"
#include "sim/simulator.h"
#include "toolkit/uik.h"
#include "windows/new_form.h"

// ---- allocation counting ---------------------------------------------------------

namespace {
std::atomic<long> g_allocs{0};
thread_local long t_allocs = 0;
thread_local bool t_where = false;

void* counted(std::size_t n) {
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    ++t_allocs;
    if (t_where) {
        t_where = false;  // backtrace itself may allocate
        void* frames[12];
        const int depth = backtrace(frames, 12);
        std::fprintf(stderr, "allocation of %zu bytes:\n", n);
        backtrace_symbols_fd(frames, depth, 2);
        t_where = true;
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t n) { return counted(n); }
void* operator new[](std::size_t n) { return counted(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    g_allocs.fetch_add(1, std::memory_order_relaxed);
    ++t_allocs;
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

std::set<std::string> Tasks() {
    std::set<std::string> s;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') s.insert(e->d_name);
        closedir(d);
    }
    return s;
}

long ContextSwitches(const std::set<std::string>& tids) {
    long total = 0;
    for (const std::string& tid : tids) {
        std::ifstream f("/proc/self/task/" + tid + "/status");
        std::string line;
        while (std::getline(f, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::atol(line.substr(line.find(':') + 1).c_str());
    }
    return total;
}

// Time on a CPU of these threads, in seconds (schedstat: nanoseconds).
double ThreadCpuSeconds(const std::set<std::string>& tids) {
    double total = 0;
    for (const std::string& tid : tids) {
        std::ifstream f("/proc/self/task/" + tid + "/schedstat");
        unsigned long long ns = 0;
        if (f >> ns) total += double(ns) / 1e9;
    }
    return total;
}

struct Phase {
    double wall = 0, cpu = 0, worker_cpu = 0;
    long switches = 0, allocs = 0, window_allocs = 0;
    uint64_t cycles = 0;
};

Phase Measure(double seconds, const std::set<std::string>& workers, mb_link_t& link) {
    Phase p;
    const auto t0 = Clock::now();
    const double c0 = CpuSeconds();
    const long s0 = ContextSwitches(workers);
    const double k0 = ThreadCpuSeconds(workers);
    const long a0 = g_allocs.load();
    const long w0 = t_allocs;
    const uint64_t y0 = link.completed_cycles();
    UIK::App::RunUntil([] { return false; }, int(seconds * 1000));
    p.cycles = link.completed_cycles() - y0;
    p.window_allocs = t_allocs - w0;
    p.allocs = g_allocs.load() - a0;
    p.switches = ContextSwitches(workers) - s0;
    p.worker_cpu = ThreadCpuSeconds(workers) - k0;
    p.cpu = CpuSeconds() - c0;
    p.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return p;
}

// The simulator in a child process; its device path comes back through a
// pipe, and it ends when the pipe to it closes.
pid_t StartSimulator(std::string& path, int& keep_alive) {
    int to_parent[2], to_child[2];
    if (pipe(to_parent) != 0 || pipe(to_child) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(to_parent[0]);
        close(to_child[1]);
        sim::Options_t o;
        o.drift = 0.0;  // values that do not move: nothing to show anew
        o.log = [](const std::string&) {};
        sim::Simulator_t sim(o);
        std::string err;
        std::string line = sim.start(&err) ? sim.path() : std::string();
        line += '\n';
        (void)!write(to_parent[1], line.data(), line.size());
        char c;
        while (read(to_child[0], &c, 1) > 0) {
        }
        sim.stop();
        _exit(0);
    }
    close(to_parent[1]);
    close(to_child[0]);
    keep_alive = to_child[1];
    char c;
    while (read(to_parent[0], &c, 1) == 1 && c != '\n') path += c;
    close(to_parent[0]);
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10.0;
    bool where = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--where") where = true;
        else seconds = std::atof(argv[i]);
    }
    std::string path;
    int keep_alive = -1;
    const pid_t child = StartSimulator(path, keep_alive);
    if (child < 0 || path.empty()) {
        std::fprintf(stderr, "bench_idle: the simulator did not start\n");
        return 1;
    }

    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    UIK::GResourcesUser res;
    if (!res.Ok()) {
        std::fprintf(stderr, "bench_idle: no video driver\n");
        return 1;
    }
    mb_link_t::set_read_diagnostics(false);
    G_.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
    const std::set<std::string> before = Tasks();
    auto link = std::make_unique<mb_link_t>(G_.params);
    std::set<std::string> workers;
    for (const std::string& t : Tasks())
        if (!before.count(t)) workers.insert(t);
    link->set_device_path(path);
    G_.link.store(link.get());
    ConnectionSettings cs;  // the program's defaults: 9600 baud, 1000 ms time-out
    cs.port_settings.port = 1;
    G_.apply_connection_settings(cs, nullptr);
    auto form = std::make_unique<GNewForm>(G_, "luma10");
    form->Show();
    GStart& start = form->Start();
    if (const error_value_t e = link->open()) {
        std::fprintf(stderr, "bench_idle: cannot open %s: %s\n", path.c_str(), text::utf8(e.message()).c_str());
        return 1;
    }
    if (!UIK::App::RunUntil([&] { return link->completed_cycles() >= 2; }, 20000)) {
        std::fprintf(stderr, "bench_idle: no poll cycle completed\n");
        return 1;
    }
    // Let the first values settle on the screen.
    UIK::App::RunUntil([] { return false; }, 1000);

    std::printf("idle configurator, main window shown, %zu worker threads, simulator on %s\n", workers.size(),
                path.c_str());
    const Phase on = Measure(seconds, workers, *link);
    // The refresh itself, nothing having changed since the last one.
    for (int i = 0; i < 20; ++i) start.Tick(Tick64());
    const int kRefreshes = 200;
    const long r0 = t_allocs;
    for (int i = 0; i < kRefreshes; ++i) start.Tick(Tick64());
    const double per_refresh = double(t_allocs - r0) / kRefreshes;
    if (where) {
        t_where = true;
        start.Tick(Tick64());
        t_where = false;
    }
    const long worker_allocs = on.allocs - on.window_allocs;
    std::printf("connected, idle (%.1f s, %llu poll cycles):\n", on.wall, (unsigned long long)on.cycles);
    std::printf("  CPU                        %.2f %% of a core (workers %.2f %%)\n", 100.0 * on.cpu / on.wall,
                100.0 * on.worker_cpu / on.wall);
    std::printf("  worker wake-ups            %.1f per second\n", double(on.switches) / on.wall);
    std::printf("  allocations per refresh    %.1f (GStart::Tick)\n", per_refresh);
    std::printf("  window thread allocations  %.1f per 100 ms\n", double(on.window_allocs) / (on.wall * 10));
    std::printf("  worker allocations         %.1f per poll turn (%ld in all)\n",
                on.cycles ? double(worker_allocs) / double(on.cycles) : 0.0, worker_allocs);

    link->close();
    UIK::App::RunUntil([] { return false; }, 500);
    const Phase off = Measure(seconds / 2, workers, *link);
    std::printf("port closed (%.1f s):\n", off.wall);
    std::printf("  CPU                        %.2f %% of a core (workers %.2f %%)\n", 100.0 * off.cpu / off.wall,
                100.0 * off.worker_cpu / off.wall);
    std::printf("  worker wake-ups            %.1f per second\n", double(off.switches) / off.wall);
    std::printf("  window thread allocations  %.1f per 100 ms\n", double(off.window_allocs) / (off.wall * 10));
    std::printf("  worker allocations         %.1f per second\n", double(off.allocs - off.window_allocs) / off.wall);

    StopDeviceTraffic(*link);
    form.reset();
    G_.link.store(nullptr);
    link.reset();
    G_.window_poster = nullptr;
    close(keep_alive);
    int status = 0;
    waitpid(child, &status, 0);
    return 0;
}
