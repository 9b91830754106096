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

template <typename Threshold>
std::string threshold_text(const Threshold& r, int which) {
    return printf8("%u. %s Превышен порог %d\n\tКонцентрация: %.2lf, %%НКПР", r.number + 1u,
                   display_time(r.time).c_str(), which, r.concentration * 0.1);
}

template <typename Threshold>
std::string threshold_csv(const Threshold& r) {
    return printf8("%u;\"%s\";\" %.2lf\"", r.number + 1u, csv_time(r.time).c_str(), r.concentration * 0.1);
}

}  // namespace

std::string text(const item1_t& r) { return threshold_text(r, 1); }
std::string text(const item2_t& r) { return threshold_text(r, 2); }

std::string text(const item3_t& r) {
    return printf8("%u. %s\n\t%s", r.number + 1u, display_time(r.time).c_str(),
                   text::to_utf8(codes::StatusCodeText(r.code)).c_str());
}

std::string text(const item4_t& r) {
    std::string out = printf8("%u. %s", r.number + 1u, display_time(r.time).c_str());
    switch (r.kind()) {
    case 1:
        out += printf8(" Проведена корректировка нуля.\n\tИзмеренная концентрация: %.2lf", r.measured * 0.01);
        break;
    case 2:
        out += printf8(" Проведена настройка второй точки\n\tИзмеренная концентрация: %.2lf, %%НКПР"
                       "\n\tВведенная концентрация: %.2lf, %%НКПР",
                       r.measured * 0.01, r.entered * 0.01);
        break;
    case 3:
        out += printf8(" Проведена настройка на дополнительный газ\n\tГаз: %s"
                       "\n\tВведенная концентрация при настройке точки №%u: %.2lf, %%НКПР",
                       additional_gas_name(r.gas()).c_str(), r.point(), r.entered * 0.01);
        break;
    case 4:
        out += printf8(" Проведена настройка термокаталитического датчика\n\tГаз: %s"
                       "\n\tВведенная концентрация при настройке точки №%u: %.2lf, %%НКПР"
                       "\n\tИзмеренная чувствительность датчика: %.1lf, мВ/%%НКПР"
                       "\n\tЛинейная экспозиция: %u\n\tКвадратичная экспозиция: %u",
                       thermo_gas_name(r.gas()).c_str(), r.point(), r.entered * 0.01, r.sensitivity * 0.1,
                       r.linear_exposure, r.quadratic_exposure);
        break;
    default:
        break;
    }
    return out;
}

std::string text(const item6_t& r) {
    return printf8("%u. %s\n\t", r.number + 1u, display_time(r.time).c_str()) +
           text::utf8(codes::ChangeCodeText(r.code));
}

std::string text(const item7_t& r) {
    return printf8("%u. %s\n\tКонцентрация: %u\n\tТемпература: %u", r.number + 1u,
                   display_time(device_time_from_seconds(r.time)).c_str(), unsigned(r.concentration),
                   unsigned(r.temperature));
}

std::string text(const counters_t& c) {
    return printf8("Счетчики\n\tПорог 1: %u\n\tПорог 2: %u\n\tАвария: %u\n\tПредыдущий год. Порог 1: %u"
                   "\n\tПредыдущий год. Порог 2: %u\n\tПредыдущий год. Авария: %u"
                   "\n\tЛинейная экспозиция: %u\n\tКвадратичная экспозиция: %u\n",
                   c.threshold1, c.threshold2, c.alarm, c.prev_year_threshold1, c.prev_year_threshold2,
                   c.prev_year_alarm, c.linear_exposure, c.quadratic_exposure);
}

std::string csv(const item1_t& r) { return threshold_csv(r); }
std::string csv(const item2_t& r) { return threshold_csv(r); }

std::string csv(const item3_t& r) {
    return printf8("%u;\"%s\";\"%s\"", r.number + 1u, csv_time(r.time).c_str(),
                   text::to_utf8(codes::StatusCodeText(r.code)).c_str());
}

std::string csv(const item4_t& r) {
    std::string out = printf8("%u;\"%s\"", r.number + 1u, csv_time(r.time).c_str());
    switch (r.kind()) {
    case 1:
        out += printf8(";\"Проведена корректировка нуля.\";\"Измеренная концентрация: %.2lf\"", r.measured * 0.01);
        break;
    case 2:
        out += printf8(";\"Проведена настройка второй точки\";\"Измеренная концентрация: %.2lf, %%НКПР"
                       "\nВведенная концентрация: %.2lf, %%НКПР\"",
                       r.measured * 0.01, r.entered * 0.01);
        break;
    case 3:
        out += printf8(";\"Проведена настройка на дополнительный газ\";\"Газ: %s"
                       "\nВведенная концентрация при настройке точки №%u: %.2lf, %%НКПР\"",
                       additional_gas_name(r.gas()).c_str(), r.point(), r.entered * 0.01);
        break;
    case 4:
        out += printf8(";\"Проведена настройка термокаталитического датчика\";\"Газ: %s"
                       "\nВведенная концентрация при настройке точки №%u: %.2lf, %%НКПР"
                       "\nИзмеренная чувствительность датчика: %.1lf, мВ/%%НКПР"
                       "\nЛинейная экспозиция: %u\nКвадратичная экспозиция: %u\"",
                       thermo_gas_name(r.gas()).c_str(), r.point(), r.entered * 0.01, r.sensitivity * 0.1,
                       r.linear_exposure, r.quadratic_exposure);
        break;
    default:
        break;
    }
    return out;
}

std::string csv(const item6_t& r) {
    return printf8("%u;\"%s\";\"%s\"", r.number + 1u, csv_time(r.time).c_str(),
                   text::utf8(codes::ChangeCodeText(r.code)).c_str());
}

std::string csv(const item7_t& r) {
    return printf8("%u;\"%s\";\"%u\";\"%u\"", r.number + 1u, csv_time(device_time_from_seconds(r.time)).c_str(),
                   unsigned(r.concentration), unsigned(r.temperature));
}

std::string csv(const counters_t& c) {
    return printf8("\"Порог 1:\";\"%u\"\n\"Порог 2:\";\"%u\"\n\"Авария:\";\"%u\"\n"
                   "\"Предыдущий год. Порог 1:\";\"%u\"\n\"Предыдущий год. Порог 2:\";\"%u\"\n"
                   "\"Предыдущий год. Авария:\";\"%u\"\n\"Линейная экспозиция:\";\"%u\"\n"
                   "\"Квадратичная экспозиция:\";\"%u\"\n",
                   c.threshold1, c.threshold2, c.alarm, c.prev_year_threshold1, c.prev_year_threshold2,
                   c.prev_year_alarm, c.linear_exposure, c.quadratic_exposure);
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
