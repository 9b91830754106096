// The detector's journals in memory and one record as text. Six journals are
// lists of records downloaded from the device; the seventh is a set of eight
// event counters. Every record is a plain value; a journal is an Array_T of its
// record type in the order downloaded.
//
// The record texts use printf's "%.2lf"/"%.1lf" and therefore the decimal
// separator of the numeric locale in force on the calling thread; exports
// switch it to the user's (see journal_export.h).
#pragma once

#include <cstdint>

#include "foundation/containers.h"
#include "foundation/ustring.h"

namespace luma {

enum class journal_kind : uint8_t {
    threshold1 = 0,
    threshold2 = 1,
    alarms = 2,
    setup = 3,
    config = 4,
    counters = 5,
    trend = 6,
};
inline constexpr int kJournalCount = 7;

// Device time as the detector keeps it: year - 2000, month, day, hour, minute,
// second.
struct device_time_t {
    uint8_t year = 0;
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    friend bool operator==(const device_time_t&, const device_time_t&) = default;
};

// Device time from the six bytes of a date parameter's value (lowest byte is
// the year).
device_time_t device_time_from_value(uint64_t value);
// Calendar time of a trend record: seconds since 2000-01-01 00:00:00, no
// time-zone shift.
device_time_t device_time_from_seconds(uint32_t seconds_since_2000);

// Record numbers are the device's 0-based record indexes; texts show them
// plus one.

// Threshold 1 and threshold 2 journals (Which: the threshold's number):
// concentration in tenths of %LEL.
template <int Which>
struct threshold_item_t {
    uint32_t number = 0;
    device_time_t time;
    uint16_t concentration = 0;
    friend bool operator==(const threshold_item_t&, const threshold_item_t&) = default;
};
using item1_t = threshold_item_t<1>;
using item2_t = threshold_item_t<2>;

// A journal of codes: the alarm journal's are status codes
// (codes::StatusCodeText), the configuration-change journal's change codes
// (codes::ChangeCodeText).
template <journal_kind Kind>
struct coded_item_t {
    uint32_t number = 0;
    device_time_t time;
    uint16_t code = 0;
    friend bool operator==(const coded_item_t&, const coded_item_t&) = default;
};
using item3_t = coded_item_t<journal_kind::alarms>;
using item6_t = coded_item_t<journal_kind::config>;

// Setup-change journal. The event word packs the kind (bits 0..2), the
// calibration point (bits 4..7) and the gas index (bits 8..15).
struct item4_t {
    uint32_t number = 0;
    device_time_t time;
    uint16_t event = 0;
    uint16_t measured = 0;     // hundredths
    uint16_t entered = 0;      // hundredths
    uint16_t sensitivity = 0;  // tenths of mV per %LEL
    uint32_t linear_exposure = 0;
    uint32_t quadratic_exposure = 0;

    unsigned kind() const { return event & 0x7u; }
    unsigned point() const { return (event >> 4) & 0xFu; }
    unsigned gas() const { return (event >> 8) & 0xFFu; }
    friend bool operator==(const item4_t&, const item4_t&) = default;
};

// Trend: position in the trend, seconds since 2000-01-01 00:00:00, and two
// values the device stores as one byte each.
struct item7_t {
    uint32_t number = 0;
    uint32_t time = 0;
    uint16_t concentration = 0;
    uint16_t temperature = 0;
    friend bool operator==(const item7_t&, const item7_t&) = default;
};

// The eight event counters, in the device's order.
struct counters_t {
    uint32_t threshold1 = 0;
    uint32_t threshold2 = 0;
    uint32_t alarm = 0;
    uint32_t prev_year_threshold1 = 0;
    uint32_t prev_year_threshold2 = 0;
    uint32_t prev_year_alarm = 0;
    uint32_t linear_exposure = 0;
    uint32_t quadratic_exposure = 0;
    friend bool operator==(const counters_t&, const counters_t&) = default;
};

// The text of one record as shown on screen and written to a text export (no
// trailing line feed).
ustring_t record_text(const item1_t& r);
ustring_t record_text(const item2_t& r);
ustring_t record_text(const item3_t& r);
ustring_t record_text(const item4_t& r);
ustring_t record_text(const item6_t& r);
ustring_t record_text(const item7_t& r);
// The counters' text; it ends with a line feed of its own.
ustring_t counters_text(const counters_t& c);

}  // namespace luma
