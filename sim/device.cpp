#include "sim/device.h"

#include <cmath>
#include <cstring>

namespace sim {

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

struct Range_t {
    uint16_t start, count;
};

// Every register of the map, in ranges. A read or write touching anything
// else is answered with "illegal data address".
constexpr Range_t kMap[] = {
    {1000, 38},  {1151, 14},  {3005, 1},   {5021, 28},  {6000, 10},  {50000, 9},  {50020, 8},
    {50040, 8},  {50060, 8},  {50070, 8},  {50080, 15}, {50100, 16}, {50180, 102}, {50500, 126},
};

enum class Access_t { kReadOnly, kFree, kAdjust };

// Who may write a register: record selectors, the trend block request and
// the command register take writes at any time; settings, calibrations and
// tests only while Modbus holds adjustment mode.
Access_t access_of(uint16_t r) {
    switch (r) {
    case reg::kTrendIndex: case reg::kTrendIndex + 1:
    case reg::kThreshold1Log + 2: case reg::kThreshold1Log + 3:
    case reg::kThreshold2Log + 2: case reg::kThreshold2Log + 3:
    case reg::kAlarmLog + 2: case reg::kAlarmLog + 3:
    case reg::kConfigLog + 2: case reg::kConfigLog + 3:
    case reg::kSetupLog + 2: case reg::kSetupLog + 3:
    case reg::kCommand:
        return Access_t::kFree;
    case reg::kCalibrationPoint:
    case reg::kDacTestEnabled: case reg::kDacTestValue:
    case reg::kDoutTestEnabled: case reg::kDoutTestState:
    case reg::kDacCalibrationMode: case reg::kDacCode:
    case reg::kCalibrationStart:
        return Access_t::kAdjust;
    default:
        break;
    }
    if (r >= reg::kTrendBlockCount && r < reg::kTrendBlockState) return Access_t::kFree;
    if (r >= reg::kWorkGas && r <= reg::kCalibrationGas + 1) return Access_t::kAdjust;
    if (r >= reg::kDac4mA && r < reg::kGasCoeffs + 28) return Access_t::kAdjust;
    return Access_t::kReadOnly;
}

bool overlaps(uint16_t start, uint16_t count, uint16_t r, uint16_t n = 1) {
    return uint32_t(start) < uint32_t(r) + n && uint32_t(r) < uint32_t(start) + count;
}

// Registers kept by the save command and restored at start.
bool is_setting(uint16_t r) {
    return (r >= reg::kWorkGas && r <= reg::kCalibrationGas + 1 && !(r >= reg::kClock && r < reg::kClock + 3)) ||
           (r >= reg::kDac4mA && r < reg::kGasCoeffs + 28) || r == reg::kWifiEnabled;
}

bool bcd_byte(unsigned b, unsigned& v) {
    if ((b >> 4) > 9 || (b & 15) > 9) return false;
    v = (b >> 4) * 10 + (b & 15);
    return true;
}

using namespace std::chrono;
constexpr sys_days kEpoch2000 = sys_days(year(2000) / January / 1);

}  // namespace

void clock_words(int64_t secs, uint16_t out[3]) {
    if (secs < 0) secs = 0;
    const sys_seconds t = kEpoch2000 + seconds(secs);
    const sys_days day = floor<days>(t);
    const year_month_day ymd(day);
    const hh_mm_ss<seconds> hms(t - day);
    const unsigned y = unsigned(int(ymd.year()) - 2000);
    out[0] = uint16_t(to_bcd(y) | to_bcd(unsigned(ymd.month())) << 8);
    out[1] = uint16_t(to_bcd(unsigned(ymd.day())) | to_bcd(unsigned(hms.hours().count())) << 8);
    out[2] = uint16_t(to_bcd(unsigned(hms.minutes().count())) | to_bcd(unsigned(hms.seconds().count())) << 8);
}

bool clock_from_words(const uint16_t in[3], int64_t& secs) {
    unsigned y, mo, d, h, mi, s;
    if (!bcd_byte(in[0] & 0xFF, y) || !bcd_byte(in[0] >> 8, mo) || !bcd_byte(in[1] & 0xFF, d) ||
        !bcd_byte(in[1] >> 8, h) || !bcd_byte(in[2] & 0xFF, mi) || !bcd_byte(in[2] >> 8, s))
        return false;
    const year_month_day ymd(year(int(2000 + y)), month(mo), day(d));
    if (!ymd.ok() || h > 23 || mi > 59 || s > 59) return false;
    secs = duration_cast<seconds>(sys_days(ymd) - kEpoch2000).count() + h * 3600 + mi * 60 + s;
    return true;
}

bool Device_t::mapped(uint16_t start, uint16_t count) {
    if (count == 0) return false;
    const uint32_t end = uint32_t(start) + count;
    for (const Range_t& r : kMap)
        if (start >= r.start && end <= uint32_t(r.start) + r.count) return true;
    return false;
}

Device_t::Device_t(const DeviceConfig_t& cfg, time_point_t now)
    : regs_(65536, 0), address_(cfg.address), cfg_(cfg), journals_(cfg.seed, cfg.records) {
    const uint64_t h = mix64(uint64_t(cfg.seed) << 8 | cfg.address);
    serial_ = cfg.factory_serial ? cfg.factory_serial : uint32_t(2400000 + (h % 500000));
    start_time_ = now;
    clock_anchor_ = now;
    clock_base_ = duration_cast<seconds>(floor<seconds>(system_clock::now()) - kEpoch2000).count();

    regs_[reg::kModbusIdMirror] = address_;
    regs_[reg::kCfgFileVer] = 3;
    regs_[reg::kDeviceType] = 10;
    put_u32(reg::kFactorySerial, serial_);
    regs_[reg::kFactoryDate] = 2506;
    regs_[reg::kFirmwareMajor] = 12;
    regs_[reg::kFirmwareBuild] = 345;
    regs_[reg::kSensorType] = cfg.sensor_type;
    regs_[reg::kMipexType] = cfg.mipex_type;
    for (int i = 0; i < 3; ++i) put_u32(uint16_t(reg::kSensorGuid + 2 * i), uint32_t(mix64(h + i)));
    for (int i = 0; i < 14; ++i) put_float(uint16_t(reg::kExtraFloats + 2 * i), 1.0f + 0.125f * float(i));

    put_u32(reg::kTrendCount, journals_.count(Journal_t::kTrend));
    select_trend_preview();
    const struct { uint16_t base; Journal_t j; } lists[] = {
        {reg::kThreshold1Log, Journal_t::kThreshold1}, {reg::kThreshold2Log, Journal_t::kThreshold2},
        {reg::kAlarmLog, Journal_t::kAlarms},          {reg::kConfigLog, Journal_t::kConfig},
        {reg::kSetupLog, Journal_t::kSetup}};
    for (const auto& l : lists) {
        put_u32(l.base, journals_.count(l.j));
        select_record(l.base, l.j);
    }
    uint32_t counters[8];
    journals_.counters(counters);
    for (int i = 0; i < 8; ++i) put_u32(uint16_t(reg::kCounters + 2 * i), counters[i]);

    regs_[reg::kWorkGas] = 0;
    regs_[reg::kThresholdWarn] = 20;
    regs_[reg::kThresholdAlarm] = 50;
    regs_[reg::kThresholdSave] = 90;
    regs_[reg::kThresholdDelta] = 2;
    regs_[reg::kModbusId] = address_;
    regs_[reg::kModbusBaud] = cfg.baud_code;
    regs_[reg::kHartId] = 0;
    regs_[reg::kWifiChannel] = 6;
    put_float(reg::kCalibrationGas, 0.0f);
    put_float(reg::kDac4mA, 812.9f);
    put_float(reg::kDac20mA, 3980.4f);
    // Coefficients for the first ten gases; the last four have none, so a
    // gas without a coefficient can be tried too.
    for (int i = 0; i < 14; ++i)
        put_float(uint16_t(reg::kGasCoeffs + 2 * i), i < 10 ? 0.5f + 0.15f * float(i) : 0.0f);
    regs_[reg::kAdjustmentOwner] = cfg.owner;
    regs_[reg::kWifiEnabled] = 0;

    conc_set_ = cfg.concentration;
    tick(now);
}

void Device_t::put_float(uint16_t r, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put_u32(r, bits);
}

float Device_t::get_float(uint16_t r) const {
    uint32_t bits = get_u32(r);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

void Device_t::put_u32(uint16_t r, uint32_t v) {
    regs_[r] = uint16_t(v & 0xFFFF);
    regs_[uint16_t(r + 1)] = uint16_t(v >> 16);
}

uint32_t Device_t::get_u32(uint16_t r) const { return uint32_t(regs_[r]) | uint32_t(regs_[uint16_t(r + 1)]) << 16; }

void Device_t::set_concentration(double value) {
    conc_set_ = value < 0 ? 0 : value;
}

void Device_t::update_clock(time_point_t now) {
    const int64_t secs = clock_base_ + duration_cast<seconds>(now - clock_anchor_).count();
    uint16_t w[3];
    clock_words(secs, w);
    for (int i = 0; i < 3; ++i) regs_[reg::kClock + i] = w[i];
}

void Device_t::update_measurement(time_point_t now) {
    const double t = duration_cast<duration<double>>(now - start_time_).count();
    // A slow, smooth wander around the set value, as a real sensor shows in
    // still air: two sines of 90 s and 17 s periods.
    double c = conc_set_ + cfg_.drift * (0.7 * std::sin(t * 2 * M_PI / 90.0) + 0.3 * std::sin(t * 2 * M_PI / 17.0));
    if (c < 0) c = 0;
    put_float(reg::kConcentration, float(c));
    put_float(reg::kConcentrationA, float(c));
    put_float(reg::kTemperature, float(temperature_ + 0.2 * std::sin(t * 2 * M_PI / 300.0)));

    // Threshold states with hysteresis: set on reaching the threshold, cleared
    // below threshold minus hysteresis. A threshold of 0 is switched off.
    const double t1 = regs_[reg::kThresholdWarn] & 0xFF, t2 = regs_[reg::kThresholdAlarm] & 0xFF;
    const double d = regs_[reg::kThresholdDelta] & 0xFF;
    auto follow = [&](bool& above, double th) {
        if (th <= 0) above = false;
        else if (c >= th) above = true;
        else if (c < th - d) above = false;
    };
    follow(above1_, t1);
    follow(above2_, t2);
    if (above2_) alarm_locked_ = true;
    uint16_t st = regs_[reg::kStatusFlags] &
                  uint16_t(~(codes::kStatusThreshold1 | codes::kStatusThreshold2 | codes::kStatusAlarmLocked));
    if (above1_) st |= codes::kStatusThreshold1;
    if (above2_) st |= codes::kStatusThreshold2;
    if (alarm_locked_) st |= codes::kStatusAlarmLocked;
    regs_[reg::kStatusFlags] = st;
}

void Device_t::tick(time_point_t now) {
    update_clock(now);
    update_measurement(now);

    uint16_t& cal = regs_[reg::kCalibrationState];
    if (cal == codes::kCalibrationStarted && now - cal_started_ >= milliseconds(500))
        cal = codes::kCalibrationInProgress;
    if (cal == codes::kCalibrationInProgress && now - cal_started_ >= milliseconds(500) + cfg_.calibration_time) {
        cal = cal_outcome_;
        regs_[reg::kCalibrationStart] = 0;
        if (cal == codes::kCalibrationFinished) set_concentration(cal_point_ == 0 ? 0.0 : double(cal_gas_));
    }

    if (trend_pending_ && now >= trend_ready_at_) {
        trend_pending_ = false;
        prepare_trend_block();
    }
}

exception_t Device_t::read(uint16_t start, uint16_t count, uint16_t* out, time_point_t now) {
    if (!mapped(start, count)) return kExIllegalAddress;
    tick(now);
    for (uint16_t i = 0; i < count; ++i) out[i] = regs_[uint16_t(start + i)];
    return kExOk;
}

exception_t Device_t::check_write(uint16_t r, uint16_t v, bool adjust) const {
    const Access_t a = access_of(r);
    if (a == Access_t::kReadOnly) return kExIllegalAddress;
    if (a == Access_t::kAdjust && !adjust) return kExIllegalFunction;
    switch (r) {
    case reg::kCalibrationPoint: case reg::kCalibrationStart:
        return v <= 1 ? kExOk : kExIllegalValue;
    // The test value, the output pattern and the DAC code drive the outputs
    // only in their modes; outside them the device refuses them.
    case reg::kDacTestValue:
        if (regs_[reg::kDacTestEnabled] == 0) return kExIllegalFunction;
        return v <= codes::kTestCurrentMax ? kExOk : kExIllegalValue;
    case reg::kDoutTestState:
        if (regs_[reg::kDoutTestEnabled] == 0) return kExIllegalFunction;
        return v <= 7 ? kExOk : kExIllegalValue;
    case reg::kDacCode:
        if (regs_[reg::kDacCalibrationMode] == 0) return kExIllegalFunction;
        return v <= codes::kDacCodeMax ? kExOk : kExIllegalValue;
    case reg::kDacTestEnabled: case reg::kDoutTestEnabled: case reg::kDacCalibrationMode:
        return v <= 1 ? kExOk : kExIllegalValue;
    case reg::kWorkGas: return v < codes::kGasCount ? kExOk : kExIllegalValue;
    case reg::kThresholdWarn: case reg::kThresholdAlarm: case reg::kThresholdSave: case reg::kThresholdDelta:
        return v <= 100 ? kExOk : kExIllegalValue;
    case reg::kModbusId: return v >= 1 && v <= 247 ? kExOk : kExIllegalValue;
    case reg::kModbusBaud: return v < codes::kSpeedCount ? kExOk : kExIllegalValue;
    case reg::kHartId: return v <= 15 ? kExOk : kExIllegalValue;
    case reg::kWifiChannel: return v >= 1 && v <= 13 ? kExOk : kExIllegalValue;
    case reg::kCommand:
        switch (v) {
        case codes::kCommandSaveSettings: case codes::kCommandResetAlarmLock:
        case codes::kCommandEnterAdjustment: case codes::kCommandLeaveAdjustment:
        case codes::kCommandWifiOn: case codes::kCommandWifiOff:
            return kExOk;
        default:
            return kExIllegalValue;
        }
    default:
        return kExOk;
    }
}

exception_t Device_t::write(uint16_t start, const uint16_t* words, uint16_t count, time_point_t now,
                            WriteEffects_t& fx) {
    if (!mapped(start, count)) return kExIllegalAddress;
    tick(now);
    const bool adjust = regs_[reg::kAdjustmentOwner] == codes::kOwnerModbus;
    // Address faults first, then state, then values, as a device checks them.
    exception_t worst = kExOk;
    for (uint16_t i = 0; i < count; ++i) {
        exception_t e = check_write(uint16_t(start + i), words[i], adjust);
        if (e == kExIllegalAddress) return e;
        if (e == kExIllegalFunction) worst = e;
        else if (e != kExOk && worst == kExOk) worst = e;
    }
    if (worst != kExOk) return worst;
    if (save_faults_left_ != 0 && overlaps(start, count, reg::kCommand) &&
        words[reg::kCommand - start] == codes::kCommandSaveSettings) {
        if (save_faults_left_ > 0) --save_faults_left_;
        if (save_fault_ == SaveFault_t::kSilent) fx.unanswered = true;
        return save_fault_ == SaveFault_t::kRefused ? kExDeviceFailure : kExOk;
    }

    // Values spanning several registers are checked whole, merged with what
    // a partial write leaves in place.
    std::vector<uint16_t> old(regs_.begin() + start, regs_.begin() + start + count);
    for (uint16_t i = 0; i < count; ++i) regs_[uint16_t(start + i)] = words[i];
    auto undo = [&] {
        for (uint16_t i = 0; i < count; ++i) regs_[uint16_t(start + i)] = old[i];
        return kExIllegalValue;
    };
    int64_t clock_secs = 0;
    if (overlaps(start, count, reg::kClock, 3) && !clock_from_words(&regs_[reg::kClock], clock_secs)) return undo();
    const struct { uint16_t base; Journal_t j; } lists[] = {
        {reg::kThreshold1Log, Journal_t::kThreshold1}, {reg::kThreshold2Log, Journal_t::kThreshold2},
        {reg::kAlarmLog, Journal_t::kAlarms},          {reg::kConfigLog, Journal_t::kConfig},
        {reg::kSetupLog, Journal_t::kSetup}};
    for (const auto& l : lists)
        if (overlaps(start, count, uint16_t(l.base + 2), 2) && get_u32(uint16_t(l.base + 2)) >= journals_.count(l.j))
            return undo();
    if (overlaps(start, count, reg::kTrendIndex, 2) && get_u32(reg::kTrendIndex) >= journals_.count(Journal_t::kTrend))
        return undo();

    if (overlaps(start, count, reg::kClock, 3)) {
        clock_base_ = clock_secs;
        clock_anchor_ = now;
    }
    for (const auto& l : lists)
        if (overlaps(start, count, uint16_t(l.base + 2), 2)) select_record(l.base, l.j);
    if (overlaps(start, count, reg::kTrendIndex, 2)) select_trend_preview();
    after_write(start, count, now, fx);
    tick(now);
    return kExOk;
}

void Device_t::after_write(uint16_t start, uint16_t count, time_point_t now, WriteEffects_t& fx) {
    if (overlaps(start, count, reg::kTrendBlockStart, 2)) {
        // A block request: the device needs a moment to gather the records;
        // until then the state reads 1 (busy). A request it cannot serve
        // fails at once with state 3.
        const uint32_t n = get_u32(reg::kTrendBlockCount), first = get_u32(reg::kTrendBlockStart);
        const uint32_t total = journals_.count(Journal_t::kTrend);
        if (n == 0 || n > 40 || first >= total || n > total - first) {
            put_u32(reg::kTrendBlockState, 3);
            trend_pending_ = false;
        } else {
            put_u32(reg::kTrendBlockState, 1);
            trend_pending_ = true;
            trend_ready_at_ = now + cfg_.trend_delay;
        }
    }
    if (overlaps(start, count, reg::kCalibrationPoint)) cal_point_ = regs_[reg::kCalibrationPoint];
    if (overlaps(start, count, reg::kCalibrationStart)) {
        uint16_t& state = regs_[reg::kCalibrationState];
        const bool running = state == codes::kCalibrationStarted || state == codes::kCalibrationInProgress;
        if (regs_[reg::kCalibrationStart] == 1 && !running) {
            cal_gas_ = get_float(reg::kCalibrationGas);
            cal_started_ = now;
            state = codes::kCalibrationStarted;
            if (forced_cal_) {
                cal_outcome_ = forced_cal_;
                forced_cal_ = 0;
            } else if (!std::isfinite(cal_gas_)) {
                cal_outcome_ = codes::kCalibrationSensorFault;
            } else if (cal_point_ == 0) {
                // Zero correction expects the test-gas register to hold 0.
                cal_outcome_ = cal_gas_ == 0.0f ? codes::kCalibrationFinished : codes::kCalibrationConcentrationOff;
            } else {
                const bool in_range = cal_gas_ > 0.0f && cal_gas_ <= 100.0f;
                cal_outcome_ = in_range ? codes::kCalibrationFinished : codes::kCalibrationConcentrationOff;
            }
        } else if (regs_[reg::kCalibrationStart] == 0 && running) {
            state = codes::kCalibrationAborted;
        }
    }
    if (overlaps(start, count, reg::kModbusId)) {
        fx.address_changed = true;
        fx.new_address = uint8_t(regs_[reg::kModbusId]);
        regs_[reg::kModbusIdMirror] = regs_[reg::kModbusId];
    }
    if (overlaps(start, count, reg::kModbusBaud)) {
        fx.speed_changed = true;
        fx.new_baud_code = regs_[reg::kModbusBaud];
    }
    if (overlaps(start, count, reg::kCommand)) run_command(regs_[reg::kCommand], fx);
}

void Device_t::run_command(uint16_t code, WriteEffects_t& fx) {
    uint16_t& owner = regs_[reg::kAdjustmentOwner];
    switch (code) {
    case codes::kCommandSaveSettings: fx.save_requested = true; break;
    case codes::kCommandResetAlarmLock:
        if (!above2_) alarm_locked_ = false;
        break;
    case codes::kCommandEnterAdjustment:
        // Granted unless another interface holds the mode; the write itself
        // is accepted either way.
        if (owner == codes::kOwnerNone || owner == codes::kOwnerModbus) owner = codes::kOwnerModbus;
        break;
    case codes::kCommandLeaveAdjustment:
        if (owner == codes::kOwnerModbus) owner = codes::kOwnerNone;
        break;
    case codes::kCommandWifiOn: regs_[reg::kWifiEnabled] = 1; break;
    case codes::kCommandWifiOff: regs_[reg::kWifiEnabled] = 0; break;
    default: break;
    }
}

namespace {
// The output stage of this detector: the codes that really give 4 and 20 mA.
// They differ a little from the stored codes of a new device, as an
// uncalibrated stage does.
constexpr double kStage4mA = 800.0, kStage20mA = 3990.0;
}  // namespace

double Device_t::output_current() const {
    if (regs_[reg::kDacTestEnabled] != 0) return double(regs_[reg::kDacTestValue]);
    auto stage = [](double code) { return 4.0 + 16.0 * (code - kStage4mA) / (kStage20mA - kStage4mA); };
    double ma;
    if (regs_[reg::kDacCalibrationMode] != 0) {
        ma = stage(regs_[reg::kDacCode]);
    } else {
        // The measurement 0..100 %LEL as 4..20 mA through the stored codes.
        const double lo = get_float(reg::kDac4mA), hi = get_float(reg::kDac20mA);
        double c = get_float(reg::kConcentration);
        if (!std::isfinite(c) || c < 0) c = 0;
        if (c > 100) c = 100;
        const double code = std::isfinite(lo) && std::isfinite(hi) ? lo + (hi - lo) * c / 100.0 : 0.0;
        ma = stage(code);
    }
    return ma < 0 ? 0 : ma > 24 ? 24 : ma;
}

void Device_t::select_record(uint16_t base, Journal_t j) {
    const uint32_t index = get_u32(uint16_t(base + 2));
    if (index >= journals_.count(j)) return;
    const ListRecord_t r = journals_.record(j, index);
    uint16_t w[3];
    clock_words(r.time, w);
    for (int i = 0; i < 3; ++i) regs_[base + 4 + i] = w[i];
    if (j == Journal_t::kSetup) {
        regs_[base + 7] = r.event;
        regs_[base + 8] = r.measured;
        regs_[base + 9] = r.entered;
        regs_[base + 10] = r.sensitivity;
        put_u32(uint16_t(base + 11), r.linear_exposure);
        put_u32(uint16_t(base + 13), r.quadratic_exposure);
    } else {
        regs_[base + 7] = r.value;
    }
}

void Device_t::select_trend_preview() {
    const uint32_t index = get_u32(reg::kTrendIndex);
    if (index >= journals_.count(Journal_t::kTrend)) return;
    const TrendRecord_t t = journals_.trend(index);
    put_u32(reg::kTrendTime, t.time);
    regs_[reg::kTrendConcentration] = t.concentration;
    regs_[reg::kTrendTemperature] = t.temperature;
}

void Device_t::prepare_trend_block() {
    const uint32_t n = get_u32(reg::kTrendBlockCount), first = get_u32(reg::kTrendBlockStart);
    for (uint16_t i = 0; i < reg::kTrendBlockWords; ++i) regs_[reg::kTrendBlockData + i] = 0;
    for (uint32_t k = 0; k < n; ++k) {
        const TrendRecord_t t = journals_.trend(first + k);
        const uint16_t r = uint16_t(reg::kTrendBlockData + 3 * k);
        put_u32(r, t.time);
        regs_[r + 2] = uint16_t(t.concentration | t.temperature << 8);
    }
    put_u32(reg::kTrendBlockState, 2);
}

void Device_t::set_journal_count(Journal_t j, uint32_t n) {
    journals_.set_count(j, n);
    switch (j) {
    case Journal_t::kThreshold1: put_u32(reg::kThreshold1Log, n); break;
    case Journal_t::kThreshold2: put_u32(reg::kThreshold2Log, n); break;
    case Journal_t::kAlarms: put_u32(reg::kAlarmLog, n); break;
    case Journal_t::kSetup: put_u32(reg::kSetupLog, n); break;
    case Journal_t::kConfig: put_u32(reg::kConfigLog, n); break;
    case Journal_t::kTrend: put_u32(reg::kTrendCount, n); break;
    }
}

std::vector<std::pair<uint16_t, uint16_t>> Device_t::saved_settings() const {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (uint32_t r = reg::kWorkGas; r <= reg::kWifiEnabled; ++r)
        if (is_setting(uint16_t(r))) out.emplace_back(uint16_t(r), regs_[r]);
    return out;
}

void Device_t::load_settings(const std::vector<std::pair<uint16_t, uint16_t>>& regs) {
    for (const auto& [r, v] : regs) {
        if (!is_setting(r)) continue;
        // A stored value the device would refuse is left at its default.
        if (check_write(r, v, true) != kExOk) continue;
        regs_[r] = v;
    }
    if (regs_[reg::kModbusId] >= 1 && regs_[reg::kModbusId] <= 247) address_ = uint8_t(regs_[reg::kModbusId]);
    regs_[reg::kModbusIdMirror] = address_;
}

}  // namespace sim
