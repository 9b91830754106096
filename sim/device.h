// One simulated detector: its holding registers and what it does when they
// are read or written. This is an implementation of its own, written from the
// device's side of the wire; it shares no code with the configurator's
// parameter map, so a misunderstanding of the register layout cannot hide on
// both sides of a test. The device's codes (commands, calibration states,
// adjustment-mode owners, status bits) are the one table of model/codes.h.
//
// Not thread-safe: the simulator serialises every call under its own lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/modbus.h"
#include "model/codes.h"
#include "sim/journals.h"

namespace sim {

using clock_t_ = std::chrono::steady_clock;
using time_point_t = clock_t_::time_point;

// Modbus exception codes the device answers with.
enum exception_t : uint8_t {
    kExOk = 0,
    kExIllegalFunction = mb::kExIllegalFunction,  // also: refused in the device's present state
    kExIllegalAddress = mb::kExIllegalDataAddress,  // a register outside the map, or not writable
    kExIllegalValue = mb::kExIllegalDataValue,      // a value the register does not take
    kExDeviceFailure = mb::kExDeviceFailure,        // the device failed to carry out the request
};

// What a detector does with the save-settings command (command register, code
// 2), for tests of a save that fails while the write before it succeeded.
enum class SaveFault_t : uint8_t {
    kNone,     // stores the settings and answers
    kRefused,  // answers with exception 4 (device failure); nothing is stored
    kSilent,   // answers nothing and stores nothing
};

// Register addresses of the map, as the device lays it out on the wire.
namespace reg {
constexpr uint16_t kCfgFileVer = 1037;
constexpr uint16_t kModbusIdMirror = 1002;
constexpr uint16_t kDeviceType = 1151;
constexpr uint16_t kFactorySerial = 1152;   // 2, low word first
constexpr uint16_t kFactoryDate = 1154;
constexpr uint16_t kFirmwareMajor = 1155;
constexpr uint16_t kFirmwareBuild = 1156;
constexpr uint16_t kSensorType = 1157;
constexpr uint16_t kMipexType = 1158;
constexpr uint16_t kSensorGuid = 1159;      // 3 x 2
constexpr uint16_t kCalibrationPoint = 3005;
constexpr uint16_t kExtraFloats = 5021;     // 14 x 2
constexpr uint16_t kConcentrationA = 6000;  // float
constexpr uint16_t kTemperature = 6008;     // float
constexpr uint16_t kTrendCount = 50001;
constexpr uint16_t kTrendIndex = 50003;
constexpr uint16_t kTrendTime = 50005;
constexpr uint16_t kTrendConcentration = 50007;
constexpr uint16_t kTrendTemperature = 50008;
constexpr uint16_t kThreshold1Log = 50020;
constexpr uint16_t kThreshold2Log = 50040;
constexpr uint16_t kAlarmLog = 50060;
constexpr uint16_t kConfigLog = 50070;
constexpr uint16_t kSetupLog = 50080;
constexpr uint16_t kCounters = 50100;       // 8 x 2
constexpr uint16_t kDacTestEnabled = 50180;
constexpr uint16_t kDacTestValue = 50181;
constexpr uint16_t kDoutTestEnabled = 50184;
constexpr uint16_t kDoutTestState = 50185;
constexpr uint16_t kDacCalibrationMode = 50186;
constexpr uint16_t kDacCode = 50187;
constexpr uint16_t kCommand = 50190;
constexpr uint16_t kCalibrationStart = 50191;
constexpr uint16_t kCalibrationState = 50192;
constexpr uint16_t kConcentration = 50200;  // float
constexpr uint16_t kStatusFlags = 50204;
constexpr uint16_t kWorkGas = 50209;
constexpr uint16_t kClock = 50210;          // 3, packed BCD
constexpr uint16_t kThresholdWarn = 50213;
constexpr uint16_t kThresholdAlarm = 50214;
constexpr uint16_t kThresholdSave = 50215;
constexpr uint16_t kThresholdDelta = 50216;
constexpr uint16_t kModbusId = 50217;
constexpr uint16_t kModbusBaud = 50218;
constexpr uint16_t kHartId = 50219;
constexpr uint16_t kWifiChannel = 50220;
constexpr uint16_t kCalibrationGas = 50221; // float
constexpr uint16_t kDac4mA = 50240;         // float
constexpr uint16_t kDac20mA = 50242;        // float
constexpr uint16_t kGasCoeffs = 50244;      // 14 x float
constexpr uint16_t kAlarmsMask = 50272;
constexpr uint16_t kWarningsMask = 50274;
constexpr uint16_t kAdjustmentOwner = 50276;
constexpr uint16_t kWifiEnabled = 50281;
constexpr uint16_t kTrendBlockCount = 50500;
constexpr uint16_t kTrendBlockStart = 50502;
constexpr uint16_t kTrendBlockState = 50504;
constexpr uint16_t kTrendBlockData = 50506; // 120 registers
constexpr uint16_t kTrendBlockWords = 120;
}  // namespace reg

struct DeviceConfig_t {
    uint8_t address = 1;
    uint32_t factory_serial = 0;  // 0: derived from seed and address
    uint32_t seed = 1;
    JournalCounts_t records;
    uint16_t baud_code = 3;       // 9600
    uint16_t owner = 0;           // interface holding adjustment mode at start
    uint16_t sensor_type = 0;
    uint16_t mipex_type = 3;
    double concentration = 0.0;   // %LEL at start
    double drift = 0.3;           // amplitude of the slow drift, %LEL
    std::chrono::milliseconds trend_delay{30};
    std::chrono::milliseconds calibration_time{3000};
};

// What a write did beyond changing registers, for the line to act on after
// (or before) the reply goes out.
struct WriteEffects_t {
    bool address_changed = false;
    uint8_t new_address = 0;
    bool speed_changed = false;
    uint16_t new_baud_code = 0;
    bool save_requested = false;
    bool unanswered = false;  // the request is dropped without a reply
};

class Device_t {
public:
    Device_t(const DeviceConfig_t& cfg, time_point_t now);

    uint8_t address() const { return address_; }
    uint32_t factory_serial() const { return serial_; }

    // Advances time-driven behaviour: drift, clock, thresholds, calibration,
    // trend block preparation. Called before every request and periodically.
    void tick(time_point_t now);

    // Function 3. out receives count words on success.
    exception_t read(uint16_t start, uint16_t count, uint16_t* out, time_point_t now);
    // Function 16. broadcast: a write to address 0 (carried out, no reply).
    exception_t write(uint16_t start, const uint16_t* words, uint16_t count, time_point_t now,
                      WriteEffects_t& fx);

    // The new address/speed become the line's after the reply.
    void apply_address(uint8_t a) { address_ = a; }

    // Direct access for the control interface and tests (no checks, no side effects).
    uint16_t peek(uint16_t r) const { return regs_[r]; }
    void poke(uint16_t r, uint16_t v) { regs_[r] = v; }
    void set_concentration(double value);
    double concentration() const { return conc_set_; }
    void set_temperature(double value) { temperature_ = value; }
    void set_owner(uint16_t owner) { regs_[reg::kAdjustmentOwner] = owner; }
    // What the 4-20 mA output drives now, in mA: the test current while the
    // current test is on; in DAC calibration mode the raw stage at the code of
    // register 50187 (so the stored 4 and 20 mA codes can be found with an
    // ammeter); otherwise the concentration mapped through the stored codes.
    double output_current() const;
    // Forces the outcome of the next sensor calibration (3..8), 0 = decide from input.
    void force_calibration_outcome(uint16_t state) { forced_cal_ = state; }
    // The next count save commands (-1: every one until set back to kNone)
    // meet fault f; every other request is served as usual.
    void set_save_fault(SaveFault_t f, int count = -1) {
        save_fault_ = f;
        save_faults_left_ = f == SaveFault_t::kNone ? 0 : count;
    }
    // How long the next sensor calibrations run before they end.
    void set_calibration_time(std::chrono::milliseconds t) { cfg_.calibration_time = t; }

    // Sets a journal's record count (its count register follows).
    void set_journal_count(Journal_t j, uint32_t n);

    // Settings kept across restarts: register/value pairs of the stored set.
    std::vector<std::pair<uint16_t, uint16_t>> saved_settings() const;
    void load_settings(const std::vector<std::pair<uint16_t, uint16_t>>& regs);

    // True when every register of [start, start + count) is in the map.
    static bool mapped(uint16_t start, uint16_t count);

private:
    exception_t check_write(uint16_t r, uint16_t v, bool adjust) const;
    void after_write(uint16_t start, uint16_t count, time_point_t now, WriteEffects_t& fx);
    void run_command(uint16_t code, WriteEffects_t& fx);
    void select_record(uint16_t base, Journal_t j);
    void select_trend_preview();
    void select_setup_record();
    void prepare_trend_block();
    void update_clock(time_point_t now);
    void update_measurement(time_point_t now);
    void put_float(uint16_t r, float v);
    float get_float(uint16_t r) const;
    void put_u32(uint16_t r, uint32_t v);
    uint32_t get_u32(uint16_t r) const;

    std::vector<uint16_t> regs_;
    uint8_t address_;
    uint32_t serial_;
    DeviceConfig_t cfg_;
    JournalSet_t journals_;

    // Clock: seconds since 2000-01-01 at the anchor instant.
    int64_t clock_base_ = 0;
    time_point_t clock_anchor_;

    double conc_set_ = 0.0;
    double temperature_ = 22.5;
    time_point_t start_time_;
    bool alarm_locked_ = false;
    bool above1_ = false, above2_ = false;

    // Sensor calibration.
    time_point_t cal_started_{};
    uint16_t cal_outcome_ = codes::kCalibrationFinished;
    uint16_t forced_cal_ = 0;
    float cal_gas_ = 0.0f;
    uint16_t cal_point_ = 0;

    SaveFault_t save_fault_ = SaveFault_t::kNone;
    int save_faults_left_ = 0;

    // Trend block request.
    bool trend_pending_ = false;
    time_point_t trend_ready_at_{};
};

// Packed BCD of a number 0..99.
inline uint16_t to_bcd(unsigned v) { return static_cast<uint16_t>(((v / 10) % 10) << 4 | (v % 10)); }
// Six packed-BCD bytes year-2000, month, day, hour, minute, second as three
// registers: low byte first within each register.
void clock_words(int64_t seconds_since_2000, uint16_t out[3]);
// The inverse; false when a byte is not valid BCD or the date is impossible.
bool clock_from_words(const uint16_t in[3], int64_t& seconds_since_2000);

}  // namespace sim
