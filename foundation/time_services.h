// Time sources and the two date-time texts: a 64-bit millisecond tick for
// parameter time stamps, a high-resolution stopwatch for time-outs, and the
// clock text and file-name stamp.
#pragma once

#include <cstdint>
#include <mutex>

#include "foundation/ustring.h"
#include "platform/time.h"

// Extends a wrapping 32-bit millisecond tick to 64 bits. Safe from any thread.
// The tick must be read at least once per wrap period (~49.7 days) for the
// count to stay right; parameter time stamps are taken far more often.
class Tick64_t {
public:
    using Source = uint32_t (*)();
    explicit Tick64_t(Source source = &plat::tick32) : source_(source) {}
    uint64_t now();

private:
    std::mutex lock_;
    Source source_;
    uint32_t last_ = 0;
    uint64_t wraps_ = 0;
};

// Milliseconds since system start, monotonic across the 32-bit wrap.
uint64_t Tick64();

class Stopwatch_t {
public:
    Stopwatch_t() { Start(); }
    void Start();
    int64_t ElapsedMs() const;

private:
    int64_t frequency_ = 1;
    int64_t start_ = 0;
};

// "9:05:07 03.11.2025": the computer's clock as the date-time window shows it.
ustring_t TimeText(const plat::LocalTime_t& t);
// "20251103_090507": the stamp in the names of saved journal files.
ustring_t FileStamp(const plat::LocalTime_t& t);
