#include "procedures/device_procedures.h"

#include <cmath>
#include <string>

#include "link/errors.h"
#include "foundation/app_config.h"
#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "platform/time.h"
#include "procedures/write_procedures.h"

namespace calibration {

namespace {

constexpr uint32_t kErrorShowMs = 10000;
constexpr size_t kMaxText = 2048;

const char16_t kStartTitle[] = u"Запуск настройки МИПЕКС";

struct start_texts_t {
    const char* failed;       // a write failed
    const char* unconfirmed;  // the read-back did not confirm the concentration
};
constexpr start_texts_t kZeroTexts{"Не удалось запустить корректировку нуля\n(%s)",
                                   "Не удалось подтвердить концентрацию для корректировки нуля\n(%s)"};
constexpr start_texts_t kSpanTexts{"Не удалось запустить настройку второй точки\n(%s)",
                                   "Не удалось подтвердить концентрацию для настройки второй точки\n(%s)"};

void Fail(G_t& g, const char* form, const error_value_t& e) {
    g.error_message(kErrorShowMs, text::format(kMaxText, form, text::utf8(window_message_text(e)).c_str()));
}

bool Running(uint16_t state) {
    return state == codes::kCalibrationStarted || state == codes::kCalibrationInProgress;
}

// The start command after the adjustment-mode request, as SendCommand sends
// it. When its reply is lost the device may be calibrating already: the
// state register says.
start_outcome_t RunStartCommand(G_t& g, mb_link_t& l) {
    procedures::RunEnableAdjustmentMode(g);
    const error_value_t e = procedures::RunCommand(g, g.params.mipex_calibration_start, codes::kCalibrationStartRun,
                                                   ustring_t(kStartTitle));
    if (!e) return start_outcome_t::started;
    if (FailedWriteOutcome(e) != write_outcome_t::unknown) return start_outcome_t::not_started;
    mb_param_t& state = g.params.mipex_calibration_state;
    error_value_t read = l.read_param(state);
    if (read && FailedWriteOutcome(read) == write_outcome_t::unknown) read = l.read_param(state);
    if (read) {
        g.error_message(kErrorShowMs,
                        text::format(kMaxText, "Не удалось узнать, запущена ли калибровка: она может идти\n(%s)",
                                     text::utf8(window_message_text(read)).c_str()));
        return start_outcome_t::unknown;
    }
    if (!Running(state.snapshot().u16())) {
        g.error_message(kErrorShowMs, u"Калибровка не запущена: устройство не калибрует");
        return start_outcome_t::not_started;
    }
    g.clear_message();
    g.info_message(u"Ответ на команду \"Запуск настройки МИПЕКС\" потерян, но устройство калибрует: калибровка запущена");
    return start_outcome_t::started;
}

// Steps 1 to 3 of both starts, then the start command. The read-back must
// come from the device itself: a value the poll cycle read earlier does not
// count, so the parameter is read here and its fresh value checked.
start_outcome_t RunStart(G_t& g, uint16_t point, float concentration, const start_texts_t& texts) {
    mb_link_t* l = g.link.load();
    if (!l) {
        Fail(g, texts.failed, comport_error(kComNotOpen));
        return start_outcome_t::not_started;
    }
    mb_param_t& gas = g.params.calibration_gas_concentration;
    if (const error_value_t e = l->write_param(gas, ParamValueFromFloat(concentration))) {
        Fail(g, texts.failed, e);
        return start_outcome_t::not_started;
    }
    const error_value_t read = l->read_param(gas);
    const param_snapshot_t back = gas.snapshot();
    const bool confirmed = !read && back.is_read() &&
                           (point == codes::kCalibrationPointZero ? back.f32() == 0.0f : back.f32() > 0.0f);
    if (!confirmed) {
        Fail(g, texts.unconfirmed, read);
        return start_outcome_t::not_started;
    }
    if (const error_value_t e = l->write_param(g.params.mipex_calibration_point, point)) {
        Fail(g, texts.failed, e);
        return start_outcome_t::not_started;
    }
    return RunStartCommand(g, *l);
}

struct state_row_t {
    const char16_t* zero;
    const char16_t* span;
    const char16_t* other;
};

// Rows 1 to 9 of the device's calibration states.
constexpr state_row_t kStateRows[] = {
    {u"Корректировка нуля началась", u"Настройка МИПЕКС по ПГС началась", u""},
    {u"Производится корректировка нуля", u"Производится настройка МИПЕКС по ПГС", u""},
    {u"Корректировка нуля завершена успешно", u"Настройка МИПЕКС по ПГС завершена успешно", u"---"},
    {u"Ошибка.\nКонцентрация отличается слишком сильно", u"Ошибка.\nКонцентрация отличается слишком сильно",
     u"Ошибка.\nКонцентрация отличается слишком сильно"},
    {u"Ошибка.\nКонцентрация меняется слишком быстро", u"Ошибка.\nКонцентрация меняется слишком быстро",
     u"Ошибка.\nКонцентрация меняется слишком быстро"},
    {u"Ошибка.\nТемпература меняется слишком быстро", u"Ошибка.\nТемпература меняется слишком быстро",
     u"Ошибка.\nТемпература меняется слишком быстро"},
    {u"Ошибка.\nНет ответа от датчика", u"Ошибка.\nНет ответа от датчика", u"Ошибка.\nНет ответа от датчика"},
    {u"Ошибка.\nВнутренняя ошибка датчика", u"Ошибка.\nВнутренняя ошибка датчика",
     u"Ошибка.\nВнутренняя ошибка датчика"},
    {u"Корректировка нуля МИПЕКС прекращена пользователем", u"Настройка МИПЕКС по ПГС прекращена пользователем",
     u""},
};

}  // namespace

const char16_t* const kZeroConcentrationRefusal =
    u"При нулевой концентрации будет произведена коррекция нуля, а не настройка второй точки";

double FilterConcentration(double value) {
    if (!(value >= kBalloonStrengthMin)) value = kBalloonStrengthMin;  // NaN too
    if (value > kBalloonStrengthMax) value = kBalloonStrengthMax;
    return std::floor(value * 100.0 + 0.5) / 100.0;
}

namespace {

// The view of one reading of the state register.
state_view_t ViewOf(const ParamMap_t& m, const param_snapshot_t& state, uint32_t start_tick, uint32_t now_tick) {
    state_view_t v;
    const param_snapshot_t gas = m.calibration_gas_concentration.snapshot();
    const bool span = gas.is_read() && gas.f32() > 0.0f;
    const bool zero = gas.is_read() && gas.f32() == 0.0f;
    if (!state.is_read()) return v;
    v.read = true;
    v.state = state.u16();
    if (v.state < codes::kCalibrationStarted || v.state > codes::kCalibrationAborted) return v;
    const state_row_t& row = kStateRows[v.state - 1];
    v.text = zero ? row.zero : span ? row.span : row.other;
    v.running = Running(v.state);
    if (v.state == codes::kCalibrationInProgress && start_tick != 0 && !v.text.empty())
        v.text += text::format(64, "\nПрошло: %.1lf с", double(uint32_t(now_tick - start_tick)) / 1000.0);
    return v;
}

}  // namespace

state_view_t StateView(const ParamMap_t& m, uint32_t start_tick, uint32_t now_tick) {
    return ViewOf(m, m.mipex_calibration_state.snapshot(), start_tick, now_tick);
}

state_view_t StateView(const G_t& g, status_watcher_t& watcher, uint32_t now_tick) {
    // One reading serves both the step and the view, so a state the view shows
    // is always one the start tick has already followed.
    const param_snapshot_t state = g.params.mipex_calibration_state.snapshot();
    return ViewOf(g.params, state, watcher.step(g, state, now_tick), now_tick);
}

uint32_t status_watcher_t::step(const G_t& g, const param_snapshot_t& s, uint32_t now_tick) {
    std::lock_guard<std::mutex> hold(step_lock_);
    if (g.poll_mode.load()) return start_tick_.load(std::memory_order_relaxed);
    const uint16_t current = s.is_read() ? s.u16() : previous_;
    if (!Running(current)) start_tick_.store(0, std::memory_order_relaxed);
    else if (!Running(previous_)) start_tick_.store(now_tick, std::memory_order_relaxed);
    previous_ = current;
    return start_tick_.load(std::memory_order_relaxed);
}

void status_watcher_t::step(const G_t& g, uint32_t now_tick) {
    step(g, g.params.mipex_calibration_state.snapshot(), now_tick);
}

ITask* PeriodicTask(G_t& g, std::shared_ptr<status_watcher_t> watcher) {
    G_t* app = &g;
    return make_task([app, watcher] { watcher->step(*app, plat::tick32()); });
}

start_outcome_t RunZeroCorrectionStart(G_t& g) {
    return RunStart(g, codes::kCalibrationPointZero, 0.0f, kZeroTexts);
}

start_outcome_t RunSpanStart(G_t& g, float concentration) {
    return RunStart(g, codes::kCalibrationPointSpan, concentration, kSpanTexts);
}

}  // namespace calibration

namespace device_modes {

void SwitchDacCalibration(G_t& g, bool on) {
    SendCommand(g, g.params.dac_calibration_mode, on ? codes::kModeOn : codes::kModeOff,
                ustring_t(on ? u"Включить настройку ЦАП" : u"Выключить настройку ЦАП"));
}

void SwitchCurrentTest(G_t& g, bool on) {
    SendCommand(g, g.params.dac_test_enabled, on ? codes::kModeOn : codes::kModeOff,
                ustring_t(on ? u"Включить тест ЦАП" : u"Выключить тест ЦАП"));
}

void SwitchOutputsTest(G_t& g, bool on) {
    SendCommand(g, g.params.dout_test_enabled, on ? codes::kModeOn : codes::kModeOff,
                ustring_t(on ? u"Включить тест дискретных выходов" : u"Выключить тест дискретных выходов"));
}

}  // namespace device_modes
