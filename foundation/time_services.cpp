#include "foundation/time_services.h"

uint64_t Tick64_t::now() {
    std::lock_guard<std::mutex> g(lock_);
    uint32_t t = source_();
    if (t < last_) ++wraps_;
    last_ = t;
    return (wraps_ << 32) + t;
}

uint64_t Tick64() {
    static Tick64_t tick;
    return tick.now();
}

void Stopwatch_t::Start() {
    frequency_ = plat::perf_frequency();
    if (frequency_ <= 0) frequency_ = 1;
    start_ = plat::perf_counter();
}

int64_t Stopwatch_t::ElapsedMs() const {
    int64_t d = plat::perf_counter() - start_;
    // Split so that a nanosecond counter cannot overflow the multiplication.
    return d / frequency_ * 1000 + d % frequency_ * 1000 / frequency_;
}

ustring_t TimeText(const plat::LocalTime_t& t) {
    return text::format(64, "%d:%.2d:%.2d %.2d.%.2d.%.4d", t.hour, t.minute, t.second, t.day, t.month, t.year);
}

ustring_t FileStamp(const plat::LocalTime_t& t) {
    return text::format(64, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}
