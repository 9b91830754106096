#include "link/line_observer.h"

#include <chrono>

#include <atomic>

namespace {
thread_local line_source_t t_source = line_source_t::task;
std::atomic<line_observer_t*> g_default_observer{nullptr};
}  // namespace

void set_default_line_observer(line_observer_t* observer) { g_default_observer.store(observer); }

line_observer_t* default_line_observer() { return g_default_observer.load(); }

line_source_t current_line_source() { return t_source; }

line_source_scope_t::line_source_scope_t(line_source_t source) : saved_(t_source) { t_source = source; }

line_source_scope_t::~line_source_scope_t() { t_source = saved_; }

int64_t line_clock_us() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
