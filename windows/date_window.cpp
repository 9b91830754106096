#include "windows/date_window.h"

#include "windows/layout.h"

#include "foundation/time_services.h"
#include "model/app_state.h"

using namespace UIK;

namespace {
constexpr uint32_t kErrorShowMs = 10000;

void Field(GInputInt64Label& f, GControl& parent, const char16_t* name, int l, int t, int w, const char16_t* format,
           int64_t initial, const char16_t* prompt) {
    f.SetParent(&parent);
    f.SetName(name);
    f.SetBounds(l, t, w, 40);
    f.SetDisplayFormat(format);
    f.SetValue(initial);
    f.SetPrompt(prompt);
}

using layout::Button;
}  // namespace

GBaseDateTime::GBaseDateTime() {
    SetName(u"GDate");
    SetBounds(0, 0, kWidth, kHeight);
    title_.SetParent(this);
    title_.SetName(u"title_");
    title_.SetText(u"Дата / Время");
    title_.SetBounds(128, 16, 296, 32);
    title_.SetAlignment(kAlignCenter | kAlignMiddle);
    table_.SetParent(this);
    table_.SetName(u"table_");
    table_.SetBounds(10, 66, 536, 82);
    GLabel1.SetParent(&table_);
    GLabel1.SetName(u"GLabel1");
    GLabel1.SetText(u"Дата: год, месяц, день");
    GLabel1.SetBounds(0, 0, 300, 40);
    GLabel1.SetBackColor(kColorLight);
    Field(in_year_, table_, u"in_year_", 302, 0, 90, u"%04I64d", 2018, u"Дата: год");
    Field(in_month_, table_, u"in_month_", 394, 0, 70, u"%02I64d", 12, u"Дата: месяц");
    Field(in_day_, table_, u"in_day_", 466, 0, 70, u"%02I64d", 32, u"Дата: день");
    GLabel2.SetParent(&table_);
    GLabel2.SetName(u"GLabel2");
    GLabel2.SetText(u"Время: часы, минуты, секунды");
    GLabel2.SetBounds(0, 42, 300, 40);
    GLabel2.SetBackColor(kColorMid);
    Field(in_hour_, table_, u"in_hour_", 302, 42, 90, u"%02I64d", 24, u"Время: час");
    Field(in_minute_, table_, u"in_minute_", 394, 42, 70, u"%02I64d", 65, u"Время: минута");
    Field(in_second_, table_, u"in_second_", 466, 42, 70, u"%02I64d", 5, u"Время: секунда");
    for (GInputInt64Label* f : {&in_year_, &in_month_, &in_day_}) f->SetBackColor(kColorLight);
    for (GInputInt64Label* f : {&in_hour_, &in_minute_, &in_second_}) f->SetBackColor(kColorMid);
    Button(bt_apply_local_time_, *this, u"bt_apply_local_time_", u"Применить текущее время 12:15:00 2018.04.04", 10,
           151, 180, 46);
    Button(bt_apply_, *this, u"bt_apply_", u"Применить", 336, 151, 100, 46);
    Button(bt_cancel_, *this, u"bt_cancel_", u"Отмена", 448, 151, 100, 46);
    Button(bt_ss_enable_, *this, u"bt_ss_enable_", u"Включить режим наладки", 0, 2, 124, 62);
}

GDate::GDate(G_t& g) : g_(g) {
    for (GInputInt64Label* f : {&in_year_, &in_month_, &in_day_, &in_hour_, &in_minute_, &in_second_})
        f->OnValueAccepted.Bind(this, &GDate::OnAccepted);
    bt_apply_.OnClick.Set([this](GControl*) { Apply(); });
    bt_cancel_.OnClick.Set([this](GControl*) { Cancel(); });
    bt_apply_local_time_.OnClick.Set([this](GControl*) { ApplyLocalTime(); });
    bt_ss_enable_.OnClick.Set([this](GControl*) {
        g_.enable_adjustment_mode();
        Refresh();
    });
    Refresh();
}

std::vector<GControl*> GDate::InputControls() {
    return {&in_year_, &in_month_, &in_day_, &in_hour_, &in_minute_, &in_second_,
            &bt_apply_local_time_, &bt_apply_, &bt_cancel_};
}

clock_fields_t GDate::Fields() const {
    return {in_year_.Value(), in_month_.Value(), in_day_.Value(),
            in_hour_.Value(), in_minute_.Value(), in_second_.Value()};
}

void GDate::OnAccepted(GControl*, int64_t) {
    if (updating_ == 0) editing_ = true;
}

void GDate::Apply() {
    const clock_fields_t f = Fields();
    if (!ValidClockFields(f)) {
        g_.error_message(kErrorShowMs, u"Некорректная дата/время");
        return;
    }
    g_.clear_message();
    SetClockAndSave(g_, ClockBytes(f));
    editing_ = false;
}

void GDate::Cancel() {
    editing_ = false;
    g_.clear_message();
    Refresh();
}

void GDate::ApplyLocalTime() {
    g_.clear_message();
    SetClockAndSave(g_, ClockBytes(OneSecondLater(plat::local_time())));
    editing_ = false;
}

void GDate::Refresh() {
    const bool connected = g_.is_connected();
    const bool on = g_.adjustment_mode_on();
    const bool off = g_.adjustment_mode_off();
    const param_snapshot_t clock = g_.params.date_bcd.snapshot();
    if (connected && clock.is_read() && !editing_) {
        ++updating_;
        in_year_.SetValue(int64_t(clock.byte(0)) + 2000);
        in_month_.SetValue(clock.byte(1));
        in_day_.SetValue(clock.byte(2));
        in_hour_.SetValue(clock.byte(3));
        in_minute_.SetValue(clock.byte(4));
        in_second_.SetValue(clock.byte(5));
        --updating_;
    }
    bt_cancel_.SetEnabled(editing_);
    bt_apply_.SetEnabled(editing_);
    table_.SetEnabled(on);
    bt_apply_local_time_.SetEnabled(on);
    bt_apply_local_time_.SetCaption(ustring_t(u"Применить текущее время ") + TimeText(plat::local_time()));
    bt_ss_enable_.SetVisible(off);
}
