// The worker procedures of the settings windows that luma10ctl runs too: the
// device clock's validation and packing, and the change of the device's own
// Modbus speed or address, which has to carry the configurator's connection
// settings along. Nothing here touches a control.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "foundation/error.h"
#include "foundation/ustring.h"
#include "platform/time.h"

class G_t;
class mb_param_t;
struct ParamMap_t;

// ---- device clock -----------------------------------------------------------

// The six fields of a date and time as typed: the year either within the
// century (0..99) or in full (2000..2099).
struct clock_fields_t {
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// True when the fields name a real date and time the device can hold. The
// device keeps the year within the century, so 100 and 2100 are refused: they
// would be stored as year 00 and the clock would run in 2000.
bool ValidClockFields(const clock_fields_t& f);
// The six bytes year within the century, month, day, hour, minute, second
// (byte 0 lowest) of valid fields.
uint64_t ClockBytes(const clock_fields_t& f);
// The register value of date_bcd for six bytes: each byte as packed BCD,
// followed by two zero bytes.
uint64_t ClockBcdValue(uint64_t bytes);
// The fields of a local time one second later (carrying into the next minute,
// day, month and year).
clock_fields_t OneSecondLater(const plat::LocalTime_t& t);

namespace procedures {
// Writes the six clock bytes as BCD into date_bcd, then the save command;
// the first failure, or success.
error_value_t RunSetClock(G_t& g, uint64_t bytes);
}  // namespace procedures

// Queues RunSetClock on worker 1.
void SetClockAndSave(G_t& g, uint64_t bytes);

// ---- gas selection -------------------------------------------------------------

// True when the coefficient of gas index (1..14) has been read and is above 0:
// only then may the gas be chosen. Propane (0) needs none and is not asked.
bool GasCoefficientPresent(const ParamMap_t& p, size_t index);
// The refusal of a gas without a coefficient, as the message panel shows it.
ustring_t GasRefusalText(size_t index);
// A coefficient the device can take: a number of at least 0 a float holds.
bool ValidCoefficient(double v);

// ---- the device's Modbus speed and address ------------------------------------

// What the change procedure needs from its caller's window thread.
struct link_change_side_t {
    // Shows one step's text where the caller shows progress (the window: its
    // status_ label); may post and return at once. Every step goes to the
    // status line as well, through the application state.
    std::function<void(const ustring_t&)> report;
    // Runs fn on the window thread and returns once it has run: the
    // connection settings are switched and the port is closed there.
    std::function<void(const std::function<void()>&)> on_window_thread;
};

namespace procedures {
// The change of ModbusSettings_Baud (write_value and settings_value the speed
// code) or ModbusSettings_Id (the address), on worker 1: write the parameter,
// switch the configurator's connection settings to follow the device, save
// its settings. The window and luma10ctl both run it.
//
// Before anything is written the detector's factory number is read, and a new
// address at which another device answers is refused. A write the device
// refuses (an exception reply) changes nothing on either side. A write without
// a readable reply may or may not have been carried out: the settings are
// switched and the device must prove, by its factory number and the new value,
// that it is the same detector before the save is sent; otherwise the old
// settings come back, and when the detector answers there with its old value
// the write is reported as not done; when it does not, the port is closed.
// Returns success, or the first failure (the port is then closed only when the
// detector was lost).
error_value_t RunLinkSettingChange(G_t& g, mb_param_t& p, uint16_t write_value, uint16_t settings_value,
                                   const link_change_side_t& side);
}  // namespace procedures

// The switch of the configurator's settings to a new device speed code
// (below 8) or address (not 0), applied to the link; window thread.
void SwitchConnectionSettings(G_t& g, const mb_param_t& p, uint16_t settings_value);
