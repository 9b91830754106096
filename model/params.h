// The device's holding registers as the configurator last read them, and the
// named parameters decoded from them.
//
// RegisterImage is a copy of all 65536 holding registers, host-order words.
// An mb_param_t says which registers make up one device value and how they
// decode (ParamTypeCode). ParamMap_t bundles the image, the descriptor list,
// the polled blocks and every descriptor of the detector; the application
// state owns one of them, tests build their own.
//
// Publication between threads: the workers decode values, the window thread
// reads a value together with its time stamp without taking a lock. Each
// descriptor carries a sequence counter (a seqlock): a writer makes the counter
// odd, stores value and time, and makes it even again; a reader takes the
// counter, the two words and the counter once more, and retries while a write
// was under way. Value and time are themselves atomics, so no read is ever torn
// and a value is never paired with the time stamp of a different write. Writers
// (worker 1 and worker 2 may both decode the identity block) claim the counter
// with a compare-exchange, so two writers never interleave either. Readers do
// not wait for anything but a write in progress, a few nanoseconds.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"

// 65536 holding registers. Words are written by the workers (successful reads
// only) and decoded on the workers; relaxed atomics keep concurrent readers of
// a word well-defined without any ordering cost.
class RegisterImage {
public:
    static constexpr size_t kSize = 65536;

    uint16_t get(uint16_t reg) const { return words_[reg].load(std::memory_order_relaxed); }
    void set(uint16_t reg, uint16_t value) { words_[reg].store(value, std::memory_order_relaxed); }
    // Stores count host-order words from reg upward; stops at the last register.
    void store(uint16_t reg, const uint16_t* words, size_t count);

private:
    std::atomic<uint16_t> words_[kSize] = {};
};

// How a parameter's registers r0, r1, r2 become its value.
enum ParamTypeCode : int32_t {
    kTypeU8Lo = 0,       // lo(r0) into the lowest value byte
    kTypeU8Hi = 1,       // hi(r0) into the lowest value byte
    kTypeU16 = 2,        // r0
    kTypeU16Swapped = 3, // r0, bytes exchanged
    kTypeU32HiLo = 4,    // r0 * 65536 + r1
    kTypeU32LoHi = 5,    // r1 * 65536 + r0
    kTypeU32Bytes01 = 6, // bytes high to low: lo(r0) hi(r0) lo(r1) hi(r1)
    kTypeU32Bytes10 = 7, // bytes high to low: lo(r1) hi(r1) lo(r0) hi(r0)
    kTypeF32HiLo = 8,    // float, bits as code 4
    kTypeF32LoHi = 9,    // float, bits as code 5
    kTypeF32Bytes01 = 10,
    kTypeF32Bytes10 = 11,
    kTypeDateBcd = 12,   // six packed-BCD bytes: year-2000, month, day, hour, minute, second
};

// Decodes registers into a value by type code. Bytes the type does not cover
// keep what old_value held; an unknown code returns old_value unchanged.
uint64_t decode_param_value(int32_t type, uint16_t r0, uint16_t r1, uint16_t r2, uint64_t old_value);

class mb_param_t;
using ParamList_t = Array_T<mb_param_t*>;

// One value of a parameter together with the time it was read (0: not read).
struct param_snapshot_t {
    uint64_t value = 0;
    int64_t time = 0;

    bool is_read() const { return time != 0; }
    uint8_t u8() const { return static_cast<uint8_t>(value); }
    uint16_t u16() const { return static_cast<uint16_t>(value); }
    uint32_t u32() const { return static_cast<uint32_t>(value); }
    float f32() const;
    // Byte i of the value (0 = least significant); a date reads year-2000,
    // month, day, hour, minute, second in bytes 0..5.
    uint8_t byte(int i) const { return static_cast<uint8_t>(value >> (8 * i)); }
};

class mb_param_t {
public:
    // Registers itself in list unless it is there already. Time 0, value 0,
    // type 5 until the owner sets the type.
    mb_param_t(ParamList_t& list, const char16_t* key, const char16_t* title, uint16_t reg, uint16_t count);
    ~mb_param_t();
    mb_param_t(const mb_param_t&) = delete;
    mb_param_t& operator=(const mb_param_t&) = delete;

    const char16_t* key() const { return key_; }
    const char16_t* title() const { return title_; }
    uint16_t reg() const { return reg_; }
    uint16_t count() const { return count_; }
    int32_t type() const { return type_.load(std::memory_order_relaxed); }
    void set_type(int32_t type) { type_.store(type, std::memory_order_relaxed); }

    // Consistent value and time, from any thread.
    param_snapshot_t snapshot() const;
    int64_t time() const { return snapshot().time; }
    bool is_read() const { return time() != 0; }
    // True when read and the low 16 bits of the value equal x.
    bool read_equals(uint16_t x) const;

    // Decodes the value from the image and stamps it with now (worker side).
    void update_from(const RegisterImage& image, int64_t now);
    // Marks the value not read; the value itself stays.
    void invalidate();
    // Sets value and time together (used by decoding and by tests).
    void publish(uint64_t value, int64_t time);

    // Whether the registers lie wholly inside [start, start + count).
    bool inside(uint32_t start, uint32_t count) const {
        return reg_ >= start && uint32_t(reg_) + count_ <= start + count;
    }

private:
    uint32_t begin_write();
    void end_write(uint32_t seq);

    // Field order follows the device record: time, key, title, register,
    // count, value, type; then the publication counter and the owning list.
    std::atomic<int64_t> time_{0};
    const char16_t* key_;
    const char16_t* title_;
    uint16_t reg_;
    uint16_t count_;
    std::atomic<uint64_t> value_{0};
    std::atomic<int32_t> type_{kTypeU32LoHi};
    std::atomic<uint32_t> seq_{0};
    ParamList_t* list_;
};

// A register block read as a whole by the poll cycle.
struct mb_topic_t {
    uint16_t start;
    uint16_t count;
};
using TopicList_t = Array_T<mb_topic_t*>;

// Every descriptor of the detector in construction order:
// X(name, has key, title, first register, register count, type code).
// Registers named param_<register> are kept in the image but read by no
// window; fail_lamp, non-zero, lights the main window's fail lamp.
// A descriptor with a key carries its own name as key string. The thresholds
// decode as whole 16-bit words: a register past 0..100 must show as the device
// holds it (65535, 256), not as its low byte.
#define LUMA_DEVICE_PARAMS(X)                                                      \
    X(gas_concentration, 0, u"", 6000, 2, kTypeF32LoHi)                            \
    X(sensor_temperature, 0, u"", 6008, 2, kTypeF32LoHi)                           \
    X(date_bcd, 1, u"Дата и время", 50210, 3, kTypeDateBcd)                        \
    X(cfg_file_ver, 1, u"", 1037, 1, kTypeU16)                                     \
    X(device_type, 1, u"", 1151, 1, kTypeU16)                                      \
    X(factory_serial_id, 1, u"", 1152, 2, kTypeU32LoHi)                            \
    X(factory_date, 1, u"", 1154, 1, kTypeU16)                                     \
    X(firmware_ver_major, 1, u"", 1155, 1, kTypeU16)                               \
    X(firmware_ver_build, 1, u"", 1156, 1, kTypeU16)                               \
    X(sensor_type, 1, u"", 1157, 1, kTypeU8Lo)                                     \
    X(mipex_type, 1, u"", 1158, 1, kTypeU8Lo)                                      \
    X(sensor_guid1, 1, u"", 1159, 2, kTypeU32LoHi)                                 \
    X(sensor_guid2, 1, u"", 1161, 2, kTypeU32LoHi)                                 \
    X(sensor_guid3, 1, u"", 1163, 2, kTypeU32LoHi)                                 \
    X(param_50000, 0, u"", 50000, 1, kTypeU16)                                     \
    X(trend_count, 0, u"", 50001, 2, kTypeU32LoHi)                                 \
    X(trend_index, 0, u"", 50003, 2, kTypeU32LoHi)                                 \
    X(trend_time, 0, u"", 50005, 2, kTypeU32LoHi)                                  \
    X(trend_concentration, 0, u"", 50007, 1, kTypeU8Lo)                            \
    X(trend_temperature, 0, u"", 50008, 1, kTypeU8Lo)                              \
    X(trend_block_count, 0, u"", 50500, 2, kTypeU32LoHi)                           \
    X(trend_block_start, 0, u"", 50502, 2, kTypeU32LoHi)                           \
    X(trend_block_state, 0, u"", 50504, 2, kTypeU32LoHi)                           \
    X(trend_block_data, 0, u"", 50506, 2, kTypeU32LoHi)                            \
    X(param_50624, 0, u"", 50624, 2, kTypeU32LoHi)                                 \
    X(threshold1_log_count, 0, u"", 50020, 2, kTypeU32LoHi)                        \
    X(threshold1_log_index, 0, u"", 50022, 2, kTypeU32LoHi)                        \
    X(threshold1_log_time, 0, u"", 50024, 3, kTypeDateBcd)                         \
    X(threshold1_log_concentration, 0, u"", 50027, 1, kTypeU16)                    \
    X(threshold2_log_count, 0, u"", 50040, 2, kTypeU32LoHi)                        \
    X(threshold2_log_index, 0, u"", 50042, 2, kTypeU32LoHi)                        \
    X(threshold2_log_time, 0, u"", 50044, 3, kTypeDateBcd)                         \
    X(threshold2_log_concentration, 0, u"", 50047, 1, kTypeU16)                    \
    X(alarm_log_count, 0, u"", 50060, 2, kTypeU32LoHi)                             \
    X(alarm_log_index, 0, u"", 50062, 2, kTypeU32LoHi)                             \
    X(alarm_log_time, 0, u"", 50064, 3, kTypeDateBcd)                              \
    X(alarm_log_code, 0, u"", 50067, 1, kTypeU16)                                  \
    X(setup_log_count, 0, u"", 50080, 2, kTypeU32LoHi)                             \
    X(setup_log_index, 0, u"", 50082, 2, kTypeU32LoHi)                             \
    X(setup_log_time, 0, u"", 50084, 3, kTypeDateBcd)                              \
    X(setup_log_event, 0, u"", 50087, 1, kTypeU16)                                 \
    X(setup_log_measured, 0, u"", 50088, 1, kTypeU16)                              \
    X(setup_log_entered, 0, u"", 50089, 1, kTypeU16)                               \
    X(setup_log_sensitivity, 0, u"", 50090, 1, kTypeU16)                           \
    X(setup_log_linear_exposure, 0, u"", 50091, 2, kTypeU32LoHi)                   \
    X(setup_log_quadratic_exposure, 0, u"", 50093, 2, kTypeU32LoHi)                \
    X(counter_threshold1, 0, u"", 50100, 2, kTypeU32LoHi)                          \
    X(counter_threshold2, 0, u"", 50102, 2, kTypeU32LoHi)                          \
    X(counter_alarm, 0, u"", 50104, 2, kTypeU32LoHi)                               \
    X(counter_prev_year_threshold1, 0, u"", 50106, 2, kTypeU32LoHi)                \
    X(counter_prev_year_threshold2, 0, u"", 50108, 2, kTypeU32LoHi)                \
    X(counter_prev_year_alarm, 0, u"", 50110, 2, kTypeU32LoHi)                     \
    X(counter_linear_exposure, 0, u"", 50112, 2, kTypeU32LoHi)                     \
    X(counter_quadratic_exposure, 0, u"", 50114, 2, kTypeU32LoHi)                  \
    X(config_log_count, 0, u"", 50070, 2, kTypeU32LoHi)                            \
    X(config_log_index, 0, u"", 50072, 2, kTypeU32LoHi)                            \
    X(config_log_time, 0, u"", 50074, 3, kTypeDateBcd)                             \
    X(config_log_code, 0, u"", 50077, 1, kTypeU8Lo)                                \
    X(dac_test_enabled, 0, u"", 50180, 1, kTypeU8Lo)                               \
    X(dac_test_value, 0, u"", 50181, 1, kTypeU16)                                  \
    X(param_50182, 0, u"", 50182, 2, kTypeF32LoHi)                                 \
    X(dout_test_enabled, 0, u"", 50184, 1, kTypeU8Lo)                              \
    X(dout_test_state, 0, u"", 50185, 1, kTypeU8Lo)                                \
    X(dac_calibration_mode, 0, u"", 50186, 1, kTypeU8Lo)                           \
    X(dac_code, 0, u"", 50187, 1, kTypeU16)                                        \
    X(command, 0, u"", 50190, 1, kTypeU16)                                         \
    X(mipex_calibration_start, 0, u"", 50191, 1, kTypeU8Lo)                        \
    X(mipex_calibration_state, 0, u"", 50192, 1, kTypeU8Lo)                        \
    X(mipex_calibration_point, 0, u"", 3005, 1, kTypeU8Lo)                         \
    X(concentration, 0, u"", 50200, 2, kTypeF32LoHi)                               \
    X(param_50202, 0, u"", 50202, 2, kTypeF32LoHi)                                 \
    X(status_flags, 0, u"", 50204, 1, kTypeU16)                                    \
    X(fail_lamp, 0, u"", 50205, 1, kTypeU8Lo)                                      \
    X(param_50207, 0, u"", 50207, 1, kTypeU16)                                     \
    X(param_50208, 0, u"", 50208, 1, kTypeU16)                                     \
    X(mipex_work_gas, 1, u"Текущий газ", 50209, 1, kTypeU16)                       \
    X(Threshold_Warn, 1, u"Порог 1", 50213, 1, kTypeU16)                           \
    X(Threshold_Alarm, 1, u"Порог 2", 50214, 1, kTypeU16)                          \
    X(Threshold_BDSafe, 1, u"Порог сохранения датчика", 50215, 1, kTypeU16)        \
    X(Threshold_Delta, 1, u"Гистерезис", 50216, 1, kTypeU16)                       \
    X(ModbusSettings_Id, 1, u"Адрес в Modbus", 50217, 1, kTypeU16)                 \
    X(ModbusSettings_Baud, 1, u"Скорость Modbus RTU", 50218, 1, kTypeU16)          \
    X(dac_code_4ma, 0, u"Код ЦАП 4 мА", 50240, 2, kTypeF32LoHi)                    \
    X(dac_code_20ma, 0, u"Код ЦАП 20 мА", 50242, 2, kTypeF32LoHi)                  \
    X(coeffs_gas1, 1, u"Коэффициент коррекции метана", 50244, 2, kTypeF32LoHi)     \
    X(coeffs_gas2, 1, u"Коэффициент коррекции этана", 50246, 2, kTypeF32LoHi)      \
    X(coeffs_gas3, 1, u"Коэффициент коррекции н-бутана", 50248, 2, kTypeF32LoHi)   \
    X(coeffs_gas4, 1, u"Коэффициент коррекции пентана", 50250, 2, kTypeF32LoHi)    \
    X(coeffs_gas5, 1, u"Коэффициент коррекции гексана", 50252, 2, kTypeF32LoHi)    \
    X(coeffs_gas6, 1, u"Коэффициент коррекции изобутана", 50254, 2, kTypeF32LoHi)  \
    X(coeffs_gas7, 1, u"Коэффициент коррекции изопентана", 50256, 2, kTypeF32LoHi) \
    X(coeffs_gas8, 1, u"Коэффициент коррекции этилена", 50258, 2, kTypeF32LoHi)    \
    X(coeffs_gas9, 1, u"Коэффициент коррекции пропилена", 50260, 2, kTypeF32LoHi)  \
    X(coeffs_gas10, 1, u"Коэффициент коррекции бензола", 50262, 2, kTypeF32LoHi)   \
    X(coeffs_gas11, 1, u"Коэффициент коррекции гептана", 50264, 2, kTypeF32LoHi)   \
    X(coeffs_gas12, 1, u"Коэффициент коррекции метанола", 50266, 2, kTypeF32LoHi)  \
    X(coeffs_gas13, 1, u"Коэффициент коррекции толуола", 50268, 2, kTypeF32LoHi)   \
    X(coeffs_gas14, 1, u"Коэффициент коррекции оксида", 50270, 2, kTypeF32LoHi)    \
    X(param_5021, 0, u"", 5021, 2, kTypeF32LoHi)                                   \
    X(param_5023, 0, u"", 5023, 2, kTypeF32LoHi)                                   \
    X(param_5025, 0, u"", 5025, 2, kTypeF32LoHi)                                   \
    X(param_5027, 0, u"", 5027, 2, kTypeF32LoHi)                                   \
    X(param_5029, 0, u"", 5029, 2, kTypeF32LoHi)                                   \
    X(param_5031, 0, u"", 5031, 2, kTypeF32LoHi)                                   \
    X(param_5033, 0, u"", 5033, 2, kTypeF32LoHi)                                   \
    X(param_5035, 0, u"", 5035, 2, kTypeF32LoHi)                                   \
    X(param_5037, 0, u"", 5037, 2, kTypeF32LoHi)                                   \
    X(param_5039, 0, u"", 5039, 2, kTypeF32LoHi)                                   \
    X(param_5041, 0, u"", 5041, 2, kTypeF32LoHi)                                   \
    X(param_5043, 0, u"", 5043, 2, kTypeF32LoHi)                                   \
    X(param_5045, 0, u"", 5045, 2, kTypeF32LoHi)                                   \
    X(param_5047, 0, u"", 5047, 2, kTypeF32LoHi)                                   \
    X(Hart_Id, 1, u"Адрес HART", 50219, 1, kTypeU16)                               \
    X(wifi_channel, 1, u"Номер канала WiFi", 50220, 1, kTypeU16)                   \
    X(calibration_gas_concentration, 0, u"", 50221, 2, kTypeF32LoHi)               \
    X(alarms_mask, 0, u"", 50272, 2, kTypeU32LoHi)                                 \
    X(warnings_mask, 0, u"", 50274, 2, kTypeU32LoHi)                               \
    X(adjustment_mode_owner, 0, u"", 50276, 1, kTypeU16)                           \
    X(param_50277, 0, u"", 50277, 1, kTypeU8Lo)                                    \
    X(param_50278, 0, u"", 50278, 1, kTypeU8Lo)                                    \
    X(wifi_enabled, 0, u"", 50281, 1, kTypeU16)

// The register image, the descriptor and topic lists, and every descriptor and
// polled block of the detector, in construction order.
struct ParamMap_t {
    ParamMap_t();
    ~ParamMap_t();
    ParamMap_t(const ParamMap_t&) = delete;
    ParamMap_t& operator=(const ParamMap_t&) = delete;

    // Decodes every descriptor that lies wholly inside [start, start + count)
    // from the image and stamps it with now. Returns how many were updated.
    size_t update_block(uint32_t start, uint32_t count, int64_t now);
    // Marks every descriptor not read; returns how many there are.
    size_t invalidate_all();
    // Stores words into the image at start, then updates the block.
    size_t store_block(uint16_t start, const uint16_t* words, size_t count, int64_t now);

    RegisterImage image;
    ParamList_t params;
    TopicList_t topics;

    #define LUMA_DECLARE_PARAM(name, keyed, title, reg, count, type) mb_param_t name;
    LUMA_DEVICE_PARAMS(LUMA_DECLARE_PARAM)
#undef LUMA_DECLARE_PARAM

    // The three polled blocks, in poll order.
    mb_topic_t topic_config{1000, 38};
    mb_topic_t topic_identity{1151, 14};
    mb_topic_t topic_state{50180, 102};

    // coeffs_gasN for N = 1..14; null otherwise.
    mb_param_t* coeffs_gas(int n);
};
