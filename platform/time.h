// Clocks: a wrapping 32-bit millisecond tick since an arbitrary start (like a
// system uptime counter), a high-resolution counter with its frequency, and
// the local calendar time.
#pragma once

#include <cstdint>

namespace plat {

// Milliseconds of a monotonic clock, cut to 32 bits: wraps every ~49.7 days.
uint32_t tick32();

// A monotonic counter and how many counts make one second.
int64_t perf_counter();
int64_t perf_frequency();

struct LocalTime_t {
    int year = 0;      // 2025
    int month = 0;     // 1..12
    int day = 0;       // 1..31
    int hour = 0;      // 0..23
    int minute = 0;
    int second = 0;
    int ms = 0;        // 0..999
    int weekday = 0;   // 0 Sunday .. 6 Saturday
};

LocalTime_t local_time();

}  // namespace plat
