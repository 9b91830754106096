#include "sim/journals.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// 2025-06-01 00:00:00 and 2026-01-01 00:00:00 as seconds since 2000-01-01.
constexpr int64_t kListBase = 802051200;
constexpr int64_t kTrendBase = 820540800;

uint64_t hash_of(uint32_t seed, Journal_t j, uint32_t index) {
    return mix64((uint64_t(seed) << 32) ^ (uint64_t(static_cast<unsigned>(j)) << 28) ^ index);
}

}  // namespace

uint64_t mix64(uint64_t x) {
    // splitmix64 finaliser.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint32_t JournalSet_t::count(Journal_t j) const {
    switch (j) {
    case Journal_t::kThreshold1: return counts_.threshold1;
    case Journal_t::kThreshold2: return counts_.threshold2;
    case Journal_t::kAlarms: return counts_.alarms;
    case Journal_t::kSetup: return counts_.setup;
    case Journal_t::kConfig: return counts_.config;
    case Journal_t::kTrend: return counts_.trend;
    }
    return 0;
}

void JournalSet_t::set_count(Journal_t j, uint32_t n) {
    switch (j) {
    case Journal_t::kThreshold1: counts_.threshold1 = n; break;
    case Journal_t::kThreshold2: counts_.threshold2 = n; break;
    case Journal_t::kAlarms: counts_.alarms = n; break;
    case Journal_t::kSetup: counts_.setup = n; break;
    case Journal_t::kConfig: counts_.config = n; break;
    case Journal_t::kTrend: counts_.trend = n; break;
    }
}

ListRecord_t JournalSet_t::record(Journal_t j, uint32_t index) const {
    const uint64_t h = hash_of(seed_, j, index);
    ListRecord_t r;
    // Records are hours apart, with a jitter that keeps them in order.
    r.time = kListBase + int64_t(index) * 7 * 3600 + int64_t(h % 3600);
    switch (j) {
    case Journal_t::kThreshold1:
    case Journal_t::kThreshold2:
        r.value = static_cast<uint16_t>(100 + (h >> 12) % 900);
        break;
    case Journal_t::kAlarms:
        // The first 21 records walk through every status code 0..20.
        r.value = static_cast<uint16_t>(index < 21 ? index : (h >> 12) % 21);
        break;
    case Journal_t::kConfig:
        // The first 8 walk through every change code 0..7.
        r.value = static_cast<uint16_t>(index < 8 ? index : (h >> 12) % 8);
        break;
    case Journal_t::kSetup: {
        // The first 8 records walk through every event kind (1..7, then 0);
        // later ones are mostly the four kinds that carry details.
        unsigned kind = index < 8 ? (index + 1) % 8 : unsigned(1 + (h >> 8) % 4);
        if (index >= 8 && (h >> 20) % 10 == 0) kind = unsigned((h >> 24) % 8);
        unsigned point = 1 + unsigned((h >> 28) % 2);
        // Gas indices cycle through the whole catalogue and one past it (20).
        unsigned gas = index % 16 == 15 ? 20 : index % 16;
        r.event = static_cast<uint16_t>((kind & 7) | (point << 4) | (gas << 8));
        r.measured = static_cast<uint16_t>((h >> 32) % 5000);
        r.entered = static_cast<uint16_t>((h >> 40) % 5000);
        r.sensitivity = static_cast<uint16_t>((h >> 48) % 400);
        r.linear_exposure = static_cast<uint32_t>((h >> 16) % 100000);
        r.quadratic_exposure = static_cast<uint32_t>((h >> 36) % 1000000);
        r.value = 0;
        break;
    }
    case Journal_t::kTrend:
        break;
    }
    return r;
}

TrendRecord_t JournalSet_t::trend(uint32_t index) const {
    const uint64_t h = hash_of(seed_, Journal_t::kTrend, index);
    TrendRecord_t t;
    // One record a minute.
    t.time = static_cast<uint32_t>(kTrendBase + int64_t(index) * 60);
    if (counts_.trend_day) return trend_day(index, t.time);
    t.concentration = static_cast<uint8_t>(h % 101);
    t.temperature = static_cast<uint8_t>(15 + (h >> 8) % 20);
    return t;
}

TrendRecord_t JournalSet_t::trend_day(uint32_t index, uint32_t time) const {
    constexpr double kPi = 3.14159265358979;
    const uint32_t minute = index % 1440, day = index / 1440;
    const uint64_t dh = mix64((uint64_t(seed_) << 32) ^ 0xDA7ull ^ (uint64_t(day) << 12));
    const uint64_t h = hash_of(seed_, Journal_t::kTrend, index);
    // The morning's rise: starts between 8:40 and 10:40, climbs for 25
    // minutes to 27..36 %LEL, holds about 40 minutes, falls back in 45.
    const double start = 520 + double(dh % 120), peak = 27 + double((dh >> 8) % 10);
    const double m = minute;
    auto smooth = [](double x) { return x <= 0 ? 0.0 : x >= 1 ? 1.0 : x * x * (3 - 2 * x); };
    double level = 0;
    if (m >= start) level = m < start + 65 ? smooth((m - start) / 25) : 1 - smooth((m - start - 65) / 45);
    const double jitter = double((h >> 4) % 1000) / 1000.0;  // 0..1
    double conc = 1 + 1.5 * jitter + level * (peak + 6 * (jitter - 0.5));
    // Temperature: coolest about 3:00, warmest about 15:00, 18 +- 6 degrees,
    // a few degrees warmer or cooler from day to day.
    double temp = 18 + 6 * std::sin(2 * kPi * (m - 540) / 1440) + double((dh >> 16) % 5) - 2;
    TrendRecord_t t;
    t.time = time;
    t.concentration = static_cast<uint8_t>(std::lround(std::clamp(conc, 0.0, 100.0)));
    t.temperature = static_cast<uint8_t>(std::lround(std::clamp(temp, 0.0, 255.0)));
    return t;
}

void JournalSet_t::counters(uint32_t out[8]) const {
    const uint64_t h = mix64(uint64_t(seed_) * 31 + 7);
    out[0] = counts_.threshold1;
    out[1] = counts_.threshold2;
    out[2] = counts_.alarms;
    out[3] = static_cast<uint32_t>(h % 100);
    out[4] = static_cast<uint32_t>((h >> 8) % 50);
    out[5] = static_cast<uint32_t>((h >> 16) % 30);
    out[6] = static_cast<uint32_t>((h >> 24) % 100000);
    out[7] = static_cast<uint32_t>((h >> 40) % 1000000);
}

}  // namespace sim
