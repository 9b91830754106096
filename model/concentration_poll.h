// Asking one address of the line for its gas concentration and sensor
// temperature: the step of the concentration poll window and of
// luma10ctl poll, with the texts both show for its outcome.
#pragma once

#include <cstdint>

#include "foundation/error.h"
#include "foundation/ustring.h"

class mb_link_t;

namespace luma {

struct poll_result_t {
    uint8_t address = 0;
    bool concentration_read = false;
    float concentration = 0;
    error_value_t concentration_error;
    bool temperature_read = false;
    float temperature = 0;
    // The temperature read's error, or the concentration's when the
    // temperature was not asked.
    error_value_t temperature_error;
};

// Worker only (blocks on the bus). Marks both values not read, reads the
// concentration from address (once more when that fails) and, when it came,
// the temperature. Nothing goes to the message panel.
poll_result_t poll_address(mb_link_t& link, uint8_t address);

// "%0.1lf" of the concentration, or the message of its error; empty when
// neither (nothing to show).
ustring_t concentration_text(const poll_result_t& r);
// "%0.1lf°C" of the temperature, or the message of its error; empty when neither.
ustring_t temperature_text(const poll_result_t& r);

}  // namespace luma
