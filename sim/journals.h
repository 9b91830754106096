// The detector's event journals, made up deterministically from a seed: the
// same seed and counts always give the same records, so tests can compare
// downloads against generate() directly. Records are computed on demand from
// their index, so a trend of a million records costs no memory.
#pragma once

#include <cstdint>

namespace sim {

enum class Journal_t { kThreshold1, kThreshold2, kAlarms, kSetup, kConfig, kTrend };

struct JournalCounts_t {
    uint32_t threshold1 = 50;
    uint32_t threshold2 = 30;
    uint32_t alarms = 40;
    uint32_t setup = 20;
    uint32_t config = 20;
    uint32_t trend = 200;
    // The trend as a detector records a working day, every day alike but for
    // small variations: a low background, a rise over threshold 1 (and under
    // threshold 2) in the morning that falls back within two hours, and a
    // temperature drifting with the time of day. Otherwise the values are
    // random.
    bool trend_day = false;
    void set_all(uint32_t n) { threshold1 = threshold2 = alarms = setup = config = trend = n; }
};

// One list-journal record as the device stores it. Which fields are used
// depends on the journal: value is the concentration (tenths of %LEL), the
// status code or the change code.
struct ListRecord_t {
    int64_t time = 0;  // seconds since 2000-01-01 00:00:00
    uint16_t value = 0;
    // Setup-change records only.
    uint16_t event = 0;  // kind bits 0..2, point bits 4..7, gas index bits 8..15
    uint16_t measured = 0, entered = 0, sensitivity = 0;
    uint32_t linear_exposure = 0, quadratic_exposure = 0;
};

struct TrendRecord_t {
    uint32_t time = 0;  // seconds since 2000-01-01 00:00:00
    uint8_t concentration = 0;
    uint8_t temperature = 0;
};

class JournalSet_t {
public:
    JournalSet_t(uint32_t seed, const JournalCounts_t& counts) : seed_(seed), counts_(counts) {}

    uint32_t count(Journal_t j) const;
    // A journal's count changes as the device records events; the records
    // below the old count stay what they were.
    void set_count(Journal_t j, uint32_t n);
    // index < count(j); the caller checks.
    ListRecord_t record(Journal_t j, uint32_t index) const;
    TrendRecord_t trend(uint32_t index) const;
    // Eight counters: threshold 1, threshold 2, alarm, previous year's three,
    // linear exposure, quadratic exposure.
    void counters(uint32_t out[8]) const;

private:
    TrendRecord_t trend_day(uint32_t index, uint32_t time) const;

    uint32_t seed_;
    JournalCounts_t counts_;
};

// A small, well-mixed hash for reproducible pseudo-random values.
uint64_t mix64(uint64_t x);

}  // namespace sim
