#include "windows/calibration_window.h"

#include "foundation/app_config.h"
#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "platform/time.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr uint32_t kErrorShowMs = 10000;
constexpr GColor kNoteColor = kColorLight;

void Note(GLabel& l, const char16_t* text) {
    l.SetText(text);
    l.SetAlignment(kAlignCenter | kAlignMiddle);
    l.SetWordWrap(true);
    l.SetBackColor(kNoteColor);
}

// Queued behind the start command the start task may have queued: the flag
// falls once that has run too (or at once when the start failed early).
void DoneStarting(G_t& g, std::shared_ptr<std::atomic<bool>> flag) {
    g.post_to_worker1(make_task([flag] { flag->store(false); }));
}

}  // namespace

GBaseCalibration::GBaseCalibration() {
    SetName(u"GCalibration");
    Resize(kWidth, kHeight);

    layout::Label(title_, *this, u"title_", u"Настройка измерения", 234, 2, 340, 40);

    layout::Button(bt_cancel_, *this, u"bt_cancel_", u"Прервать настройку", 640, 237, 140, 62);
    bt_cancel_.SetEnabled(false);

    Place(lb_finished_, *this, u"lb_finished_", 96, 238, 534, 58);
    Note(lb_finished_, u"Завершено успешно");

    Place(fr_air_, *this, u"fr_air_", 16, 72, 380, 158);
    Place(lb_give_air_, fr_air_, u"lb_give_air_", 2, 2, 376, 74);
    Note(lb_give_air_, u"Для коррекции нуля подайте на датчик смесь воздух/азот");
    layout::Button(bt_air_is_on_, fr_air_, u"bt_air_is_on_", u"Начать\nкоррекцию нуля.\nВоздух подан", 90, 88, 212, 62);
    bt_air_is_on_.SetEnabled(false);

    Place(fr_gas_, *this, u"fr_gas_", 406, 72, 380, 158);
    Place(lb_give_gas_, fr_gas_, u"lb_give_gas_", 2, 2, 376, 74);
    Note(lb_give_gas_, u"Для настройки по газу укажите концентрацию и подайте на датчик ПГС с определяемым газом");
    Place(calibration_gas_concentration_, fr_gas_, u"calibration_gas_concentration_", 6, 96, 169, 46);
    calibration_gas_concentration_.SetDisplayFormat(u"Концентрация\n%.3lf %%");
    calibration_gas_concentration_.SetEmptyText(u"Концентрация\n0.000 %");
    calibration_gas_concentration_.SetPrompt(u"Концентрация газа, %");
    calibration_gas_concentration_.SetAlignment(kAlignCenter | kAlignMiddle);
    calibration_gas_concentration_.SetWordWrap(true);
    calibration_gas_concentration_.SetEnabled(false);
    layout::Button(bt_gas_is_on_, fr_gas_, u"bt_gas_is_on_", u"Начать\nнастройку по ПГС.\nГаз подан", 184, 88, 188, 62);
    bt_gas_is_on_.SetEnabled(false);

    bt_ss_enable_.Place(*this, 16, 5);
    for (GControl* c : std::initializer_list<GControl*>{&lb_finished_, &lb_give_air_, &lb_give_gas_,
                                                        &calibration_gas_concentration_})
        c->SetFont(kFontSmall);
}

GCalibration::GCalibration(G_t& g) : g_(g) {
    bt_air_is_on_.OnClick.Bind(this, &GCalibration::OnAirIsOn);
    bt_gas_is_on_.OnClick.Bind(this, &GCalibration::OnGasIsOn);
    bt_cancel_.OnClick.Bind(this, &GCalibration::OnCancel);
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
    calibration_gas_concentration_.OnValueEntered.Bind(this, &GCalibration::OnConcentrationEntered);
    calibration_gas_concentration_.OnValueAccepted.Bind(this, &GCalibration::OnConcentrationAccepted);
    Refresh();
    watcher_task_ = g_.add_periodic_task(calibration::PeriodicTask(g_, watcher_));
}

GCalibration::~GCalibration() { g_.remove_periodic_task(watcher_task_); }

std::vector<GControl*> GCalibration::InputControls() {
    return {&bt_ss_enable_, &bt_air_is_on_, &calibration_gas_concentration_, &bt_gas_is_on_, &bt_cancel_};
}

void GCalibration::Refresh() {
    ++refresh_depth_;
    const bool connected = g_.is_connected();
    SetEnabled(connected);
    const bool mode_on = g_.adjustment_mode_on();
    bt_ss_enable_.Refresh(g_);

    const param_snapshot_t gas = g_.params.calibration_gas_concentration.snapshot();
    const bool span = gas.is_read() && gas.f32() > 0.0f;
    const bool zero = gas.is_read() && gas.f32() == 0.0f;
    const calibration::state_view_t view = calibration::StateView(g_, *watcher_, plat::tick32());
    const bool running = view.running;

    fr_air_.SetEnabled(!running || zero);
    fr_gas_.SetEnabled(!running || span);
    const bool starting = starting_->load();
    bt_air_is_on_.SetEnabled(mode_on && !running && !starting);
    bt_gas_is_on_.SetEnabled(mode_on && !running && !starting);
    calibration_gas_concentration_.SetEnabled(mode_on && !running);
    if (!running) aborting_ = false;
    bt_cancel_.SetEnabled(mode_on && running && !aborting_);

    calibration_gas_concentration_.SetValue(g_.calibration_gas_concentration);
    // Between the abort's press and the poll cycle that sends it, the label
    // says it is on its way.
    lb_finished_.SetText(aborting_ ? ustring_t(kAbortingText) : view.text);
    const bool failed = view.read && view.state >= codes::kCalibrationConcentrationOff &&
                        view.state <= codes::kCalibrationSensorFault;
    lb_finished_.SetBackColor(failed ? kFailureColor : kNoteColor);
    // A calibration seen running that ends in an error is a failure: red on
    // the message panel too, not only in the label.
    if (failed && (last_state_ == codes::kCalibrationStarted || last_state_ == codes::kCalibrationInProgress))
        g_.error_message(kErrorShowMs, ustring_t(u"Настройка не удалась.\n") + view.text);
    if (view.read) last_state_ = view.state;
    --refresh_depth_;
}

void GCalibration::OnAirIsOn(GControl*) {
    bt_air_is_on_.SetEnabled(false);
    // Without a link the task is dropped unrun: nothing would clear the flag.
    starting_->store(g_.link.load() != nullptr);
    G_t* g = &g_;
    g_.post_to_worker1(make_task([g, flag = starting_] {
        calibration::RunZeroCorrectionStart(*g);
        DoneStarting(*g, flag);
    }));
    Refresh();
}

void GCalibration::OnGasIsOn(GControl*) {
    const float c = float(g_.calibration_gas_concentration);
    if (!(c >= float(kBalloonStrengthMin))) {
        g_.error_message(kErrorShowMs, calibration::kZeroConcentrationRefusal);
    } else {
        g_.clear_message();
        bt_gas_is_on_.SetEnabled(false);
        // Without a link the task is dropped unrun: nothing would clear the flag.
        starting_->store(g_.link.load() != nullptr);
        G_t* g = &g_;
        g_.post_to_worker1(make_task([g, c, flag = starting_] {
            calibration::RunSpanStart(*g, c);
            DoneStarting(*g, flag);
        }));
    }
    Refresh();
}

void GCalibration::OnCancel(GControl*) {
    // The abort goes out with the next poll cycle; a failed write is the
    // pending-write map's to handle, and the state register shows the result.
    if (mb_link_t* l = g_.link.load()) {
        l->queue_param(g_.params.mipex_calibration_start, codes::kCalibrationStartAbort);
        aborting_ = true;
    }
    Refresh();
}

void GCalibration::OnConcentrationEntered(GControl*, double& value) {
    if (refresh_depth_ > 0) return;
    value = calibration::FilterConcentration(value);
}

void GCalibration::OnConcentrationAccepted(GControl*, double value) {
    if (refresh_depth_ > 0) return;
    g_.calibration_gas_concentration = value;
}
