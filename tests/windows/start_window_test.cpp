// The main device window's refresh against the application state: values are
// published by the test (the poll cycle is stopped), the port is really open
// on a pseudo-terminal with a detector that does not answer.
#include <bit>
#include <set>
#include <string_view>

#include "fixture.h"
#include "model/codes.h"
#include "platform/time.h"
#include "windows/thresholds_window.h"

using namespace win_test;

namespace {

class StartWindowTest : public WindowTest {
protected:
    void SetUp() override {
        sim::Options_t o;
        o.silent = true;
        Build(o, /*poll=*/false);
        ASSERT_TRUE(OpenPort());
    }

    // A device that has answered: its type and the usual values read.
    void Present() {
        ParamMap_t& p = G_.params;
        Set(p.device_type, 1);
        Set(p.factory_serial_id, 123456);
        Set(p.firmware_ver_major, 123);
        Set(p.concentration, std::bit_cast<uint32_t>(12.34f));
        Set(p.ModbusSettings_Id, 5);
        Set(p.ModbusSettings_Baud, 4);
        Set(p.Threshold_Warn, 0x1234);
        Set(p.Threshold_Alarm, 50);
        Set(p.status_flags, 0);
        Set(p.adjustment_mode_owner, 0);
    }

    // Refreshes until the blink phase is as wanted.
    void RefreshTo(bool blink_on) {
        for (int i = 0; i < 12; ++i) {
            S().Refresh();
            if (S().BlinkOn() == blink_on) return;
        }
        FAIL() << "blink phase never reached";
    }

    std::vector<UIK::GControl*> ActionButtons() {
        GStart& s = S();
        return {&s.bt_uplevel_connection_, &s.bt_reset_alarm_block_, &s.bt_select_gas_, &s.bt_thresholds_,
                &s.bt_tests_,              &s.bt_journals_,          &s.bt_datetime_,   &s.bt_dac_calibration_,
                &s.bt_calibration_,        &s.bt_alarms_};
    }
};

TEST_F(StartWindowTest, OpenPortWithSilentDeviceShowsTheEmptyLook) {
    GStart& s = S();
    s.Refresh();
    s.Sudo().Refresh();
    EXPECT_EQ(U8(s.bt_connect_.Caption()), "Отключиться");
    EXPECT_EQ(U8(s.ico_reg_6002_.Text()), "-.-");
    EXPECT_EQ(U8(s.reg_1002_modbus_id_.Text()), "-");
    EXPECT_EQ(U8(s.reg_1003_speed_.Text()), "-");
    EXPECT_EQ(U8(s.reg_2000_threshold1_.Text()), "");
    EXPECT_EQ(U8(s.ico_reg_alarms_mask_.Text()), " ");
    EXPECT_EQ(U8(s.ico_reg_6004_mipex_type_.Text()), " - ");
    EXPECT_EQ(U8(s.bt_alarms_.Caption()), "Текущие аварии\nи предупреждения");
    for (UIK::GControl* f : {static_cast<UIK::GControl*>(&s.frame_modbus_id_), static_cast<UIK::GControl*>(&s.frame_factory_id_),
                             static_cast<UIK::GControl*>(&s.frame_mipex_type_)})
        EXPECT_FALSE(f->IsVisible()) << text::utf8(f->Name());
    for (UIK::GControl* b : ActionButtons()) EXPECT_FALSE(b->IsEnabled()) << text::utf8(b->Name());
    EXPECT_TRUE(s.bt_connect_.IsEnabled());
    EXPECT_TRUE(s.bt_connection_settings_.IsEnabled());
    EXPECT_FALSE(s.img_led_power_on_.IsVisible());
    EXPECT_FALSE(s.bt_wifi_.IsEnabled());
    EXPECT_EQ(U8(s.Sudo().Status().Text()), "Нет соединения");
    EXPECT_FALSE(s.Sudo().Toggle().IsEnabled());

    // Closed port with a port set, and with none.
    link_->close();
    s.Refresh();
    EXPECT_EQ(U8(s.bt_connect_.Caption()), "Подключиться\n(COM" + std::to_string(kCom) + " ID:1)");
    ConnectionSettings none = G_.connection_settings();
    none.port_settings.port = 0;
    G_.set_connection_settings(none);
    s.Refresh();
    EXPECT_EQ(U8(s.bt_connect_.Caption()), "Подключиться\n(порт не задан)");
}

TEST_F(StartWindowTest, PresentDeviceShowsItsValues) {
    Present();
    ParamMap_t& p = G_.params;
    Set(p.alarms_mask, 0b101);
    Set(p.warnings_mask, 0);
    Set(p.wifi_enabled, 1);
    Set(p.fail_lamp, 1);
    GStart& s = S();
    s.Refresh();
    EXPECT_EQ(U8(s.ico_reg_6002_.Text()), "12.3");
    EXPECT_EQ(U8(s.reg_1002_modbus_id_.Text()), "5");
    EXPECT_EQ(U8(s.reg_1003_speed_.Text()), "19200");
    EXPECT_EQ(U8(s.reg_1000_1001_version_.Text()), "12.3");
    EXPECT_EQ(U8(s.factory_id_.Text()), "123456");
    EXPECT_EQ(U8(s.reg_2000_threshold1_.Text()), "4660");  // the whole word 0x1234, not its low byte
    EXPECT_EQ(U8(s.reg_2001_threshold2_.Text()), "50");
    EXPECT_EQ(U8(s.bt_alarms_.Caption()), "Текущие аварии (2)\nи предупреждения (0)");
    EXPECT_EQ(U8(s.ico_reg_alarms_mask_.Text()), "2");
    EXPECT_EQ(U8(s.ico_reg_warnings_mask_.Text()), "0");
    EXPECT_TRUE(s.frame_version_.IsVisible());
    for (UIK::GControl* b : ActionButtons()) EXPECT_TRUE(b->IsEnabled()) << text::utf8(b->Name());
    EXPECT_TRUE(s.img_wifi_.IsVisible());
    EXPECT_TRUE(s.img_led_fail_status_.IsVisible());
    EXPECT_TRUE(s.img_led_power_on_.IsVisible());
    EXPECT_EQ(U8(s.bt_wifi_.Caption()), "Отключить WiFi");

    // A speed code past the table is named invalid; the gas text needs all three values.
    Set(p.ModbusSettings_Baud, 8);
    s.Refresh();
    EXPECT_EQ(U8(s.reg_1003_speed_.Text()), "недопустимый код скорости 8");
    Set(p.mipex_type, 3);
    Set(p.sensor_type, 0);
    Set(p.mipex_work_gas, 0);
    s.Refresh();
    EXPECT_EQ(s.ico_reg_6004_mipex_type_.Text(), codes::UnitText(3, 0, 0));
    EXPECT_EQ(s.reg_6004_mipex_type_.Text(), s.ico_reg_6004_mipex_type_.Text());
}

TEST_F(StartWindowTest, AdjustmentOwnerIndicatorAndStrip) {
    Present();
    GStart& s = S();
    // The owner as read: the indicator's text, the strip's, and whether the
    // strip's toggle may be pressed.
    auto owned_by = [&](uint16_t owner, const char* ico, const char* status, bool toggle) {
        Set(G_.params.adjustment_mode_owner, owner);
        s.Refresh();
        s.Sudo().Refresh();
        EXPECT_EQ(U8(s.ico_ss_status_.Text()), ico) << owner;
        EXPECT_EQ(U8(s.Sudo().Status().Text()), status) << owner;
        EXPECT_EQ(s.Sudo().Toggle().IsEnabled(), toggle) << owner;
    };
    owned_by(7, "UNKN", "Режим наладки уже включен для другого интерфейса", false);
    RefreshTo(true);
    EXPECT_TRUE(s.img_ss.IsVisible());
    EXPECT_TRUE(s.ico_ss_status_.IsVisible());
    RefreshTo(false);
    EXPECT_FALSE(s.img_ss.IsVisible());
    EXPECT_FALSE(s.ico_ss_status_.IsVisible());

    Set(G_.params.adjustment_mode_owner, 0);
    RefreshTo(true);
    s.Sudo().Refresh();
    EXPECT_FALSE(s.img_ss.IsVisible());
    EXPECT_FALSE(s.ico_ss_status_.IsVisible());
    EXPECT_EQ(U8(s.Sudo().Status().Text()), "Режим наладки отключен");
    EXPECT_EQ(U8(s.Sudo().Toggle().Caption()), "Включить режим наладки");
    EXPECT_TRUE(s.Sudo().Toggle().IsEnabled());

    owned_by(1, "CON", "Режим наладки уже включен для консоли", false);
    owned_by(2, "MB", "Режим наладки включен", true);
    EXPECT_EQ(U8(s.Sudo().Toggle().Caption()), "Отключить режим наладки");

    // An owner not read yet keeps the strip's text.
    G_.params.adjustment_mode_owner.invalidate();
    s.Sudo().Refresh();
    EXPECT_EQ(U8(s.Sudo().Status().Text()), "Режим наладки включен");
    EXPECT_FALSE(s.Sudo().Toggle().IsEnabled());
}

TEST_F(StartWindowTest, ThresholdsBlinkAndLampsFollowFlagsAndTests) {
    Present();
    GStart& s = S();
    Set(G_.params.status_flags, 0x40 | 0x200);
    int swapped = 0;
    for (int i = 0; i < 11; ++i) {
        s.Refresh();
        swapped += s.ThresholdColours(1).Swapped();
        EXPECT_EQ(s.ThresholdColours(1).Swapped(), s.BlinkOn());
        EXPECT_FALSE(s.ThresholdColours(2).Swapped());
        EXPECT_EQ(s.asterix_.IsVisible(), s.BlinkOn());
    }
    EXPECT_EQ(swapped, 9);  // nine ticks on, two off
    EXPECT_TRUE(s.ConcentrationColours().Swapped());
    RefreshTo(true);
    EXPECT_EQ(s.reg_2000_threshold1_.BackColor(), UIK::kColorText);  // colours exchanged
    EXPECT_TRUE(s.img_led_thresh1_.IsVisible());
    EXPECT_FALSE(s.img_led_thresh2_.IsVisible());

    // Someone holds adjustment mode: the threshold lamps stay dark.
    Set(G_.params.adjustment_mode_owner, 2);
    s.Refresh();
    EXPECT_FALSE(s.img_led_thresh1_.IsVisible());

    // The output test shows its own bits instead.
    Set(G_.params.dout_test_enabled, 1);
    Set(G_.params.dout_test_state, 2);
    s.Refresh();
    EXPECT_FALSE(s.img_led_thresh1_.IsVisible());
    EXPECT_TRUE(s.img_led_thresh2_.IsVisible());

    Set(G_.params.status_flags, 0);
    s.Refresh();
    EXPECT_FALSE(s.ConcentrationColours().Swapped());
    EXPECT_FALSE(s.ThresholdColours(1).Swapped());
}

TEST_F(StartWindowTest, StatusLineHidesTwoSecondsAfterItsLastText) {
    GStart& s = S();
    s.ShowStatusText(u"Отсылка команды \"X\"...", 10000);
    EXPECT_TRUE(s.status_bar_.IsVisible());
    s.Tick(11900);
    EXPECT_TRUE(s.status_bar_.IsVisible());
    s.ShowStatusText(u"Команда \"X\" отправлена", 11900);
    s.Tick(13000);
    EXPECT_TRUE(s.status_bar_.IsVisible());
    s.Tick(13901);
    EXPECT_FALSE(s.status_bar_.IsVisible());
    EXPECT_EQ(U8(s.status_bar_.Text()), "Команда \"X\" отправлена");
}

TEST_F(StartWindowTest, ReopeningWithinASecondPutsTheWindowBack) {
    GStart& s = S();
    form_->Show();
    auto& w = s.SubWindow<GThresholds>();
    const UIK::GRect first = w.Rect();
    s.OpenSubWindow(&w, &s.bt_thresholds_, 5000);
    ASSERT_TRUE(w.IsVisible());
    EXPECT_EQ(w.Owner(), form_.get());

    // Resized by the user; a second press within a second restores its size.
    w.Resize(first.width + 100, first.height + 50);
    s.OpenSubWindow(&w, &s.bt_thresholds_, 5500);
    EXPECT_EQ(w.Width(), first.width);
    EXPECT_EQ(w.Height(), first.height);

    // Later presses only flash it: the size stays.
    w.Resize(first.width + 100, first.height + 50);
    s.OpenSubWindow(&w, &s.bt_thresholds_, 7000);
    EXPECT_EQ(w.Width(), first.width + 100);

    // Escape hides the form; opening again shows it where it was.
    const UIK::GRect before = w.Rect();
    w.HandleFormKey({UIK::kKeyEscape, 0});
    EXPECT_FALSE(w.IsVisible());
    s.OpenSubWindow(&w, &s.bt_thresholds_, 9000);
    EXPECT_TRUE(w.IsVisible());
    EXPECT_EQ(w.Rect().left, before.left);
    w.Close();
    form_->Close();
}

TEST_F(StartWindowTest, EverySubWindowOpensByItsNameAndByItsControls) {
    GStart& s = S();
    form_->Show();
    const std::vector<std::string_view> names = GStart::SubWindowNames();
    ASSERT_EQ(names.size(), s.SubWindows().size());
    std::set<UIK::GForm*> distinct;
    for (std::string_view n : names) {
        UIK::GForm* f = s.FindSubWindow(n);
        ASSERT_NE(f, nullptr) << n;
        distinct.insert(f);
        ASSERT_FALSE(f->IsVisible()) << n;
        EXPECT_TRUE(s.OpenSubWindow(n, 1000));
        EXPECT_TRUE(f->IsVisible()) << n;
        EXPECT_EQ(f->Owner(), form_.get()) << n;
    }
    EXPECT_EQ(distinct.size(), names.size());
    EXPECT_FALSE(s.OpenSubWindow("bogus", 1000));
    EXPECT_EQ(s.FindSubWindow("bogus"), nullptr);
    s.CloseSubWindows();
    for (UIK::GForm* f : s.SubWindows()) EXPECT_FALSE(f->IsVisible()) << U8(f->Title());

    // Each button opens its own window; the alarm and threshold displays open
    // theirs on a left press only.
    std::vector<std::pair<UIK::GControl*, const char*>> buttons, presses;
    const std::span<const SubWindowRow> rows = SubWindowTable();
    for (size_t i = 0; i < rows.size(); ++i) {
        buttons.emplace_back(&s.WindowButton(i), rows[i].name);
        for (SubWindowRow::Control press : rows[i].presses)
            if (press) presses.emplace_back(&press(s), rows[i].name);
    }
    ASSERT_EQ(presses.size(), 3u);
    for (auto [button, name] : buttons) {
        button->OnClick(button);
        EXPECT_TRUE(s.FindSubWindow(name)->IsVisible()) << name;
        s.CloseSubWindows();
    }
    for (auto [control, name] : presses) {
        control->OnMouseDown(control, UIK::GMouseEvent{.button = 3});
        EXPECT_FALSE(s.FindSubWindow(name)->IsVisible()) << name;
        control->OnMouseDown(control, UIK::GMouseEvent{.button = 1});
        EXPECT_TRUE(s.FindSubWindow(name)->IsVisible()) << name;
        s.CloseSubWindows();
    }
    form_->Close();
}

TEST_F(StartWindowTest, ConnectWithoutPortAsksForOne) {
    GStart& s = S();
    link_->close();
    ConnectionSettings none = G_.connection_settings();
    none.port_settings.port = 0;
    G_.set_connection_settings(none);
    form_->Show();
    s.Connect();
    EXPECT_FALSE(link_->is_open());
    EXPECT_TRUE(M().MessageShown());
    EXPECT_EQ(U8(M().MessageLabel().Text()), "Не задан порт");
    EXPECT_EQ(M().MessageLabel().BackColor(), GStandardMainFrame2::kErrorColor);
    EXPECT_TRUE(s.ConnectionForm().IsVisible());
    s.ConnectionForm().Close();

    // With a port the button opens and closes the link, dropping stale values.
    none.port_settings.port = 1;
    G_.set_connection_settings(none);
    Set(G_.params.device_type, 1);
    s.Connect();
    EXPECT_TRUE(link_->is_open());
    EXPECT_FALSE(G_.params.device_type.is_read());
    Set(G_.params.device_type, 1);
    s.Connect();
    EXPECT_FALSE(link_->is_open());
    EXPECT_FALSE(G_.params.device_type.is_read());
    form_->Close();
}

TEST_F(StartWindowTest, WifiButtonIsHeldWhileItsCommandRuns) {
    Present();
    GStart& s = S();
    s.Refresh();
    ASSERT_TRUE(s.bt_wifi_.IsEnabled());
    s.ToggleWifi();
    EXPECT_EQ(U8(s.bt_wifi_.Caption()), "WiFi включается...");
    EXPECT_FALSE(s.bt_wifi_.IsEnabled());
    s.Refresh();  // held: the refresh leaves it alone
    EXPECT_EQ(U8(s.bt_wifi_.Caption()), "WiFi включается...");
    EXPECT_FALSE(s.bt_wifi_.IsEnabled());
    G_.hold(&s.bt_wifi_, 0, plat::tick32() - 10);  // the hold has run out
    s.Refresh();
    EXPECT_EQ(U8(s.bt_wifi_.Caption()), "Включить WiFi");
    EXPECT_TRUE(s.bt_wifi_.IsEnabled());
}

TEST(Poll55, ShownOnlyForProgramNamesWithTheMarker) {
    EXPECT_FALSE(GStart::ShowsPoll55("luma10"));
    EXPECT_FALSE(GStart::ShowsPoll55("qzv"));
    EXPECT_TRUE(GStart::ShowsPoll55("luma10qzv"));
    EXPECT_TRUE(GStart::ShowsPoll55("qzv1"));
    EXPECT_FALSE(GStart::ShowsPoll55("luma10QZV"));
}

}  // namespace
