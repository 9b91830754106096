// The detector's current alarms and warnings in words: both titles with the
// number of set bits and the texts of the bits that have one. The alarms
// window and luma10ctl alarms show the same report.
#pragma once

#include "foundation/ustring.h"

struct ParamMap_t;

namespace luma {

struct alarm_report_t {
    unsigned alarm_count = 0;    // set bits among all 32 of the alarm mask
    unsigned warning_count = 0;  // the same for the warning mask
    ustring_t alarms_title;      // "Аварии (n)"
    ustring_t warnings_title;    // "Предупреждения (m)"
    // The texts of the set bits in bit order, each ending with a line break;
    // empty while the mask has not been read.
    ustring_t alarms;
    ustring_t warnings;
};

// connected: the device answers on an open port. The counts are 0 without a
// connection; the lists still show a mask that is marked read (the link marks
// every value not read when the connection goes).
alarm_report_t alarm_report(const ParamMap_t& p, bool connected);

}  // namespace luma
