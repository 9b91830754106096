#include "procedures/settings_procedures.h"

#include <cfloat>
#include <chrono>
#include <thread>

#include "link/errors.h"
#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/write_procedures.h"

namespace {

constexpr uint32_t kErrorShowMs = 10000;
constexpr size_t kMaxText = 2048;

std::string arg(const ustring_t& s) { return text::utf8(s); }
std::string arg(const char16_t* s) { return s ? text::to_utf8(s) : std::string(); }

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool in(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; }

}  // namespace

// ---- device clock ----------------------------------------------------------------

bool ValidClockFields(const clock_fields_t& f) {
    if (!in(f.year, 0, 99) && !in(f.year, 2000, 2099)) return false;
    if (!in(f.month, 1, 12) || !in(f.day, 1, 31) || !in(f.hour, 0, 23) || !in(f.minute, 0, 59) ||
        !in(f.second, 0, 59))
        return false;
    using namespace std::chrono;
    const int y = int(f.year < 2000 ? f.year + 2000 : f.year);
    return year_month_day(year(y), month(unsigned(f.month)), day(unsigned(f.day))).ok();
}

uint64_t ClockBytes(const clock_fields_t& f) {
    const int64_t fields[6] = {f.year < 2000 ? f.year : f.year - 2000, f.month, f.day, f.hour, f.minute, f.second};
    uint64_t bytes = 0;
    for (int i = 0; i < 6; ++i) bytes |= uint64_t(uint8_t(fields[i])) << (8 * i);
    return bytes;
}

uint64_t ClockBcdValue(uint64_t bytes) {
    uint64_t v = 0;
    for (int i = 0; i < 6; ++i) {
        const unsigned b = unsigned(bytes >> (8 * i)) & 0xFF;
        v |= uint64_t(((b / 10) % 10) << 4 | (b % 10)) << (8 * i);
    }
    return v;
}

clock_fields_t OneSecondLater(const plat::LocalTime_t& t) {
    using namespace std::chrono;
    const sys_days day0 = year_month_day(year(t.year), month(unsigned(t.month)), day(unsigned(t.day)));
    const sys_seconds later = day0 + hours(t.hour) + minutes(t.minute) + seconds(t.second) + seconds(1);
    const sys_days d = floor<days>(later);
    const year_month_day ymd(d);
    const hh_mm_ss<seconds> hms(later - d);
    clock_fields_t f;
    f.year = int(ymd.year());
    f.month = unsigned(ymd.month());
    f.day = unsigned(ymd.day());
    f.hour = hms.hours().count();
    f.minute = hms.minutes().count();
    f.second = hms.seconds().count();
    return f;
}

namespace procedures {
error_value_t RunSetClock(G_t& g, uint64_t bytes) { return RunSetParamAndSave(g, g.params.date_bcd, ClockBcdValue(bytes)); }
}  // namespace procedures

void SetClockAndSave(G_t& g, uint64_t bytes) {
    G_t* gp = &g;
    g.post_to_worker1(make_task([gp, bytes] { (void)procedures::RunSetClock(*gp, bytes); }));
}

// ---- gas selection ------------------------------------------------------------------

bool GasCoefficientPresent(const ParamMap_t& p, size_t index) {
    const mb_param_t* c = const_cast<ParamMap_t&>(p).coeffs_gas(int(index));
    if (!c) return false;
    const param_snapshot_t s = c->snapshot();
    return s.is_read() && s.f32() > 0.0f;
}

ustring_t GasRefusalText(size_t index) {
    ustring_t t(u"Нельзя выбрать газ \"");
    t += codes::GasTableB(index).name;
    t += u"\" - отсутствует корректировочный коэффициент";
    return t;
}

bool ValidCoefficient(double v) { return v >= 0 && v <= double(FLT_MAX); }

// ---- the device's Modbus speed and address --------------------------------------------

void SwitchConnectionSettings(G_t& g, const mb_param_t& p, uint16_t v) {
    ConnectionSettings cs = g.connection_settings();
    if (&p == &g.params.ModbusSettings_Baud) {
        if (v >= codes::kSpeedCount) return;
        cs.port_settings.speed = codes::kSpeedTable[v];
    } else {
        if (v == 0) return;
        cs.block_id = uint8_t(v);
    }
    // A failure leaves the settings the link now holds in force; the read-back
    // that follows shows whether the device can still be reached.
    g.apply_connection_settings(cs, nullptr);
}

namespace procedures {

namespace {

// A read that rides over one lost or garbled reply.
error_value_t ReadTwice(mb_link_t& l, mb_param_t& p) {
    error_value_t e = l.read_param(p);
    if (e && FailedWriteOutcome(e) == write_outcome_t::unknown) e = l.read_param(p);
    return e;
}

// The device's speed code of a line speed, kSpeedCount when it has none.
uint16_t SpeedCode(uint32_t speed) {
    for (size_t i = 0; i < codes::kSpeedCount; ++i)
        if (codes::kSpeedTable[i] == speed) return uint16_t(i);
    return uint16_t(codes::kSpeedCount);
}

}  // namespace

error_value_t RunLinkSettingChange(G_t& g, mb_param_t& p, uint16_t w, uint16_t s, const link_change_side_t& side) {
    const std::string title = arg(p.title());
    auto report = [&](const ustring_t& t) {
        if (side.report) side.report(t);
        g.status_text(t);
    };
    // A failure goes red on the message panel instead of the status line.
    auto report_failure = [&](const ustring_t& t) {
        if (side.report) side.report(t);
        g.error_message(kErrorShowMs, t);
    };
    // A definite failure: nothing was changed.
    auto refuse = [&](const ustring_t& t, const error_value_t& e) {
        report_failure(t);
        return e;
    };
    auto on_window_thread = [&](std::function<void()> fn) { side.on_window_thread(fn); };
    auto switch_settings = [&] {
        G_t* gp = &g;
        mb_param_t* pp = &p;
        on_window_thread([gp, pp, s] { SwitchConnectionSettings(*gp, *pp, s); });
    };

    mb_link_t* l = g.link.load();
    if (!l) return refuse(ParamWriteFailureText(ustring_t(p.title()), comport_error(kComNotOpen)), comport_error(kComNotOpen));
    const bool address = &p == &g.params.ModbusSettings_Id;
    const ConnectionSettings before = g.connection_settings();
    const uint16_t old_value = address ? before.block_id : SpeedCode(before.port_settings.speed);

    // The detector's factory number: after a write whose outcome is unknown,
    // whatever answers must prove to be this detector before the save goes
    // to it.
    mb_param_t& serial_param = g.params.factory_serial_id;
    if (const error_value_t e = ReadTwice(*l, serial_param))
        return refuse(text::format(kMaxText, "Параметр \"%s\" не был установлен\n(%s)", title.c_str(),
                                   arg(window_message_text(e)).c_str()),
                      e);
    const uint32_t serial = serial_param.snapshot().u32();

    // A detector moved onto an address another device answers at would
    // share it with that device: both would answer every request.
    if (address && w != before.block_id) {
        uint16_t words[2];
        const error_value_t probe = l->read_registers(serial_param.reg(), 2, words, uint8_t(w));
        if (FailedWriteOutcome(probe) == write_outcome_t::not_sent)
            return refuse(ParamWriteFailureText(ustring_t(p.title()), probe), probe);
        if (!probe.same(drv_error(kDrvTimeout)))
            return refuse(text::format(kMaxText,
                                       "Адрес %u уже занят: на нём отвечает другое устройство\n"
                                       "Параметр \"%s\" не был установлен",
                                       unsigned(w), title.c_str()),
                          app_error(app::kDeviceLogicError));
    }

    // Whether the device that answers now is this detector holding value.
    auto confirmed = [&](uint16_t value, error_value_t& e, bool& other) {
        other = false;
        e = ReadTwice(*l, serial_param);
        if (e) return false;
        if (serial_param.snapshot().u32() != serial) {
            other = true;
            return false;
        }
        e = ReadTwice(*l, p);
        return !e && p.snapshot().u16() == value;
    };

    g.status_text(text::format(kMaxText, "Установка параметра \"%s\"...", title.c_str()));
    error_value_t result;
    if (const error_value_t e = g.write_parameter(p, w); !e) {
        pause_ms(500);
        report(text::format(kMaxText, "Параметр \"%s\" установлен\nНеобходимо изменить настройки драйвера...",
                            title.c_str()));
        switch_settings();
        pause_ms(500);
        report(text::format(kMaxText,
                            "Настройки драйвера изменены в соответствии с параметром \"%s\"\nСохраняем настройки...",
                            title.c_str()));
        result = g.save_settings();
        pause_ms(100);
        if (!result)
            report(text::format(kMaxText, "Параметр \"%s\" установлен\nНастройки сохранены", title.c_str()));
        else
            report_failure(SaveFailureText(ustring_t(p.title()), result));
    } else if (FailedWriteOutcome(e) != write_outcome_t::unknown) {
        // The device refused the write (or it never left): it still has its
        // old setting, and the configurator keeps its own.
        return refuse(ParamWriteFailureText(ustring_t(p.title()), e), e);
    } else {
        // No answer, or one that could not be read: the device may have
        // switched before it could answer.
        report(ParamWriteFailureText(ustring_t(p.title()), e));
        pause_ms(200);
        report(u"Пробуем изменить настройки драйвера и проверить связь...");
        switch_settings();
        error_value_t read;
        bool other = false;
        if (!confirmed(w, read, other)) {
            // Not this detector with the new value: back to the old settings,
            // where it answers if the write did not take.
            if (other)
                report(text::format(kMaxText, "С новыми настройками отвечает другое устройство (заводской номер %u)",
                                    unsigned(serial_param.snapshot().u32())));
            G_t* gp = &g;
            on_window_thread([gp, before] { gp->apply_connection_settings(before, nullptr); });
            error_value_t back;
            bool other_back = false;
            if (confirmed(old_value, back, other_back)) {
                g.clear_message();
                return refuse(text::format(kMaxText,
                                           "Параметр \"%s\" не был установлен: устройство отвечает с прежними "
                                           "настройками\n(%s)",
                                           title.c_str(), arg(window_message_text(e)).c_str()),
                              e);
            }
            if (!read) read = back;
            // Not found either way: most likely the device switched and then
            // lost the line, so the configurator keeps the new settings.
            switch_settings();
            report(ustring_t());
            g.error_message(kErrorShowMs,
                            read ? text::format(kMaxText, "Связь разорвана. Отключаем драйвер.\n(%s)",
                                                arg(window_message_text(read)).c_str())
                                 : ustring_t(u"Отвечает другое устройство, а не то, чей параметр менялся. "
                                             u"Отключаем драйвер."));
            if (!read) read = app_error(app::kDeviceLogicError);
            on_window_thread([gp] {
                if (mb_link_t* link = gp->link.load()) link->close();
                gp->invalidate_all_parameters();
            });
            return read;
        }
        pause_ms(500);
        report(text::format(kMaxText, "Связь есть, значит параметр \"%s\" был установлен\nСохраняем настройки...",
                            title.c_str()));
        result = g.save_settings();
        pause_ms(100);
        if (!result) report(u"Настройки сохранены");
        else report_failure(SaveFailureText(ustring_t(p.title()), result));
    }
    if (!result) g.clear_message();
    return result;
}

}  // namespace procedures
