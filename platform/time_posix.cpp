#include "platform/time.h"

#include <time.h>

namespace plat {

namespace {
int64_t mono_ns() {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}
}  // namespace

uint32_t tick32() { return static_cast<uint32_t>(static_cast<uint64_t>(mono_ns() / 1000000LL)); }

int64_t perf_counter() { return mono_ns(); }

int64_t perf_frequency() { return 1000000000LL; }

LocalTime_t local_time() {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    time_t secs = ts.tv_sec;
    struct tm tm {};
    ::localtime_r(&secs, &tm);
    LocalTime_t t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second shows as :59
    t.ms = static_cast<int>(ts.tv_nsec / 1000000L);
    t.weekday = tm.tm_wday;
    return t;
}

}  // namespace plat
