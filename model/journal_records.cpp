#include "model/journal_records.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "model/codes.h"
#include "model/journal_text.h"

namespace luma {

namespace jtext {

std::string printf8(const char* fmt, ...) {
    char small[512];
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0 && static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, ap2);
    }
    va_end(ap2);
    return out;
}

std::string display_time(const device_time_t& t) {
    return printf8("%04u.%02u.%02u %02u:%02u:%02u", t.year + 2000u, unsigned(t.month), unsigned(t.day),
                   unsigned(t.hour), unsigned(t.minute), unsigned(t.second));
}

std::string csv_time(const device_time_t& t) {
    return printf8("%04u.%02u.%02u\";\"%02u:%02u:%02u", t.year + 2000u, unsigned(t.month), unsigned(t.day),
                   unsigned(t.hour), unsigned(t.minute), unsigned(t.second));
}

namespace {

// Gas of a setup event: additional-gas calibrations name the MIPEX module's
// gases (propane when the index is out of range), thermocatalytic ones the
// sensor's gases (nothing when out of range).
std::string additional_gas_name(unsigned gas) {
    return text::to_utf8(gas < codes::kGasCount ? codes::GasTableB(gas).name : u"Пропан");
}
std::string thermo_gas_name(unsigned gas) {
    return text::to_utf8(codes::GasTableA(gas).name);
}

// What a setup event adds after number and time: a title and detail lines.
// The screen text puts the title after a space and each detail on its own
// tabbed line; the CSV row puts the title in one field and the details, one
// per line, in the next.
struct part_marks_t {
    const char* open;        // before the title
    const char* first_line;  // between the title and the first detail
    const char* next_line;   // between details
    const char* close;       // after the last detail
};
const part_marks_t kTextMarks{" ", "\n\t", "\n\t", ""};
const part_marks_t kCsvMarks{";\"", "\";\"", "\n", "\""};

std::string setup_event_part(const item4_t& r, const part_marks_t& marks) {
    const char* title = nullptr;
    std::string details[5];
    switch (r.kind()) {
    case 1:
        title = "Проведена корректировка нуля.";
        details[0] = printf8("Измеренная концентрация: %.2lf", r.measured * 0.01);
        break;
    case 2:
        title = "Проведена настройка второй точки";
        details[0] = printf8("Измеренная концентрация: %.2lf, %%НКПР", r.measured * 0.01);
        details[1] = printf8("Введенная концентрация: %.2lf, %%НКПР", r.entered * 0.01);
        break;
    case 3:
        title = "Проведена настройка на дополнительный газ";
        details[0] = "Газ: " + additional_gas_name(r.gas());
        details[1] = printf8("Введенная концентрация при настройке точки №%u: %.2lf, %%НКПР", r.point(), r.entered * 0.01);
        break;
    case 4:
        title = "Проведена настройка термокаталитического датчика";
        details[0] = "Газ: " + thermo_gas_name(r.gas());
        details[1] = printf8("Введенная концентрация при настройке точки №%u: %.2lf, %%НКПР", r.point(), r.entered * 0.01);
        details[2] = printf8("Измеренная чувствительность датчика: %.1lf, мВ/%%НКПР", r.sensitivity * 0.1);
        details[3] = printf8("Линейная экспозиция: %u", r.linear_exposure);
        details[4] = printf8("Квадратичная экспозиция: %u", r.quadratic_exposure);
        break;
    default:
        return {};  // other kinds carry nothing beyond number and time
    }
    std::string out = marks.open;
    out += title;
    const char* sep = marks.first_line;
    for (const std::string& d : details) {
        if (d.empty()) break;
        out += sep;
        out += d;
        sep = marks.next_line;
    }
    out += marks.close;
    return out;
}

// The counters with their captions, in the device's order.
template <typename F>
void for_each_counter(const counters_t& c, F&& f) {
    f("Порог 1", c.threshold1);
    f("Порог 2", c.threshold2);
    f("Авария", c.alarm);
    f("Предыдущий год. Порог 1", c.prev_year_threshold1);
    f("Предыдущий год. Порог 2", c.prev_year_threshold2);
    f("Предыдущий год. Авария", c.prev_year_alarm);
    f("Линейная экспозиция", c.linear_exposure);
    f("Квадратичная экспозиция", c.quadratic_exposure);
}

template <int Which>
std::string threshold_text(const threshold_item_t<Which>& r) {
    return printf8("%u. %s Превышен порог %d\n\tКонцентрация: %.2lf, %%НКПР", r.number + 1u,
                   display_time(r.time).c_str(), Which, r.concentration * 0.1);
}

template <int Which>
std::string threshold_csv(const threshold_item_t<Which>& r) {
    return printf8("%u;\"%s\";\" %.2lf\"", r.number + 1u, csv_time(r.time).c_str(), r.concentration * 0.1);
}

std::string code_text(const item3_t& r) { return text::to_utf8(codes::StatusCodeText(r.code)); }
std::string code_text(const item6_t& r) { return text::utf8(codes::ChangeCodeText(r.code)); }

template <journal_kind Kind>
std::string coded_text(const coded_item_t<Kind>& r) {
    return printf8("%u. %s\n\t%s", r.number + 1u, display_time(r.time).c_str(), code_text(r).c_str());
}

template <journal_kind Kind>
std::string coded_csv(const coded_item_t<Kind>& r) {
    return printf8("%u;\"%s\";\"%s\"", r.number + 1u, csv_time(r.time).c_str(), code_text(r).c_str());
}

}  // namespace

std::string text(const item1_t& r) { return threshold_text(r); }
std::string text(const item2_t& r) { return threshold_text(r); }
std::string text(const item3_t& r) { return coded_text(r); }
std::string text(const item6_t& r) { return coded_text(r); }

std::string text(const item4_t& r) {
    return printf8("%u. %s", r.number + 1u, display_time(r.time).c_str()) + setup_event_part(r, kTextMarks);
}

std::string text(const item7_t& r) {
    return printf8("%u. %s\n\tКонцентрация: %u\n\tТемпература: %u", r.number + 1u,
                   display_time(device_time_from_seconds(r.time)).c_str(), unsigned(r.concentration),
                   unsigned(r.temperature));
}

std::string text(const counters_t& c) {
    std::string out = "Счетчики\n";
    for_each_counter(c, [&](const char* label, uint32_t v) { out += printf8("\t%s: %u\n", label, v); });
    return out;
}

std::string csv(const item1_t& r) { return threshold_csv(r); }
std::string csv(const item2_t& r) { return threshold_csv(r); }
std::string csv(const item3_t& r) { return coded_csv(r); }
std::string csv(const item6_t& r) { return coded_csv(r); }

std::string csv(const item4_t& r) {
    return printf8("%u;\"%s\"", r.number + 1u, csv_time(r.time).c_str()) + setup_event_part(r, kCsvMarks);
}

std::string csv(const item7_t& r) {
    return printf8("%u;\"%s\";\"%u\";\"%u\"", r.number + 1u, csv_time(device_time_from_seconds(r.time)).c_str(),
                   unsigned(r.concentration), unsigned(r.temperature));
}

std::string csv(const counters_t& c) {
    std::string out;
    for_each_counter(c, [&](const char* label, uint32_t v) { out += printf8("\"%s:\";\"%u\"\n", label, v); });
    return out;
}

const char* header(journal_kind kind) {
    switch (kind) {
    case journal_kind::threshold1:
    case journal_kind::threshold2:
        return "\"Номер записи\";\"Дата\";\"Время\";\"Концентрация, %НКПР\"";
    case journal_kind::alarms:
        return "\"Номер записи\";\"Дата\";\"Время\";\"Описание аварии\"";
    case journal_kind::setup:
        return "\"Номер записи\";\"Дата\";\"Время\";\"Событие\";\"Подробности\"";
    case journal_kind::config:
        return "\"Номер записи\";\"Дата\";\"Время\";\"Событие\"";
    case journal_kind::trend:
        return "\"Номер записи\";\"Дата\";\"Время\";\"Концентрация\";\"Температура\"";
    case journal_kind::counters:
        return "\"Счетчик\";\"Значение\"";
    }
    return "";
}

}  // namespace jtext

device_time_t device_time_from_value(uint64_t value) {
    device_time_t t;
    t.year = uint8_t(value);
    t.month = uint8_t(value >> 8);
    t.day = uint8_t(value >> 16);
    t.hour = uint8_t(value >> 24);
    t.minute = uint8_t(value >> 32);
    t.second = uint8_t(value >> 40);
    return t;
}

device_time_t device_time_from_seconds(uint32_t seconds_since_2000) {
    using namespace std::chrono;
    const sys_days epoch = year{2000} / January / 1;
    const uint32_t day_count = seconds_since_2000 / 86400u;
    const uint32_t in_day = seconds_since_2000 % 86400u;
    const year_month_day ymd{epoch + days{day_count}};
    device_time_t t;
    // At most 49710 days: the year stays below 2136 and fits the year byte.
    t.year = uint8_t(int(ymd.year()) - 2000);
    t.month = uint8_t(unsigned(ymd.month()));
    t.day = uint8_t(unsigned(ymd.day()));
    t.hour = uint8_t(in_day / 3600u);
    t.minute = uint8_t(in_day / 60u % 60u);
    t.second = uint8_t(in_day % 60u);
    return t;
}

ustring_t record_text(const item1_t& r) { return text::u16(jtext::text(r)); }
ustring_t record_text(const item2_t& r) { return text::u16(jtext::text(r)); }
ustring_t record_text(const item3_t& r) { return text::u16(jtext::text(r)); }
ustring_t record_text(const item4_t& r) { return text::u16(jtext::text(r)); }
ustring_t record_text(const item6_t& r) { return text::u16(jtext::text(r)); }
ustring_t record_text(const item7_t& r) { return text::u16(jtext::text(r)); }
ustring_t counters_text(const counters_t& c) { return text::u16(jtext::text(c)); }

}  // namespace luma
