#include "cli/line_trace.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace cli {

namespace {
// How often the trace thread prints what came in.
constexpr auto kPrintPeriod = std::chrono::milliseconds(50);
std::atomic<LineTrace*> g_active{nullptr};
}  // namespace

void FlushLineTrace() {
    if (LineTrace* t = g_active.load()) t->print();
}

LineTrace::LineTrace() : monitor_(line_monitor_t::kRingRecords, 1) {
    set_default_line_observer(&monitor_);
    thread_ = std::thread([this] { run(); });
    g_active.store(this);
}

LineTrace::~LineTrace() {
    g_active.store(nullptr);
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    set_default_line_observer(nullptr);
    print();
    std::fprintf(stderr, "%s\n", monitor_.stats_text().c_str());
}

void LineTrace::run() {
    std::unique_lock<std::mutex> g(lock_);
    while (!stop_) {
        wake_.wait_for(g, kPrintPeriod, [this] { return stop_; });
        print();
    }
}

void LineTrace::print() {
    std::lock_guard<std::mutex> g(print_lock_);
    std::vector<std::string> fresh;
    monitor_.drain(&fresh);
    for (const std::string& l : fresh) std::fprintf(stderr, "%s\n", l.c_str());
    if (!fresh.empty()) std::fflush(stderr);
}

}  // namespace cli
