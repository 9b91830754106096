// The sensor calibration window against the simulated detector: the
// concentration filter, the enabled states by adjustment mode, the state
// texts, a zero correction from the button to the device's final state with
// the exact order of requests on the line, a failing span and an abort.
#include <algorithm>
#include <functional>
#include <cmath>

#include "calibration_windows_fixture.h"
#include "model/codes.h"
#include "windows/calibration_window.h"
#include "procedures/device_procedures.h"
#include "windows/dac_window.h"
#include "windows/tests_window.h"

using namespace calib_test;

namespace {

class CalibrationWindow : public CalibrationWindowTest {};

}  // namespace

TEST(CalibrationState, TextsFollowTheConcentrationRegisterAndCountSeconds) {
    ParamMap_t m;
    auto text = [&](uint32_t start, uint32_t now) { return text::utf8(calibration::StateView(m, start, now).text); };
    EXPECT_EQ(text(0, 0), "");  // nothing read
    m.mipex_calibration_state.publish(3, 1);
    EXPECT_EQ(text(0, 0), "---") << "finished, concentration never read";
    m.mipex_calibration_state.publish(2, 1);
    EXPECT_EQ(text(0, 0), "");
    EXPECT_TRUE(calibration::StateView(m, 0, 0).running);

    m.calibration_gas_concentration.publish(FloatBits(0.0f), 1);
    EXPECT_EQ(text(0, 5000), "Производится корректировка нуля") << "no start tick: no seconds";
    // The tick wraps at 32 bits; the difference still counts forward.
    EXPECT_EQ(text(0xFFFFFF00u, 1300), "Производится корректировка нуля\nПрошло: 1.6 с");
    m.calibration_gas_concentration.publish(FloatBits(12.5f), 1);
    EXPECT_EQ(text(1000, 3500), "Производится настройка МИПЕКС по ПГС\nПрошло: 2.5 с");
    m.mipex_calibration_state.publish(9, 1);
    EXPECT_EQ(text(1000, 3500), "Настройка МИПЕКС по ПГС прекращена пользователем");
    EXPECT_FALSE(calibration::StateView(m, 0, 0).running);
    m.mipex_calibration_state.publish(7, 1);
    EXPECT_EQ(text(0, 0), "Ошибка.\nНет ответа от датчика");
    m.mipex_calibration_state.publish(10, 1);
    EXPECT_EQ(text(0, 0), "");
    // A concentration that is no number is neither zero nor span.
    m.calibration_gas_concentration.publish(0x7FC00000u, 1);
    m.mipex_calibration_state.publish(3, 1);
    EXPECT_EQ(text(0, 0), "---");
}

TEST(CalibrationState, ConcentrationFilter) {
    EXPECT_DOUBLE_EQ(calibration::FilterConcentration(0), 0.01);
    EXPECT_DOUBLE_EQ(calibration::FilterConcentration(150), 100);
    EXPECT_DOUBLE_EQ(calibration::FilterConcentration(12.346), 12.35);
    EXPECT_DOUBLE_EQ(calibration::FilterConcentration(-3), 0.01);
    EXPECT_DOUBLE_EQ(calibration::FilterConcentration(std::nan("")), 0.01);
}

TEST_F(CalibrationWindow, FieldFilterStoresAndRefusesZero) {
    StartDevice({}, /*poll=*/false);
    InShownWindow<GCalibration>([&](GCalibration& w) {
        Present(2);
        w.Refresh();
        auto& field = w.calibration_gas_concentration_;
        ASSERT_TRUE(field.IsUsable());
        field.Enter(0);
        EXPECT_DOUBLE_EQ(G_.calibration_gas_concentration, 0.01);
        field.Enter(150);
        EXPECT_DOUBLE_EQ(G_.calibration_gas_concentration, 100);
        field.Enter(12.346);
        EXPECT_DOUBLE_EQ(G_.calibration_gas_concentration, 12.35);
        w.Refresh();
        EXPECT_EQ(U8(field.Text()), "Концентрация\n12.350 %");
        // The refresh setting the field does not store (nor filter) anything.
        G_.calibration_gas_concentration = 0.004;
        w.Refresh();
        EXPECT_DOUBLE_EQ(G_.calibration_gas_concentration, 0.004);

        // A span at a zero concentration is refused with the message; nothing is queued.
        G_.calibration_gas_concentration = 0;
        Press(w.bt_gas_is_on_);
        ASSERT_TRUE(Until([&] { return !texts_.errors.empty(); }));
        EXPECT_EQ(texts_.errors.back(),
                  "При нулевой концентрации будет произведена коррекция нуля, а не настройка второй точки");
        EXPECT_TRUE(w.bt_gas_is_on_.IsEnabled());
        EXPECT_EQ(link_->worker1().QueuedCount(), 0u);
    });
}

TEST_F(CalibrationWindow, EnabledStatesByAdjustmentModeAndState) {
    StartDevice({}, /*poll=*/false);
    InShownWindow<GCalibration>([&](GCalibration& w) {
        w.Refresh();
        EXPECT_FALSE(w.IsEnabled()) << "not connected";

        Present(0);  // adjustment mode off
        w.Refresh();
        EXPECT_TRUE(w.IsEnabled());
        EXPECT_TRUE(w.bt_ss_enable_.IsVisible());
        for (UIK::GControl* c : std::initializer_list<UIK::GControl*>{
                 &w.bt_air_is_on_, &w.bt_gas_is_on_, &w.calibration_gas_concentration_, &w.bt_cancel_})
            EXPECT_FALSE(c->IsEnabled()) << U8(c->Name());

        Present(3);  // held by HART
        w.Refresh();
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible());
        EXPECT_FALSE(w.bt_air_is_on_.IsEnabled());
        EXPECT_FALSE(w.bt_gas_is_on_.IsEnabled());
        EXPECT_FALSE(w.calibration_gas_concentration_.IsEnabled());

        // Zero correction in progress: the air frame stays, the gas frame is
        // disabled, only the abort is usable.
        Present(2);
        Set(G_.params.calibration_gas_concentration, FloatBits(0.0f));
        Set(G_.params.mipex_calibration_state, 2);
        w.Refresh();
        EXPECT_TRUE(w.fr_air_.IsEnabled());
        EXPECT_FALSE(w.fr_gas_.IsEnabled());
        EXPECT_FALSE(w.bt_air_is_on_.IsEnabled());
        EXPECT_TRUE(w.bt_cancel_.IsEnabled());
        EXPECT_EQ(U8(w.lb_finished_.Text()).rfind("Производится корректировка нуля", 0), 0u);

        // Finished with the concentration never read.
        G_.params.calibration_gas_concentration.invalidate();
        Set(G_.params.mipex_calibration_state, 3);
        w.Refresh();
        EXPECT_EQ(U8(w.lb_finished_.Text()), "---");
        EXPECT_TRUE(w.bt_air_is_on_.IsEnabled());
        EXPECT_FALSE(w.bt_cancel_.IsEnabled());
    });
}

TEST_F(CalibrationWindow, ZeroCorrectionRunsToTheEndInTheOrderOfTheLine) {
    sim::Options_t o;
    o.calibration_ms = 4000;
    StartDevice(o);
    InShownWindow<GCalibration>([&](GCalibration& w) {
        ASSERT_TRUE(WaitConnected(0));
        w.Refresh();
        Press(w.bt_ss_enable_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_air_is_on_.IsEnabled(); }));
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible());

        const size_t from = RequestCount();
        Press(w.bt_air_is_on_);
        EXPECT_FALSE(w.bt_air_is_on_.IsEnabled());
        ASSERT_TRUE(Until([&] { return Seen("W50191=1", from); }));
        const std::vector<std::string> expected{"W50221=0,0", "R50221x2", "W3005=0", "W50190=20", "R50276x1",
                                                "W50191=1"};
        EXPECT_EQ(Exchanges(from), expected);

        ASSERT_TRUE(RefreshUntil(w, [&] {
            return U8(w.lb_finished_.Text()).rfind("Производится корректировка нуля\nПрошло: ", 0) == 0;
        })) << U8(w.lb_finished_.Text());
        EXPECT_NE(w.StartTick(), 0u);
        EXPECT_TRUE(w.bt_cancel_.IsEnabled());
        EXPECT_FALSE(w.fr_gas_.IsEnabled());
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return U8(w.lb_finished_.Text()) == "Корректировка нуля завершена успешно";
        })) << U8(w.lb_finished_.Text());
        EXPECT_EQ(w.StartTick(), 0u);
        EXPECT_TRUE(w.bt_air_is_on_.IsEnabled());
        EXPECT_TRUE(texts_.errors.empty()) << texts_.errors.front();
        EXPECT_EQ(texts_.status.back(), "Команда \"Запуск настройки МИПЕКС\" отправлена");
    });
}

TEST_F(CalibrationWindow, SpanEndsInTheForcedErrorThenAnAbortStopsTheNext) {
    sim::Options_t o = HeldBy(2);
    o.calibration_ms = 4000;
    o.calibration_error = 5;
    StartDevice(o);
    InShownWindow<GCalibration>([&](GCalibration& w) {
        ASSERT_TRUE(WaitConnected(2));
        G_.calibration_gas_concentration = 12.35;
        w.Refresh();
        size_t from = RequestCount();
        Press(w.bt_gas_is_on_);
        ASSERT_TRUE(Until([&] { return Seen("W50191=1", from); }));
        const std::vector<std::string> seen = Exchanges(from);
        ASSERT_GE(seen.size(), 3u);
        const std::vector<std::string> head(seen.begin(), seen.begin() + 3);
        EXPECT_EQ(head, (std::vector<std::string>{"W50221=" + FloatWords(12.35f), "R50221x2", "W3005=1"}));
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return U8(w.lb_finished_.Text()) == "Ошибка.\nКонцентрация меняется слишком быстро";
        })) << U8(w.lb_finished_.Text());
        // The failure is red, in the label and on the message panel.
        EXPECT_EQ(w.lb_finished_.BackColor(), GCalibration::kFailureColor);
        ASSERT_TRUE(Until([&] { return !texts_.errors.empty(); }));
        EXPECT_EQ(texts_.errors.back(), "Настройка не удалась.\nОшибка.\nКонцентрация меняется слишком быстро");

        // The next span runs until the user aborts it: long enough that the
        // abort, sent with a poll cycle, always finds it running.
        ASSERT_TRUE(sim_->with_device(1, [](sim::Device_t& d) { d.set_calibration_time(std::chrono::minutes(10)); }));
        from = RequestCount();
        Press(w.bt_gas_is_on_);
        // The device's start state lasts half a second, which a poll turn on
        // a loaded machine may not see: the running state it always does.
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return w.bt_cancel_.IsEnabled() &&
                   U8(w.lb_finished_.Text()).rfind("Производится настройка МИПЕКС по ПГС\nПрошло: ", 0) == 0;
        })) << U8(w.lb_finished_.Text());
        Press(w.bt_cancel_);
        // At once, before the poll cycle sends it: the abort is on its way.
        EXPECT_EQ(U8(w.lb_finished_.Text()), U8(GCalibration::kAbortingText));
        EXPECT_FALSE(w.bt_cancel_.IsEnabled());
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return U8(w.lb_finished_.Text()) == "Настройка МИПЕКС по ПГС прекращена пользователем";
        })) << U8(w.lb_finished_.Text());
        EXPECT_TRUE(Seen("W50191=0", from));
        EXPECT_EQ(DeviceRegister(50192), 9);
        EXPECT_NE(w.lb_finished_.BackColor(), GCalibration::kFailureColor);
    });
}

TEST_F(CalibrationWindow, RefusedStartShowsItsMessageAndGoesNoFurther) {
    StartDevice(HeldBy(1));  // the console holds the mode: the device refuses the writes
    InLoop([&] {
        ASSERT_TRUE(WaitConnected(1));
        const size_t from = RequestCount();
        G_.post_to_worker1(make_task([] { calibration::RunZeroCorrectionStart(G_); }));
        ASSERT_TRUE(Until([&] { return !texts_.errors.empty(); }));
        EXPECT_EQ(texts_.errors[0].rfind("Не удалось запустить корректировку нуля\n(Modbus-протокол. ", 0), 0u)
            << texts_.errors[0];
        EXPECT_EQ(Exchanges(from), std::vector<std::string>{"W50221=0,0"});
    });
}

namespace {

// Names of the controls under root that take the focus but are not in the
// form's Tab order.
std::vector<std::string> MissingFromTabOrder(const UIK::GBaseForm& form, const UIK::GControl& root) {
    std::vector<std::string> missing;
    const auto& order = form.TabOrder();
    std::function<void(const UIK::GControl&)> walk = [&](const UIK::GControl& c) {
        if (c.AcceptsFocus() && std::find(order.begin(), order.end(), &c) == order.end())
            missing.push_back(U8(c.Name()));
        for (const UIK::GControl* child : c.Children()) walk(*child);
    };
    walk(root);
    return missing;
}

}  // namespace

TEST_F(CalibrationWindow, EveryInputControlIsInTheTabOrder) {
    StartDevice({}, /*poll=*/false);
    InLoop([&] {
        GForm_T<GCalibration> calibration(G_);
        GForm_T<GDacCalibration> dac(G_);
        GForm_T<GTests> tests(G_);
        EXPECT_EQ(MissingFromTabOrder(calibration, calibration.Window()), std::vector<std::string>{});
        EXPECT_EQ(MissingFromTabOrder(dac, dac.Window()), std::vector<std::string>{});
        EXPECT_EQ(MissingFromTabOrder(tests, tests.Window()), std::vector<std::string>{});
        EXPECT_FALSE(calibration.TabOrder().empty());
    });
}
