// The thresholds window against the simulated detector: the values read by
// its own reader, the clamp of an entry, the write with the save command, and
// the table guarded by the adjustment mode.
#include "settings_fixture.h"
#include "sim/device.h"
#include "windows/thresholds_window.h"

using namespace settings_test;

namespace {

class ThresholdsWindow : public SettingsWindowTest {};

}  // namespace

TEST_F(ThresholdsWindow, ShowsTheDeviceValuesAndClampsAnEntryBeforeWritingIt) {
    start_open(HeldBy(2));
    InWindow<GThresholds>([&](auto& form, GThresholds& w) {
        EXPECT_EQ(text::utf8(form.Title()), "Пороги");
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return w.Threshold_Warn_.HasValue() && w.Threshold_Delta_.HasValue() && w.table_.IsEnabled();
        }));
        EXPECT_EQ(w.Threshold_Warn_.Value(), 20);
        EXPECT_EQ(w.Threshold_Alarm_.Value(), 50);
        EXPECT_EQ(w.Threshold_BDSafe_.Value(), 90);
        EXPECT_EQ(w.Threshold_Delta_.Value(), 2);
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible()) << "the mode is held, nothing to ask for";

        // 250 is written as 100, above "Порог 2": no order between them.
        w.Threshold_Warn_.Enter(250);
        EXPECT_EQ(w.Threshold_Warn_.Value(), 100);
        ASSERT_TRUE(wait_status("Параметр \"Порог 1\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kThresholdWarn), 100);
        EXPECT_TRUE(saw_status("Установка параметра \"Порог 1\"..."));

        w.Threshold_Delta_.Enter(-5);
        ASSERT_TRUE(wait_status("Параметр \"Гистерезис\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kThresholdDelta), 0);
        EXPECT_TRUE(texts_.errors.empty());
    });
}

TEST_F(ThresholdsWindow, ARefreshFromTheDeviceNeverWrites) {
    start_open(HeldBy(2));
    InWindow<GThresholds>([&](auto&, GThresholds& w) {
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.Threshold_Alarm_.Value() == 50; }));
        // The device changes by itself (its console, say): the window follows.
        ASSERT_TRUE(sim_->set_register(1, sim::reg::kThresholdAlarm, 61));
        ASSERT_TRUE(sim_->set_register(1, sim::reg::kThresholdSave, 7));
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return w.Threshold_Alarm_.Value() == 61 && w.Threshold_BDSafe_.Value() == 7;
        }));

        // Give a wrongly queued write time to show.
        poll_for([] { return false; }, 300);
        EXPECT_TRUE(texts_.status.empty()) << all_status();
        EXPECT_TRUE(texts_.errors.empty());
    });
}

TEST_F(ThresholdsWindow, TheTableFollowsWhoHoldsTheAdjustmentMode) {
    start_open(HeldBy(1));  // the console holds it
    InWindow<GThresholds>([&](auto&, GThresholds& w) {
        ASSERT_TRUE(RefreshUntil(w, [&] {
            return G_.params.adjustment_mode_owner.read_equals(1) && w.Threshold_Warn_.HasValue();
        }));
        EXPECT_FALSE(w.table_.IsEnabled());
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible());

        // Nobody holds it: the button asks for it, and the table opens.
        ASSERT_TRUE(sim_->set_owner(1, 0));
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.bt_ss_enable_.IsVisible(); }));
        EXPECT_FALSE(w.table_.IsEnabled());
        w.bt_ss_enable_.OnClick(&w.bt_ss_enable_);
        ASSERT_TRUE(wait_status("Режим наладки включен")) << all_status();
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.table_.IsEnabled(); }));
        EXPECT_FALSE(w.bt_ss_enable_.IsVisible());

        // Without a connection the table is disabled and keeps the last values.
        link_->close();
        G_.invalidate_all_parameters();
        w.Refresh();
        EXPECT_FALSE(w.table_.IsEnabled());
        EXPECT_EQ(w.Threshold_Warn_.Value(), 20);
    });
}

// Typed on the keypad, a fraction or a value past 0..100 is refused with the
// range and nothing is written; a whole number, however typed, is written.
TEST_F(ThresholdsWindow, TheKeypadRefusesAFractionInsteadOfCuttingIt) {
    start_open(HeldBy(2));
    InWindow<GThresholds>([&](auto& form, GThresholds& w) {
        form.Show();
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.Threshold_Warn_.Value() == 20 && w.table_.IsEnabled(); }));
        for (const char* typed : {"<<12.7", "<<250", "<<0.5"}) {
            SCOPED_TRACE(typed);
            EXPECT_EQ(U8(TypeInto(w.Threshold_Warn_, typed)), "Недопустимое значение.\nДопустимо от 0 до 100");
            EXPECT_EQ(w.Threshold_Warn_.Value(), 20);
        }
        EXPECT_TRUE(texts_.status.empty()) << "nothing written: " << all_status();
        EXPECT_TRUE(TypeInto(w.Threshold_Warn_, "<<1.5e1").empty());
        ASSERT_TRUE(wait_status("Параметр \"Порог 1\" установлен\nНастройки сохранены")) << all_status();
        EXPECT_EQ(reg(sim::reg::kThresholdWarn), 15);
    });
}

// A register past a byte shows as the device holds it, never wrapped.
TEST_F(ThresholdsWindow, ThresholdsPastAByteAreShownAsHeld) {
    // Set before the port opens, so that no read of the old values counts.
    start(HeldBy(2));
    ASSERT_TRUE(sim_->set_register(1, sim::reg::kThresholdWarn, 65535));
    ASSERT_TRUE(sim_->set_register(1, sim::reg::kThresholdAlarm, 256));
    ASSERT_TRUE(OpenPort());
    InWindow<GThresholds>([&](auto&, GThresholds& w) {
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.Threshold_Warn_.HasValue() && w.Threshold_Alarm_.HasValue(); }));
        EXPECT_EQ(w.Threshold_Warn_.Value(), 65535);
        EXPECT_EQ(w.Threshold_Alarm_.Value(), 256);
        EXPECT_TRUE(texts_.status.empty()) << "shown, not written: " << all_status();
    });
}

// The value is written but the device refuses to store it: a failure, red on
// the message panel, never the status line's success.
TEST_F(ThresholdsWindow, AWriteWhoseSaveIsRefusedIsAFailureOnTheMessagePanel) {
    start_open(HeldBy(2));
    ASSERT_TRUE(sim_->set_save_fault(1, sim::SaveFault_t::kRefused, 1));
    InWindow<GThresholds>([&](auto&, GThresholds& w) {
        ASSERT_TRUE(RefreshUntil(w, [&] { return w.Threshold_Warn_.HasValue() && w.table_.IsEnabled(); }));
        w.Threshold_Warn_.Enter(30);
        ASSERT_TRUE(wait_error("Параметр \"Порог 1\" установлен, но настройки не сохранены\n"
                               "(Modbus-протокол. Сбой устройства)"))
            << all_status();
        EXPECT_EQ(reg(sim::reg::kThresholdWarn), 30);
        EXPECT_FALSE(saw_status_starting("Параметр \"Порог 1\" установлен, но")) << all_status();
        EXPECT_FALSE(saw_status("Параметр \"Порог 1\" установлен\nНастройки сохранены")) << all_status();
    });
}
