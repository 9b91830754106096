// The serial line speeds a detector supports, indexed by the speed code the
// device keeps in its Modbus speed register and the windows offer in their
// selectors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/ustring.h"

inline constexpr uint32_t kLineSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr size_t kLineSpeedCount = sizeof(kLineSpeeds) / sizeof(kLineSpeeds[0]);
// The code used when a stored or entered speed is not in the table (9600).
inline constexpr size_t kLineSpeedFallback = 3;

// "%u" of the speed of a code; empty for a code past the table.
inline ustring_t LineSpeedText(uint32_t code) {
    if (code >= kLineSpeedCount) return ustring_t();
    return text::from_uint(kLineSpeeds[code]);
}
