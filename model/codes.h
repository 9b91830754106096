// The detector's codes in words: current errors and warnings (bit masks),
// status codes of the alarm journal, change codes of the configuration
// journal, the two gas tables and the unit-and-gas text shown beside a
// concentration. The texts are the detector's own wording and are kept as the
// device documentation gives them, odd spacing included.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/ustring.h"

namespace codes {

// Number of error bits (e0..e13) and warning bits (w0..w4) that carry a text.
inline constexpr unsigned kErrorTextCount = 14;
inline constexpr unsigned kWarningTextCount = 5;

// Text of one error or warning bit, ending with a line break; empty for a bit
// without a text.
const char16_t* ErrorBitText(unsigned bit);
const char16_t* WarningBitText(unsigned bit);

// Texts of the set bits joined in ascending bit order with nothing in between.
ustring_t ErrorListText(uint32_t mask);
ustring_t WarningListText(uint32_t mask);

// Number of set bits among all 32 bits.
unsigned SetBitCount(uint32_t mask);

// Short text of an alarm-journal status code (0 = OK, 1..14 = e0..e13,
// 15..19 = w0..w4, 20 = ef); empty for any other code.
const char16_t* StatusCodeText(uint32_t code);

// Text of a configuration-journal change code; unknown codes are named with
// their number.
ustring_t ChangeCodeText(uint16_t code);

struct gas_row_t {
    const char16_t* name;
    const char16_t* formula;
};

inline constexpr size_t kGasCount = 15;

// Gases of the thermocatalytic sensor kind (sensor kind 1), indexed by the
// working-gas index; row 0 is empty.
const gas_row_t& GasTableA(size_t index);
// Gases of the MIPEX module; row i (1..14) is the gas of correction
// coefficient i, row 0 (propane) has none.
const gas_row_t& GasTableB(size_t index);
// Both lookups answer an empty row for an index past 14, so a device value out
// of range shows as an empty text instead of reading past the table.

// The name of the MIPEX gas a device's working-gas index (`mipex_work_gas`)
// selects; an index past the table is named with its number as invalid, so
// the engineer sees what the device holds instead of an empty name.
ustring_t GasNameText(uint32_t index);

inline constexpr const char16_t* kUnitLel = u"%НКПР ";     // fraction of the lower explosive limit
inline constexpr const char16_t* kUnitVolume = u"%Об.Д ";  // volume fraction

// Unit-and-gas text for a concentration, chosen by the sensor kind
// (0 = MIPEX module, 1 = thermocatalytic, 2+ = no unit), the MIPEX module type
// and the working-gas index. Returns its own string, so it may be called from
// any thread.
ustring_t UnitText(uint8_t mipex_type, uint8_t sensor_type, uint32_t work_gas);

// Values written into the command register (`command`, 50190).
inline constexpr uint16_t kCommandSaveSettings = 2;
inline constexpr uint16_t kCommandResetAlarmLock = 10;
inline constexpr uint16_t kCommandEnterAdjustment = 20;
inline constexpr uint16_t kCommandLeaveAdjustment = 21;
inline constexpr uint16_t kCommandWifiOn = 30;
inline constexpr uint16_t kCommandWifiOff = 31;

// The interface holding adjustment mode (`adjustment_mode_owner`, 50276).
// Settings may be edited only while it is kOwnerModbus: this link.
inline constexpr uint16_t kOwnerNone = 0;
inline constexpr uint16_t kOwnerConsole = 1;
inline constexpr uint16_t kOwnerModbus = 2;
inline constexpr uint16_t kOwnerHart = 3;
// The mode's state by its owner, as the words after "Режим наладки " (the
// adjustment-mode panel and luma10ctl info both say it so): "отключен",
// "включен" for this link, "уже включен для консоли" and so on; any other
// code is another interface.
const char16_t* AdjustmentModeState(uint16_t owner);

// Bits of `status_flags` (50204).
inline constexpr uint32_t kStatusThreshold1 = 0x40;  // threshold 1 reached
inline constexpr uint32_t kStatusThreshold2 = 0x80;  // threshold 2 reached
inline constexpr uint32_t kStatusAlarmLocked = 0x100;  // the alarm is locked until a reset command
inline constexpr uint32_t kStatusHighlight = 0x200;  // the concentration is shown highlighted

// Line speeds by the device's speed code 0..7; the connection window offers
// them in this order. Index 3 (9600) stands in for a speed not in the table.
inline constexpr uint32_t kSpeedTable[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr size_t kSpeedCount = 8;
inline constexpr size_t kSpeedFallbackIndex = 3;
// The line speed of a device speed code (`ModbusSettings_Baud`) as shown: the
// speed, or for a code past the table the code named as invalid.
ustring_t SpeedCodeText(uint32_t code);

// Sensor calibration: register 3005 chooses the procedure, register 50191
// starts (1) or aborts (0) it, register 50192 reports its state.
inline constexpr uint16_t kCalibrationPointZero = 0;  // zero correction (air or nitrogen)
inline constexpr uint16_t kCalibrationPointSpan = 1;  // second point, test gas of known concentration
inline constexpr uint16_t kCalibrationStartRun = 1;
inline constexpr uint16_t kCalibrationStartAbort = 0;
enum calibration_state_t : uint16_t {
    kCalibrationStarted = 1,
    kCalibrationInProgress = 2,
    kCalibrationFinished = 3,
    kCalibrationConcentrationOff = 4,       // the gas differs too much from the concentration given
    kCalibrationConcentrationUnstable = 5,  // the concentration changes too fast
    kCalibrationTemperatureUnstable = 6,    // the temperature changes too fast
    kCalibrationNoSensorAnswer = 7,
    kCalibrationSensorFault = 8,
    kCalibrationAborted = 9,
};

// Current output: the DAC code range (register 50187), the test current range
// in mA (register 50181), and the bits of the discrete outputs pattern
// (register 50185). Test and calibration modes: 0 off, 1 (any non-zero) on.
inline constexpr int64_t kDacCodeMin = 0;
inline constexpr int64_t kDacCodeMax = 4095;
inline constexpr int64_t kTestCurrentMin = 0;
inline constexpr int64_t kTestCurrentMax = 24;
// Where the current test starts when the device's test current is not known:
// the bottom of the live range.
inline constexpr int64_t kTestCurrentStart = 4;
inline constexpr uint16_t kModeOff = 0;
inline constexpr uint16_t kModeOn = 1;
inline constexpr uint16_t kDoutThreshold1 = 1u << 0;
inline constexpr uint16_t kDoutThreshold2 = 1u << 1;
inline constexpr uint16_t kDoutFail = 1u << 2;

}  // namespace codes
