// The 4-20 mA calibration window against the simulated detector: stored codes
// cut to integers (and a corrupt one shown empty), the mode switch, the code
// field and the bar in step with what reaches the line, the keys, remember,
// cancel and the two save sequences in order.
#include <cmath>
#include <limits>

#include "calibration_windows_fixture.h"
#include "windows/dac_window.h"

using namespace calib_test;

namespace {

class DacWindow : public CalibrationWindowTest {};

}  // namespace

TEST(DacStoredCode, CutTowardsZeroAndNothingForNoNumber) {
    EXPECT_EQ(StoredCodeValue(812.9f), 812);
    EXPECT_EQ(StoredCodeValue(-3.7f), -3);
    EXPECT_EQ(StoredCodeValue(std::numeric_limits<float>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(StoredCodeValue(std::numeric_limits<float>::infinity()), std::nullopt);
    EXPECT_EQ(StoredCodeValue(1e30f), std::nullopt);
    EXPECT_EQ(StoredCodeValue(-1e30f), std::nullopt);
}

TEST_F(DacWindow, StoredCodesAndEnabledStatesFromPublishedValues) {
    StartDevice({}, /*poll=*/false);
    InShownWindow<GDacCalibration>([&](GDacCalibration& w) {
        Present(2);
        Set(G_.params.dac_code_4ma, FloatBits(812.9f));
        Set(G_.params.dac_code_20ma, 0x7FC00000u);  // not a number
        w.Refresh();
        EXPECT_FALSE(w.bt_toggle_.IsEnabled()) << "DAC calibration mode never read";
        EXPECT_EQ(U8(w.bt_toggle_.Caption()), "Включить настройку ЦАП");
        EXPECT_EQ(U8(w.real_code_min_.Text()), "812");
        EXPECT_EQ(U8(w.code_min_.Text()), "812");
        EXPECT_EQ(U8(w.real_code_max_.Text()), "");
        EXPECT_EQ(U8(w.code_max_.Text()), "");
        EXPECT_FALSE(w.code_.table.IsEnabled());
        EXPECT_FALSE(w.bt_save_.IsEnabled());
        EXPECT_FALSE(w.bt_cancel_.IsEnabled());

        // The mode on with a code the field cannot hold: the table stays shut
        // until the device reports one it can.
        Set(G_.params.dac_calibration_mode, 1);
        Set(G_.params.dac_code, 5000);
        w.Refresh();
        EXPECT_TRUE(w.bt_toggle_.IsEnabled());
        EXPECT_EQ(U8(w.bt_toggle_.Caption()), "Отключить настройку ЦАП");
        EXPECT_FALSE(w.code_.table.IsEnabled());
        Set(G_.params.dac_code, 1234);
        w.Refresh();
        EXPECT_TRUE(w.code_.table.IsEnabled());
        EXPECT_EQ(w.code_.field.Value(), 1234);
        EXPECT_EQ(w.code_.bar.Position(), 1234);
        EXPECT_TRUE(w.bt_remember_min_.IsEnabled());

        Present(1);  // the console holds the mode
        w.Refresh();
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible());
        EXPECT_FALSE(w.bt_toggle_.IsEnabled());
        EXPECT_FALSE(w.code_.table.IsEnabled());
    });
}

TEST_F(DacWindow, CalibrateRememberCancelAndSaveAgainstTheDevice) {
    StartDevice();
    InShownWindow<GDacCalibration>([&](GDacCalibration& w) {
        ASSERT_TRUE(WaitConnected(0));
        w.Refresh();
        Press(w.bt_ss_enable_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_toggle_.IsEnabled(); }));
        size_t from = RequestCount();
        Press(w.bt_toggle_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.table.IsEnabled(); }));
        EXPECT_EQ(Exchanges(from), (std::vector<std::string>{"W50190=20", "R50276x1", "W50186=1"}));
        EXPECT_EQ(texts_.status.back(), "Команда \"Включить настройку ЦАП\" отправлена");

        // Typing a code moves the bar and the device follows; 5000 is refused.
        w.code_.field.Enter(800);
        EXPECT_EQ(w.code_.bar.Position(), 800);
        ASSERT_TRUE(Until([&] { return DeviceRegister(50187) == 800; }));
        w.code_.field.Enter(5000);
        EXPECT_EQ(w.code_.field.Value(), 800);
        EXPECT_EQ(w.code_.bar.Position(), 800);

        // The field's keys: Page Up raises by the bar's large step, Home goes
        // to the maximum, End to the minimum, Up one step.
        w.CodeKey(&w.code_.field, {UIK::kKeyPageUp, 0});
        EXPECT_EQ(w.code_.bar.Position(), 800 + w.code_.bar.LargeStep());
        EXPECT_EQ(w.code_.field.Value(), w.code_.bar.Position());
        w.CodeKey(&w.code_.field, {UIK::kKeyHome, 0});
        EXPECT_EQ(w.code_.bar.Position(), 4095);
        w.CodeKey(&w.code_.field, {UIK::kKeyEnd, 0});
        EXPECT_EQ(w.code_.bar.Position(), 0);
        w.CodeKey(&w.code_.field, {UIK::kKeyUp, 0});
        EXPECT_EQ(w.code_.bar.Position(), 1);

        // A drag: only the latest position needs to reach the device.
        from = RequestCount();
        for (int64_t p = 100; p <= 3990; p += 10) w.code_.bar.SetPosition(p);
        ASSERT_TRUE(Until([&] { return DeviceRegister(50187) == 3990; }));
        size_t code_writes = 0;
        for (const std::string& r : Exchanges(from)) code_writes += r.rfind("W50187=", 0) == 0;
        EXPECT_LT(code_writes, 10u) << "a drag of 390 positions is merged";

        // Remember for 20 mA, then twice for 4 mA: the second code stays.
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.reported.Value() == 3990; }));
        Press(w.bt_remember_max_);
        w.code_.bar.SetPosition(790);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.reported.Value() == 790; }));
        Press(w.bt_remember_min_);
        w.code_.bar.SetPosition(800);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.reported.Value() == 800; }));
        Press(w.bt_remember_min_);
        w.Refresh();
        EXPECT_EQ(U8(w.code_min_.Text()), "800");
        EXPECT_EQ(U8(w.code_max_.Text()), "3990");
        EXPECT_EQ(U8(w.real_code_min_.Text()), "812") << "the stored code is unchanged until saved";
        EXPECT_TRUE(w.bt_save_.IsEnabled());

        // Cancel: the stored codes come back into the remembered column.
        Press(w.bt_cancel_);
        EXPECT_EQ(U8(w.code_min_.Text()), "812");
        EXPECT_EQ(U8(w.code_max_.Text()), "3980");
        EXPECT_FALSE(w.bt_save_.IsEnabled());

        // Remember both again and save: two complete sequences, 4 mA first.
        Press(w.bt_remember_min_);
        w.code_.bar.SetPosition(3990);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.reported.Value() == 3990; }));
        Press(w.bt_remember_max_);
        from = RequestCount();
        const size_t statuses = texts_.status.size();
        Press(w.bt_save_);
        EXPECT_FALSE(w.RememberedLow());
        EXPECT_FALSE(w.RememberedHigh());
        // The saved codes stay on the screen until the poll reads them back.
        w.Refresh();
        EXPECT_EQ(U8(w.code_min_.Text()), "800");
        EXPECT_EQ(U8(w.real_code_min_.Text()), "800");
        EXPECT_EQ(U8(w.code_max_.Text()), "3990");
        ASSERT_TRUE(Until([&] {
            size_t saves = 0;
            for (const std::string& r : Exchanges(from)) saves += r == "W50190=2";
            return saves == 2;
        }));
        std::vector<std::string> saves;
        for (const std::string& r : Exchanges(from))
            if (r.rfind("W50187", 0) != 0) saves.push_back(r);
        EXPECT_EQ(saves, (std::vector<std::string>{"W50240=" + FloatWords(800.0f), "W50190=2",
                                                   "W50242=" + FloatWords(3990.0f), "W50190=2"}));
        ASSERT_TRUE(Until([&] { return texts_.status.size() >= statuses + 6; }));
        EXPECT_EQ(texts_.status[statuses + 2], "Параметр \"Код ЦАП 4 мА\" установлен\nНастройки сохранены");
        EXPECT_EQ(texts_.status[statuses + 5], "Параметр \"Код ЦАП 20 мА\" установлен\nНастройки сохранены");
        ASSERT_TRUE(RefreshUntil(w, [&] { return U8(w.real_code_min_.Text()) == "800"; }));
        EXPECT_EQ(U8(w.real_code_max_.Text()), "3990");
        EXPECT_EQ(U8(w.code_min_.Text()), "800");

        // Off again through the command.
        Press(w.bt_toggle_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return !w.code_.table.IsEnabled(); }));
        EXPECT_EQ(DeviceRegister(50186), 0);
        EXPECT_TRUE(texts_.errors.empty()) << texts_.errors.front();
    });
}

// DAC calibration mode switched on: the field and the bar take the device's
// code before any input can move them, so two wheel notches go from there
// and never from a code left in the bar.
TEST_F(DacWindow, TheCodeStartsFromTheDeviceWhenTheModeTurnsOn) {
    StartDevice(HeldBy(2));
    ASSERT_TRUE(sim_->set_register(1, 50187, 3990));
    InShownWindow<GDacCalibration>([&](GDacCalibration& w) {
        ASSERT_TRUE(WaitConnected(2));
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_toggle_.IsEnabled(); }));
        EXPECT_EQ(w.code_.bar.Position(), 0);
        const size_t from = RequestCount();
        Press(w.bt_toggle_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.table.IsEnabled(); }));
        EXPECT_EQ(w.code_.field.Value(), 3990);
        EXPECT_EQ(w.code_.bar.Position(), 3990);
        EXPECT_EQ(w.code_.reported.Value(), 3990);

        UIK::GMouseEvent wheel;
        wheel.wheel = 2;  // away from the user: towards the minimum
        w.code_.reported.HandleMouseWheel(wheel);
        EXPECT_EQ(w.code_.bar.Position(), 3988);
        ASSERT_TRUE(Until([&] { return DeviceRegister(50187) == 3988; }));
        std::vector<std::string> writes;
        for (const std::string& r : Exchanges(from))
            if (r.rfind("W50187=", 0) == 0) writes.push_back(r);
        EXPECT_EQ(writes, std::vector<std::string>{"W50187=3988"});
    });
}
