#include "model/line_monitor.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "link/crc16.h"
#include "link/errors.h"
#include "link/mb_driver.h"
#include "model/params.h"
#include "platform/time.h"

namespace {

// The detector's parameters as the decoder names them: the title when the
// descriptor has one, else its name.
struct param_row_t {
    const char* name;
    const char16_t* title;
    uint16_t reg;
    uint16_t count;
    int32_t type;
};

constexpr param_row_t kParams[] = {
#define LUMA_PARAM_ROW(name, keyed, title, reg, count, type) {#name, title, reg, count, type},
    LUMA_DEVICE_PARAMS(LUMA_PARAM_ROW)
#undef LUMA_PARAM_ROW
};

const char* source_name(line_source_t s) {
    switch (s) {
    case line_source_t::poll: return "опрос";
    case line_source_t::download: return "журнал";
    default: return "задача";
    }
}

void append_hex(std::string& s, const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    s.reserve(s.size() + n * 3);
    for (size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
}

std::string printf_string(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string printf_string(const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// The value of a parameter from big-endian register words in the frame.
std::string param_value(const param_row_t& p, const uint8_t* words_be) {
    uint16_t r[3] = {0, 0, 0};
    for (uint16_t i = 0; i < p.count && i < 3; ++i) r[i] = uint16_t(words_be[2 * i] << 8 | words_be[2 * i + 1]);
    const param_snapshot_t v{decode_param_value(p.type, r[0], r[1], r[2], 0), 1};
    switch (p.type) {
    case kTypeF32HiLo: case kTypeF32LoHi: case kTypeF32Bytes01: case kTypeF32Bytes10:
        return printf_string("%g", double(v.f32()));
    case kTypeDateBcd:
        return printf_string("%02u.%02u.20%02u %02u:%02u:%02u", unsigned(v.byte(2)), unsigned(v.byte(1)),
                             unsigned(v.byte(0)), unsigned(v.byte(3)), unsigned(v.byte(4)), unsigned(v.byte(5)));
    default:
        return std::to_string(v.value);
    }
}

// "name=value; ..." for every parameter wholly inside the registers
// [start, start + count) whose words (big-endian) are at data.
std::string param_values(uint16_t start, uint32_t count, const uint8_t* data) {
    std::string s;
    for (const param_row_t& p : kParams) {
        if (p.reg < start || uint32_t(p.reg) + p.count > uint32_t(start) + count) continue;
        if (!s.empty()) s += "; ";
        s += *p.title ? text::to_utf8(p.title) : p.name;
        s += '=';
        s += param_value(p, data + 2 * (p.reg - start));
    }
    return s;
}

uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

std::string range_text(uint16_t start, uint32_t count) {
    if (count <= 1) return printf_string("%u", unsigned(start));
    return printf_string("%u–%u", unsigned(start), unsigned(start + count - 1));
}

// The meaning of a request frame: address, function, registers, the values
// written. Empty values when the frame is too short to say.
std::string request_meaning(const uint8_t* f, size_t n, std::string* values) {
    if (n < 2) return "обрывок запроса";
    std::string s = printf_string("адр. %u, ", unsigned(f[0]));
    const uint8_t fn = f[1];
    if (n < 6) return s + printf_string("функция %u", unsigned(fn));
    const uint16_t start = be16(f + 2), q = be16(f + 4);
    switch (fn) {
    case 3: case 4:
        return s + printf_string("чтение (%u) ", unsigned(fn)) + range_text(start, q) +
               printf_string(", %u рег.", unsigned(q));
    case 6:
        if (values) *values = param_values(start, 1, f + 4);
        return s + printf_string("запись (6) %u = %u", unsigned(start), unsigned(q));
    case 16:
        if (values && n >= 7u + 2u * q) *values = param_values(start, q, f + 7);
        return s + "запись (16) " + range_text(start, q) + printf_string(", %u рег.", unsigned(q));
    default:
        return s + printf_string("функция %u, адрес %u, %u", unsigned(fn), unsigned(start), unsigned(q));
    }
}

// What a complete, sound frame from a slave says, for a late reply or the
// simulator's trace: exception, read data, write confirmation.
std::string reply_meaning(const uint8_t* f, size_t n) {
    if (n < 3) return "обрывок ответа";
    std::string s = printf_string("адр. %u, ", unsigned(f[0]));
    const uint8_t fn = f[1];
    if (fn & 0x80) {
        return s + printf_string("исключение %u на функцию %u: ", unsigned(f[2]), unsigned(fn & 0x7F)) +
               text::to_utf8(mb_exception(f[2]).message());
    }
    if (fn >= 1 && fn <= 4) return s + printf_string("данные (%u), %u байт", unsigned(fn), unsigned(f[2]));
    if (n >= 6) return s + printf_string("подтверждение записи (%u) ", unsigned(fn)) + range_text(be16(f + 2), be16(f + 4));
    return s + printf_string("функция %u", unsigned(fn));
}

// The length of a sound slave frame at the start of bytes (checksum
// verified, exceptions included), or 0.
size_t sound_reply_length(const uint8_t* p, size_t n) {
    mb_request_t r;
    error_value_t e;
    for (size_t len = 5; len <= n; ++len) {
        if (!mb::parse_reply(p, len, r, e)) continue;
        if (e.category == &mb_category()) return crc16_check(p, 5) ? 5 : 0;
        return e ? 0 : len;
    }
    return 0;
}

line_failure_t failure_kind(const error_value_t& e) {
    if (e.category == &mb_category()) return line_failure_t::exception;
    if (e.category == &comport_category()) return line_failure_t::port;
    if (e.category == &drv_category()) {
        switch (e.code) {
        case kDrvTimeout: return line_failure_t::timeout;
        case kDrvBadCrc: return line_failure_t::crc;
        case kDrvReplyMismatch: case kDrvWriteEchoMismatch: return line_failure_t::mismatch;
        case kDrvCancelled: return line_failure_t::cancelled;
        default: break;
        }
    }
    return line_failure_t::other;
}

const char* const kFailureNames[] = {"таймаут", "CRC", "исключение", "чужой ответ", "порт", "прервано", "прочее"};
static_assert(sizeof kFailureNames / sizeof *kFailureNames == size_t(line_failure_t::count_));

// Noise in an exchange's reply bytes: bytes before or instead of a sound
// frame, or after it. Returns the number of such bytes.
size_t noise_bytes(const line_record_t& r, size_t* frame_len) {
    const size_t n = r.reply_len;
    const size_t len = sound_reply_length(r.reply, n);
    if (frame_len) *frame_len = len;
    return len ? n - len : n;
}

std::string ms_text(uint32_t us) { return printf_string("%u.%u мс", us / 1000, (us % 1000) / 100); }

std::string time_of_day(int64_t at_us, int64_t clock_base_us, int32_t day_ms_base) {
    int64_t ms = day_ms_base + (at_us - clock_base_us) / 1000;
    constexpr int64_t kDay = 24 * 3600 * 1000;
    ms = ((ms % kDay) + kDay) % kDay;
    return printf_string("%02d:%02d:%02d.%03d", int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60),
                         int(ms % 1000));
}

}  // namespace

uint64_t line_stats_t::failed() const {
    uint64_t n = 0;
    for (uint64_t f : failures) n += f;
    return n;
}

line_monitor_t::line_monitor_t(size_t ring_records, size_t line_limit)
    : ring_(new line_record_t[ring_records ? ring_records : 1]),
      capacity_(ring_records ? ring_records : 1),
      scratch_(new line_record_t),
      line_limit_(line_limit ? line_limit : 1),
      clock_base_us_(0),
      day_ms_base_(0) {
    rebase_clock();
}

void line_monitor_t::rebase_clock() {
    clock_base_us_ = line_clock_us();
    const plat::LocalTime_t t = plat::local_time();
    day_ms_base_ = ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.ms;
}

line_monitor_t::~line_monitor_t() = default;

line_record_t& line_monitor_t::next_slot() {
    // A full ring gives up its oldest record: the line never waits for the
    // consumer, which is told how many it missed.
    if (size_ == capacity_) {
        head_ = (head_ + 1) % capacity_;
        --size_;
        ++lost_;
    }
    return ring_[(head_ + size_) % capacity_];
}

void line_monitor_t::on_exchange(const line_exchange_t& x) {
    // The bytes are copied under the lock straight into the ring's slot.
    std::lock_guard<std::mutex> g(lock_);
    line_record_t& slot = next_slot();
    slot.kind = line_record_t::kind_t::exchange;
    slot.source = x.source;
    slot.at_us = x.start_us;
    slot.round_trip_us = x.round_trip_us;
    slot.outcome = x.outcome;
    slot.request_len = uint16_t(std::min<uint32_t>(x.request_len, line_record_t::kRequestMax));
    slot.reply_len = uint16_t(std::min<uint32_t>(x.reply_len, line_record_t::kReplyMax));
    if (slot.request_len) std::memcpy(slot.request, x.request, slot.request_len);
    if (slot.reply_len) std::memcpy(slot.reply, x.reply, slot.reply_len);
    ++size_;
}

void line_monitor_t::on_line_event(line_event_kind_t kind, int64_t at_us, const uint8_t* bytes, uint32_t len) {
    std::lock_guard<std::mutex> g(lock_);
    line_record_t& slot = next_slot();
    slot.kind = kind == line_event_kind_t::echo ? line_record_t::kind_t::echo : line_record_t::kind_t::stale;
    slot.source = current_line_source();
    slot.at_us = at_us;
    slot.round_trip_us = 0;
    slot.outcome = success();
    slot.request_len = 0;
    slot.reply_len = uint16_t(std::min<uint32_t>(len, line_record_t::kReplyMax));
    if (slot.reply_len) std::memcpy(slot.reply, bytes, slot.reply_len);
    ++size_;
}

size_t line_monitor_t::pending() const {
    std::lock_guard<std::mutex> g(lock_);
    return size_;
}

void line_monitor_t::count(const line_record_t& r) {
    switch (r.kind) {
    case line_record_t::kind_t::echo: ++stats_.echoes; return;
    case line_record_t::kind_t::stale:
        ++stats_.stale;
        if (sound_reply_length(r.reply, r.reply_len)) ++stats_.late;
        return;
    case line_record_t::kind_t::exchange: break;
    }
    ++stats_.exchanges;
    stats_.round_trip_sum_us += r.round_trip_us;
    if (r.round_trip_us > stats_.worst_round_trip_us) stats_.worst_round_trip_us = r.round_trip_us;
    if (r.outcome) ++stats_.failures[size_t(failure_kind(r.outcome))];
    size_t frame = 0;
    if (r.reply_len && noise_bytes(r, &frame)) ++stats_.noise;
    if (r.outcome && failure_kind(r.outcome) == line_failure_t::mismatch && frame) ++stats_.late;
}

size_t line_monitor_t::drain(std::vector<std::string>* fresh) {
    size_t added = 0;
    std::vector<std::string> out;
    for (;;) {
        uint64_t lost = 0;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (size_ == 0 && lost_ == 0) break;
            lost = lost_;
            lost_ = 0;
            if (size_ && !lost) {
                const line_record_t& r = ring_[head_];
                scratch_->kind = r.kind;
                scratch_->source = r.source;
                scratch_->at_us = r.at_us;
                scratch_->round_trip_us = r.round_trip_us;
                scratch_->outcome = r.outcome;
                scratch_->request_len = r.request_len;
                scratch_->reply_len = r.reply_len;
                std::memcpy(scratch_->request, r.request, r.request_len);
                std::memcpy(scratch_->reply, r.reply, r.reply_len);
                head_ = (head_ + 1) % capacity_;
                --size_;
            }
        }
        out.clear();
        if (lost) {
            stats_.lost += lost;
            out.push_back(printf_string("… пропущено записей монитора: %llu (не успели вывести)",
                                        static_cast<unsigned long long>(lost)));
        } else {
            count(*scratch_);
            decode(*scratch_, clock_base_us_, day_ms_base_, out);
        }
        for (std::string& l : out) {
            if (fresh) fresh->push_back(l);
            lines_.push_back(std::move(l));
            ++added;
        }
    }
    while (lines_.size() > line_limit_) lines_.pop_front();
    return added;
}

std::string line_monitor_t::text() const {
    std::string s;
    for (const std::string& l : lines_) {
        s += l;
        s += '\n';
    }
    return s;
}

std::string line_monitor_t::stats_text() const {
    std::string s = printf_string("Обменов: %llu, отказов: %llu", static_cast<unsigned long long>(stats_.exchanges),
                                  static_cast<unsigned long long>(stats_.failed()));
    std::string kinds;
    for (size_t i = 0; i < size_t(line_failure_t::count_); ++i) {
        if (!stats_.failures[i]) continue;
        kinds += kinds.empty() ? " (" : ", ";
        kinds += printf_string("%s %llu", kFailureNames[i], static_cast<unsigned long long>(stats_.failures[i]));
    }
    if (!kinds.empty()) s += kinds + ")";
    s += printf_string("; шум %llu; поздних ответов %llu", static_cast<unsigned long long>(stats_.noise),
                       static_cast<unsigned long long>(stats_.late));
    s += "; ответ в среднем " + ms_text(stats_.mean_round_trip_us()) + ", худший " +
         ms_text(stats_.worst_round_trip_us);
    if (stats_.lost) s += printf_string("; пропущено %llu", static_cast<unsigned long long>(stats_.lost));
    return s;
}

void line_monitor_t::decode(const line_record_t& r, int64_t clock_base_us, int32_t day_ms_base,
                            std::vector<std::string>& out) {
    const std::string head = time_of_day(r.at_us, clock_base_us, day_ms_base) + " " + source_name(r.source) + " ";
    if (r.kind == line_record_t::kind_t::echo) {
        std::string s = head + printf_string("эхо прочитано: %u байт: ", unsigned(r.reply_len));
        append_hex(s, r.reply, r.reply_len);
        out.push_back(std::move(s));
        return;
    }
    if (r.kind == line_record_t::kind_t::stale) {
        const size_t late = sound_reply_length(r.reply, r.reply_len);
        std::string s = head;
        if (late) {
            s += "поздний ответ отброшен перед запросом (" + reply_meaning(r.reply, late) + "): ";
        } else {
            s += printf_string("отброшены байты, ждавшие перед запросом (шум?): %u байт: ", unsigned(r.reply_len));
        }
        append_hex(s, r.reply, r.reply_len);
        out.push_back(std::move(s));
        return;
    }

    std::string values;
    std::string s = head + request_meaning(r.request, r.request_len, &values) + "; " + ms_text(r.round_trip_us) +
                    "; " + (r.outcome ? text::to_utf8(window_message_text(r.outcome).view()) : std::string("ОК"));
    out.push_back(std::move(s));
    s = "    → ";
    append_hex(s, r.request, r.request_len);
    out.push_back(std::move(s));

    size_t frame = 0;
    const size_t noise = r.reply_len ? noise_bytes(r, &frame) : 0;
    if (r.reply_len) {
        s = "    ← ";
        append_hex(s, r.reply, r.reply_len);
        out.push_back(std::move(s));
    } else if (!r.outcome || failure_kind(r.outcome) == line_failure_t::timeout) {
        out.push_back("    ← (нет ответа)");
    }
    // The reply's data decoded, for a read that succeeded.
    if (!r.outcome && r.request_len >= 6 && frame >= 5 && (r.request[1] == 3 || r.request[1] == 4)) {
        values = param_values(be16(r.request + 2), r.reply[2] / 2u, r.reply + 3);
    }
    if (r.outcome && frame && failure_kind(r.outcome) == line_failure_t::mismatch)
        out.push_back("    ответ на другой запрос (поздний ответ?): " + reply_meaning(r.reply, frame));
    else if (r.outcome && frame && failure_kind(r.outcome) == line_failure_t::exception)
        out.push_back("    " + reply_meaning(r.reply, frame));
    if (noise) {
        out.push_back(frame ? printf_string("    шум: %u лишних байт после ответа", unsigned(noise))
                            : printf_string("    шум: %u байт, ответа в них нет", unsigned(noise)));
    }
    if (!values.empty()) out.push_back("    " + values);
}

std::string describe_frame(const uint8_t* bytes, size_t len, bool from_master) {
    std::string s;
    if (from_master) {
        std::string values;
        s = request_meaning(bytes, len, &values);
        if (!values.empty()) s += "; " + values;
        return s;
    }
    return sound_reply_length(bytes, len) ? reply_meaning(bytes, len) : std::string("шум (не кадр Modbus)");
}
