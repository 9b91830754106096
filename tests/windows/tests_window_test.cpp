// The output tests window against the simulated detector: the current test
// with its field, bar and keys (the opposite sense to the 4-20 mA window), and
// the discrete outputs led by the check boxes.
#include "calibration_windows_fixture.h"
#include "windows/tests_window.h"

using namespace calib_test;

namespace {
class TestsWindow : public CalibrationWindowTest {};
}  // namespace

TEST_F(TestsWindow, EnabledStatesFromPublishedValues) {
    StartDevice({}, /*poll=*/false);
    InShownWindow<GTests>([&](GTests& w) {
        Present(0);
        w.Refresh();
        EXPECT_TRUE(w.bt_ss_enable_.IsVisible());
        EXPECT_FALSE(w.bt_toggle_.IsEnabled());
        EXPECT_FALSE(w.bt_toggle2_.IsEnabled());
        Present(2);
        w.Refresh();
        EXPECT_FALSE(w.bt_toggle_.IsEnabled()) << "50180 never read";
        Set(G_.params.dac_test_enabled, 1);
        Set(G_.params.dac_test_value, 7);
        Set(G_.params.dout_test_enabled, 0);
        w.Refresh();
        EXPECT_EQ(U8(w.bt_toggle_.Caption()), "Отключить тест");
        EXPECT_EQ(U8(w.bt_toggle2_.Caption()), "Включить");
        EXPECT_TRUE(w.code_.table.IsEnabled());
        EXPECT_FALSE(w.table2_.IsEnabled());
        EXPECT_EQ(w.code_.reported.Value(), 7);
        // Test off: the table is disabled and keeps the last current read.
        Set(G_.params.dac_test_enabled, 0);
        Set(G_.params.dac_test_value, 3);
        w.Refresh();
        EXPECT_FALSE(w.code_.table.IsEnabled());
        EXPECT_EQ(U8(w.bt_toggle_.Caption()), "Включить тест");
        EXPECT_EQ(U8(w.code_.reported.Text()), "7");
    });
}

TEST_F(TestsWindow, CurrentAndDiscreteTestsAgainstTheDevice) {
    StartDevice(HeldBy(2));
    InShownWindow<GTests>([&](GTests& w) {
        ASSERT_TRUE(WaitConnected(2));
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_toggle_.IsEnabled(); }));
        size_t from = RequestCount();
        Press(w.bt_toggle_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.table.IsEnabled(); }));
        EXPECT_EQ(Exchanges(from), (std::vector<std::string>{"W50190=20", "R50276x1", "W50180=1"}));

        // Typed on the keypad, 30 mA and a fraction are refused, never cut.
        for (const char* typed : {"<<30", "<<19.9"}) {
            EXPECT_EQ(U8(win_test::TypeInto(w.code_.field, typed)), "Недопустимое значение.\nДопустимо от 0 до 24");
            EXPECT_EQ(w.code_.bar.Position(), 0);
        }
        w.code_.field.Enter(30);
        EXPECT_EQ(w.code_.bar.Position(), 0) << "30 mA is refused";
        w.code_.field.Enter(12);
        EXPECT_EQ(w.code_.bar.Position(), 12);
        ASSERT_TRUE(Until([&] { return DeviceRegister(50181) == 12; }));
        double ma = 0;
        ASSERT_TRUE(sim_->output_current(1, ma));
        EXPECT_DOUBLE_EQ(ma, 12.0);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.reported.Value() == 12; }));

        // Page Up lowers by 4 mA, End goes to 24, Home to 0, Right one up.
        w.TableKey(&w.code_.table, {UIK::kKeyPageUp, 0});
        EXPECT_EQ(w.code_.bar.Position(), 8);
        EXPECT_EQ(w.code_.field.Value(), 8);
        ASSERT_TRUE(Until([&] { return DeviceRegister(50181) == 8; }));
        w.TableKey(&w.code_.table, {UIK::kKeyEnd, 0});
        EXPECT_EQ(w.code_.bar.Position(), 24);
        w.TableKey(&w.code_.table, {UIK::kKeyHome, 0});
        EXPECT_EQ(w.code_.bar.Position(), 0);
        w.TableKey(&w.code_.table, {UIK::kKeyRight, 0});
        EXPECT_EQ(w.code_.bar.Position(), 1);

        // Discrete outputs: a tick reaches the device at the next refresh.
        Press(w.bt_toggle2_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.table2_.IsEnabled(); }));
        w.dout_2_.SetChecked(true);
        w.Refresh();
        ASSERT_TRUE(Until([&] { return DeviceRegister(50185) == 2; }));
        w.dout_1_.SetChecked(true);
        w.Refresh();
        ASSERT_TRUE(Until([&] { return DeviceRegister(50185) == 3; }));
        // A pattern set on the device by someone else is overwritten.
        sim_->set_register(1, 50185, 4);
        ASSERT_TRUE(RefreshUntil(w, [&] { return DeviceRegister(50185) == 3; }));
        EXPECT_TRUE(w.dout_1_.IsChecked());
        EXPECT_TRUE(w.dout_2_.IsChecked());
        EXPECT_FALSE(w.dout_fail_.IsChecked());

        // Both tests off again.
        Press(w.bt_toggle_);
        Press(w.bt_toggle2_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return !w.code_.table.IsEnabled() && !w.table2_.IsEnabled(); }));
        EXPECT_EQ(DeviceRegister(50180), 0);
        EXPECT_EQ(DeviceRegister(50184), 0);
        EXPECT_TRUE(texts_.errors.empty()) << texts_.errors.front();
    });
}

// A test switched on again starts from what the device holds: the ticks and
// the current of the earlier test are never sent; the user's next move is.
TEST_F(TestsWindow, ATestSwitchedOnStartsFromTheDeviceNotFromEarlierTicks) {
    StartDevice(HeldBy(2));
    InShownWindow<GTests>([&](GTests& w) {
        ASSERT_TRUE(WaitConnected(2));
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_toggle_.IsEnabled() && w.bt_toggle2_.IsEnabled(); }));
        Press(w.bt_toggle_);
        Press(w.bt_toggle2_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.table.IsEnabled() && w.table2_.IsEnabled(); }));
        w.code_.field.Enter(19);
        for (UIK::GCheckBoxCaptioned* c : {&w.dout_1_, &w.dout_2_, &w.dout_fail_}) c->SetChecked(true);
        w.Refresh();
        ASSERT_TRUE(Until([&] { return DeviceRegister(50185) == 7 && DeviceRegister(50181) == 19; }));
        Press(w.bt_toggle_);
        Press(w.bt_toggle2_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return !w.code_.table.IsEnabled() && !w.table2_.IsEnabled(); }));

        // Meanwhile the device came to hold other values (another session).
        ASSERT_TRUE(sim_->set_register(1, 50185, 5));
        ASSERT_TRUE(sim_->set_register(1, 50181, 9));
        const size_t from = RequestCount();
        Press(w.bt_toggle_);
        Press(w.bt_toggle2_);
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.code_.table.IsEnabled() && w.table2_.IsEnabled(); }));
        EXPECT_TRUE(w.dout_1_.IsChecked());
        EXPECT_FALSE(w.dout_2_.IsChecked());
        EXPECT_TRUE(w.dout_fail_.IsChecked());
        EXPECT_EQ(w.code_.field.Value(), 9);
        EXPECT_EQ(w.code_.bar.Position(), 9);
        EXPECT_EQ(w.code_.reported.Value(), 9);
        const uint64_t cycles = link_->completed_cycles();
        ASSERT_TRUE(RefreshUntil(w, [&] { return link_->completed_cycles() >= cycles + 2; }));
        EXPECT_EQ(Exchanges(from), (std::vector<std::string>{"W50190=20", "R50276x1", "W50180=1", "W50190=20",
                                                             "R50276x1", "W50184=1"}))
            << "nothing but the two switches";
        EXPECT_EQ(DeviceRegister(50185), 5);
        EXPECT_EQ(DeviceRegister(50181), 9);

        // From there the user leads again.
        w.dout_2_.SetChecked(true);
        w.Refresh();
        ASSERT_TRUE(Until([&] { return DeviceRegister(50185) == 7; }));
        w.TableKey(&w.code_.table, {UIK::kKeyRight, 0});
        ASSERT_TRUE(Until([&] { return DeviceRegister(50181) == 10; }));
    });
}
