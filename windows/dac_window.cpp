#include "windows/dac_window.h"

#include <cmath>

#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/device_procedures.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

// The longest a saved code is held on the screen waiting for its read-back.
constexpr uint32_t kSavedHoldMs = 10000;

void Caption(GLabel& l, const char16_t* text, GColor back) {
    l.SetText(text);
    l.SetAlignment(kAlignCenter | kAlignMiddle);
    l.SetBackColor(back);
}

}  // namespace

std::optional<int64_t> StoredCodeValue(float code) {
    // 2^63 is exactly representable as a float; anything from there on (or
    // below -2^63) has no 64-bit integer to be cut to.
    constexpr float kLimit = 9223372036854775808.0f;
    if (!std::isfinite(code) || code >= kLimit || code < -kLimit) return std::nullopt;
    return int64_t(code);
}

GBaseDacCalibration::GBaseDacCalibration()
    : code_(GCodeBar::Keys::kUpRaises,
            {.reported = u"Реальный код ЦАП",
             .wanted = u"Заданный код ЦАП (0..4095)",
             .out_of_range = u"Код ЦАП должен быть от 0 до 4095",
             .caption_align = kAlignCenter | kAlignMiddle},
            codes::kDacCodeMin, codes::kDacCodeMax) {
    SetName(u"GDacCalibration");
    Resize(kWidth, kHeight);

    layout::Label(title_, *this, u"title_", u"Настройка 4-20мА", 0, 0, 600, 24);

    bt_ss_enable_.Place(*this, 5, 32);
    layout::Button(bt_toggle_, *this, u"bt_toggle_", u"Включить управление током", 471, 32, 124, 62);

    code_.Place(*this, 59, 104);

    Place(GControlsTableDT2, *this, u"GControlsTableDT2", 72, 244, 456, 94);
    Place(GLabel2, GControlsTableDT2, u"GLabel2", 0, 0, 150, 30);
    Place(GLabel1, GControlsTableDT2, u"GLabel1", 152, 0, 150, 30);
    Caption(GLabel1, u"В настройках", kColorMid);
    Place(GLabel3, GControlsTableDT2, u"GLabel3", 304, 0, 150, 30);
    Caption(GLabel3, u"Запомненный", kColorMid);
    Place(GLabel5, GControlsTableDT2, u"GLabel5", 0, 32, 150, 30);
    Caption(GLabel5, u"Код для 4мА", kColorMid);
    Place(GLabel6, GControlsTableDT2, u"GLabel6", 0, 64, 150, 30);
    Caption(GLabel6, u"Код для 20мА", kColorMid);
    Place(real_code_min_, GControlsTableDT2, u"real_code_min_", 152, 32, 150, 30);
    Place(code_min_, GControlsTableDT2, u"code_min_", 304, 32, 150, 30);
    Place(real_code_max_, GControlsTableDT2, u"real_code_max_", 152, 64, 150, 30);
    Place(code_max_, GControlsTableDT2, u"code_max_", 304, 64, 150, 30);
    for (GOutputInt64Label* l : {&real_code_min_, &code_min_, &real_code_max_, &code_max_}) {
        l->SetBackColor(kColorLight);
        l->SetAlignment(kAlignCenter | kAlignMiddle);
    }

    Place(bt_remember_min_, *this, u"bt_remember_min_", 72, 350, 220, 50);
    bt_remember_min_.SetCaption(u"Запомнить для 4мА");
    Place(bt_remember_max_, *this, u"bt_remember_max_", 308, 350, 220, 50);
    bt_remember_max_.SetCaption(u"Запомнить для 20мА");
    Place(bt_save_, *this, u"bt_save_", 72, 412, 220, 56);
    bt_save_.SetCaption(u"Сохранить калибровки");
    Place(bt_cancel_, *this, u"bt_cancel_", 308, 412, 220, 56);
    bt_cancel_.SetCaption(u"Отмена");
}

GDacCalibration::GDacCalibration(G_t& g)
    : g_(g), dac_mode_(g, g.params.dac_calibration_mode, device_modes::SwitchDacCalibration) {
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
    bt_toggle_.OnClick.Set([this](GControl*) {
        dac_mode_.Toggle();
        Refresh();
    });
    code_.Connect(g, [this](int64_t code) { OnCodeMoved(code); });
    bt_remember_min_.OnClick.Bind(this, &GDacCalibration::OnRememberMin);
    bt_remember_max_.OnClick.Bind(this, &GDacCalibration::OnRememberMax);
    bt_save_.OnClick.Bind(this, &GDacCalibration::OnSave);
    bt_cancel_.OnClick.Bind(this, &GDacCalibration::OnCancel);
    Refresh();
}

std::vector<GControl*> GDacCalibration::InputControls() {
    return {&bt_ss_enable_,    &bt_toggle_,       &code_.field, &code_.bar,
            &bt_remember_min_, &bt_remember_max_, &bt_save_,  &bt_cancel_};
}

void GDacCalibration::Refresh() {
    const bool connected = g_.is_connected();
    const bool mode_on = g_.adjustment_mode_on();
    const bool dac_on = dac_mode_.On();
    const bool remembered = remembered_low_ || remembered_high_;
    // The mode seen off (or not known) means the next time it is on the field
    // and the bar start again from the device's code, never from a code left
    // in them: an output at 20 mA must not jump to whatever the bar shows.
    if (!dac_on) synced_ = false;
    if (dac_on && !synced_) synced_ = SyncCode();
    bt_ss_enable_.Refresh(g_);
    dac_mode_.Show(bt_toggle_, mode_on, u"Включить настройку ЦАП", u"Отключить настройку ЦАП");
    code_.table.SetEnabled(mode_on && dac_on && synced_);
    bt_remember_min_.SetEnabled(mode_on && dac_on);
    bt_remember_max_.SetEnabled(mode_on && dac_on);
    bt_save_.SetEnabled(mode_on && remembered);
    bt_cancel_.SetEnabled(connected && remembered);

    const GCodeBar::Guard quiet = code_.Quiet();
    if (dac_on) {
        const param_snapshot_t code = g_.params.dac_code.snapshot();
        if (code.is_read()) code_.reported.SetValue(code.u16());
    }
    if (connected) {
        auto stored = [this](const mb_param_t& p, GOutputInt64Label& real, GOutputInt64Label& mirror,
                             bool remembered) {
            // A code just saved stays on the screen until the poll reads it back.
            if (!g_.can_update_control(&mirror)) return;
            const param_snapshot_t s = p.snapshot();
            const std::optional<int64_t> v = s.is_read() ? StoredCodeValue(s.f32()) : std::nullopt;
            if (v) real.SetValue(*v);
            else real.ClearValue();
            if (remembered) return;
            if (v) mirror.SetValue(*v);
            else mirror.ClearValue();
        };
        stored(g_.params.dac_code_4ma, real_code_min_, code_min_, remembered_low_);
        stored(g_.params.dac_code_20ma, real_code_max_, code_max_, remembered_high_);
    }
}

bool GDacCalibration::SyncCode() {
    const param_snapshot_t code = g_.params.dac_code.snapshot();
    if (!code.is_read() || code.u16() < codes::kDacCodeMin || code.u16() > codes::kDacCodeMax) return false;
    // Loaded as the program's move: nothing is sent.
    code_.Load(code.u16());
    return true;
}

void GDacCalibration::OnCodeMoved(int64_t code) {
    // Only a move by the user, from the code loaded from the device, is sent.
    // Merged by register in the pending-write map: a fast drag sends the
    // latest position only.
    if (!synced_ || !dac_mode_.On()) return;
    if (mb_link_t* l = g_.link.load()) l->queue_param(g_.params.dac_code, uint64_t(code));
}

void GDacCalibration::OnRememberMin(GControl*) {
    if (!code_.reported.HasValue()) return;
    code_min_.SetValue(code_.reported.Value());
    remembered_low_ = true;
}

void GDacCalibration::OnRememberMax(GControl*) {
    if (!code_.reported.HasValue()) return;
    code_max_.SetValue(code_.reported.Value());
    remembered_high_ = true;
}

void GDacCalibration::OnSave(GControl*) {
    // Two tasks in this order: the 4 mA code first. A code without a value
    // (a stored code the device reported as no number, never remembered) is
    // not written: there is nothing to save for it.
    auto save = [this](const mb_param_t& p, GOutputInt64Label& real, GOutputInt64Label& mirror) {
        if (!mirror.HasValue()) return;
        const int64_t code = mirror.Value();
        real.SetValue(code);
        g_.hold_until(&mirror, kSavedHoldMs, [&p, code] {
            const param_snapshot_t s = p.snapshot();
            return s.is_read() && StoredCodeValue(s.f32()) == code;
        });
        SetParamAndSave(g_, p, ParamValueFromFloat(float(code)));
    };
    save(g_.params.dac_code_4ma, real_code_min_, code_min_);
    save(g_.params.dac_code_20ma, real_code_max_, code_max_);
    remembered_low_ = remembered_high_ = false;
}

void GDacCalibration::OnCancel(GControl*) {
    remembered_low_ = remembered_high_ = false;
    Refresh();
}
