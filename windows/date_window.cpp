#include "windows/date_window.h"

#include "windows/layout.h"

#include "foundation/time_services.h"
#include "model/app_state.h"
#include "procedures/write_procedures.h"

using namespace UIK;
using layout::Place;

namespace {
constexpr uint32_t kErrorShowMs = 10000;
// The longest a written clock is held on the screen waiting for its read-back,
// and how far the device's clock may have run on by then.
constexpr uint32_t kWrittenHoldMs = 10000;
constexpr int64_t kReadBackSeconds = 10;

// Seconds of a clock value (bytes: year-2000, month, day, hour, minute,
// second), counting every month as 31 days: exact for two values of one month.
int64_t ClockSeconds(uint64_t bytes) {
    auto b = [bytes](int i) { return int64_t((bytes >> (8 * i)) & 0xFF); };
    return ((((b(0) * 12 + b(1)) * 31 + b(2)) * 24 + b(3)) * 60 + b(4)) * 60 + b(5);
}

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
    layout::Label(title_, *this, u"title_", u"Дата / Время", 128, 16, 296, 32);
    Place(table_, *this, u"table_", 10, 66, 536, 82);
    layout::Label(GLabel1, table_, u"GLabel1", u"Дата: год, месяц, день", 0, 0, 300, 40, kAlignLeft | kAlignMiddle);
    GLabel1.SetBackColor(kColorLight);
    Field(in_year_, table_, u"in_year_", 302, 0, 90, u"%04I64d", 2018, u"Дата: год");
    Field(in_month_, table_, u"in_month_", 394, 0, 70, u"%02I64d", 12, u"Дата: месяц");
    Field(in_day_, table_, u"in_day_", 466, 0, 70, u"%02I64d", 32, u"Дата: день");
    layout::Label(GLabel2, table_, u"GLabel2", u"Время: часы, минуты, секунды", 0, 42, 300, 40,
                  kAlignLeft | kAlignMiddle);
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
    bt_ss_enable_.Place(*this, 0, 2);
}

GDate::GDate(G_t& g) : g_(g) {
    for (GInputInt64Label* f : {&in_year_, &in_month_, &in_day_, &in_hour_, &in_minute_, &in_second_})
        f->OnValueAccepted.Bind(this, &GDate::OnAccepted);
    bt_apply_.OnClick.Set([this](GControl*) { Apply(); });
    bt_cancel_.OnClick.Set([this](GControl*) { Cancel(); });
    bt_apply_local_time_.OnClick.Set([this](GControl*) { ApplyLocalTime(); });
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
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
    Write(ClockBytes(f));
}

void GDate::Cancel() {
    editing_ = false;
    g_.clear_message();
    // While a written clock waits for its read-back, that is what comes back.
    if (!g_.can_update_control(&table_)) ShowClock(written_);
    Refresh();
}

void GDate::ShowClock(uint64_t bytes) {
    auto b = [bytes](int i) { return int64_t((bytes >> (8 * i)) & 0xFF); };
    ++updating_;
    in_year_.SetValue(b(0) + 2000);
    in_month_.SetValue(b(1));
    in_day_.SetValue(b(2));
    in_hour_.SetValue(b(3));
    in_minute_.SetValue(b(4));
    in_second_.SetValue(b(5));
    --updating_;
}

void GDate::ApplyLocalTime() {
    g_.clear_message();
    const uint64_t bytes = ClockBytes(OneSecondLater(plat::local_time()));
    ShowClock(bytes);
    Write(bytes);
}

// The written clock stays in the fields until the poll reads it back from the
// device (a little later, as its clock runs on).
void GDate::Write(uint64_t bytes) {
    written_ = bytes;
    const mb_param_t& clock = g_.params.date_bcd;
    g_.hold_until(&table_, kWrittenHoldMs, [&clock, bytes] {
        const param_snapshot_t s = clock.snapshot();
        const int64_t ran = ClockSeconds(s.value) - ClockSeconds(bytes);
        return s.is_read() && ran >= 0 && ran <= kReadBackSeconds;
    });
    SetClockAndSave(g_, bytes);
    editing_ = false;
}

void GDate::Refresh() {
    const bool connected = g_.is_connected();
    const bool on = g_.adjustment_mode_on();
    const param_snapshot_t clock = g_.params.date_bcd.snapshot();
    if (connected && clock.is_read() && !editing_ && g_.can_update_control(&table_)) ShowClock(clock.value);
    bt_cancel_.SetEnabled(editing_);
    bt_apply_.SetEnabled(editing_);
    table_.SetEnabled(on);
    bt_apply_local_time_.SetEnabled(on);
    bt_apply_local_time_.SetCaption(ustring_t(u"Применить текущее время ") + TimeText(plat::local_time()));
    bt_ss_enable_.Refresh(g_);
}
