#include "platform/time.h"

#include <windows.h>

namespace plat {

uint32_t tick32() { return static_cast<uint32_t>(GetTickCount64()); }

int64_t perf_counter() {
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

int64_t perf_frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

LocalTime_t local_time() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime_t t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond > 59 ? 59 : st.wSecond;
    t.ms = st.wMilliseconds;
    t.weekday = st.wDayOfWeek;
    return t;
}

}  // namespace plat
