// Numbers as text for the value labels and the number-entry forms: display
// formats in the printf style ("%.3lf", "%02I64d", "Найдено: %I64d") applied
// safely to one value, and the "%.15lG" text of doubles.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/ustring.h"

namespace UIK {

// Applies a display format to one value. Text around the conversion is kept,
// "%%" gives "%". The first conversion takes the value, whatever its type
// letter says (d i u x X o for integers, f F e E g G a A for doubles; the
// length modifiers l, ll, h, L, q, j, z, t and I64 are accepted): a double
// given to an integer conversion is cut towards zero, an integer given to a
// floating one is widened. Further conversions and "*" widths are copied as
// written, so a format can never read a missing argument. Widths and
// precisions are limited to 64.
ustring_t FormatNumber(const ustring_t& fmt, double v);
ustring_t FormatNumber(const ustring_t& fmt, int64_t v);

// "%.15lG" of v, with "NaN", "Inf" and "-Inf" for the values that are not numbers.
std::string DoubleText15(double v);

}  // namespace UIK
