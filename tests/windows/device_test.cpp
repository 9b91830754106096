// End to end against the simulated detector on a pseudo-terminal: the real
// poll cycle, the real write procedures, texts posted to the window thread.
// Every step waits for what the user would see, with a generous deadline:
// on a busy machine the line and the workers may be slow, never wrong.
#include <string>
#include <vector>

#include "fixture.h"

using namespace win_test;

namespace {

class DeviceTest : public WindowTest {
protected:
    void SetUp() override {
        sim::Options_t o;
        o.concentration = 35.5;
        Build(o, /*poll=*/true);
    }

    // Connects through the main window's button and waits for the first values.
    void ConnectAndWait() {
        S().bt_connect_.PerformClick();
        const std::string serial = std::to_string(sim_->factory_serial(1));
        EXPECT_TRUE(WaitFor([&] { return U8(S().factory_id_.Text()) == serial && U8(S().ico_reg_6002_.Text()) == "35.5"; }))
            << U8(S().factory_id_.Text()) << " / " << U8(S().ico_reg_6002_.Text()) << " open " << link_->is_open()
            << " cycles " << link_->completed_cycles() << " status " << U8(link_->link_status().message())
            << " requests " << sim_->requests() << " replies " << sim_->replies() << " sim " << sim_->path();
    }

    // Routes the workers' texts to rec until the end of the test.
    void Record(TextRecorder& rec) { G_.main_window.store(&rec); }
    bool WaitLines(TextRecorder& rec, size_t n) {
        return WaitFor([&] { return rec.lines.size() >= n; });
    }
};

TEST_F(DeviceTest, ConnectShowsTheLiveDetectorAndAdjustmentModeTogglesTheStrip) {
    InLoop([&] {
        GStart& s = S();
        EXPECT_EQ(U8(s.bt_connect_.Caption()), "Подключиться\n(COM" + std::to_string(kCom) + " ID:1)");
        ConnectAndWait();
        EXPECT_EQ(U8(s.bt_connect_.Caption()), "Отключиться");
        EXPECT_TRUE(s.frame_factory_id_.IsVisible());
        EXPECT_TRUE(s.bt_thresholds_.IsEnabled());
        EXPECT_TRUE(WaitFor([&] { return U8(s.reg_2000_threshold1_.Text()) == "20"; }))
            << U8(s.reg_2000_threshold1_.Text());

        // Ask for adjustment mode with the strip's button.
        ASSERT_TRUE(WaitFor([&] { return s.Sudo().Toggle().IsEnabled(); }));
        EXPECT_TRUE(WaitFor([&] { return U8(s.Sudo().Status().Text()) == "Режим наладки отключен"; }))
            << U8(s.Sudo().Status().Text());
        s.Sudo().Toggle().PerformClick();
        EXPECT_TRUE(WaitFor([&] { return U8(s.Sudo().Status().Text()) == "Режим наладки включен"; }))
            << U8(s.Sudo().Status().Text());
        EXPECT_TRUE(WaitFor([&] { return U8(s.Sudo().Toggle().Caption()) == "Отключить режим наладки"; }));
        // The status line shows the procedure's last text (and hides it two
        // seconds later).
        EXPECT_TRUE(WaitFor(
            [&] { return U8(s.status_bar_.Text()) == "Режим наладки включен" && s.status_bar_.IsVisible(); }))
            << U8(s.status_bar_.Text());

        // Leaving goes through the pending writes, without any text.
        s.Sudo().Toggle().PerformClick();
        EXPECT_TRUE(WaitFor([&] { return U8(s.Sudo().Status().Text()) == "Режим наладки отключен"; }))
            << U8(s.Sudo().Status().Text());

        // Disconnect: the window falls back to its look without a device.
        s.bt_connect_.PerformClick();
        EXPECT_TRUE(WaitFor([&] { return U8(s.ico_reg_6002_.Text()) == "-.-" && !s.frame_factory_id_.IsVisible(); }))
            << U8(s.ico_reg_6002_.Text());
        EXPECT_FALSE(link_->is_open());
    });
}

TEST_F(DeviceTest, WriteProceduresReportEveryStep) {
    InLoop([&] {
        ConnectAndWait();
        TextRecorder rec;
        Record(rec);
        mb_param_t& warn = G_.params.Threshold_Warn;

        // Without adjustment mode the device refuses: one red message, no
        // save. Then a command asks for the mode first, even with no title;
        // in adjustment mode the write and the save go through, and two quick
        // requests run one after the other, each with its full sequence.
        // Worker 1 runs the requests in order, so the whole list is fixed.
        SetParamAndSave(G_, warn, 30);
        SendCommand(G_, G_.params.command, 10, std::nullopt);
        SetParamAndSave(G_, warn, 30);
        SetParamAndSave(G_, G_.params.Threshold_Alarm, 60);
        const std::vector<std::string> want = {
            "status: Установка параметра \"Порог 1\"...",
            "error: Параметр \"Порог 1\" не был установлен\n(Modbus-протокол. ",
            "status: Включение режима наладки...",
            "status: Режим наладки включен",
            "clear",
            "status: Отсылка команды \"\"...",
            "clear",
            "status: Команда \"\" отправлена",
            "status: Установка параметра \"Порог 1\"...",
            "clear",
            "status: Параметр \"Порог 1\" установлен\nСохраняем настройки...",
            "status: Параметр \"Порог 1\" установлен\nНастройки сохранены",
            "status: Установка параметра \"Порог 2\"...",
            "clear",
            "status: Параметр \"Порог 2\" установлен\nСохраняем настройки...",
            "status: Параметр \"Порог 2\" установлен\nНастройки сохранены",
        };
        ASSERT_TRUE(WaitLines(rec, want.size())) << ::testing::PrintToString(rec.lines);
        ASSERT_EQ(rec.lines.size(), want.size()) << ::testing::PrintToString(rec.lines);
        // The refusal's own message follows its category.
        EXPECT_EQ(rec.lines[1].rfind(want[1], 0), 0u) << rec.lines[1];
        rec.lines[1] = want[1];
        EXPECT_EQ(rec.lines, want);

        G_.main_window.store(&M());
        EXPECT_TRUE(WaitFor([&] { return U8(S().reg_2001_threshold2_.Text()) == "60"; }));
    });
}

// Adjustment mode the program took goes back before the port closes, by the
// connect button and by the program's exit alike.
TEST_F(DeviceTest, AdjustmentModeTakenIsGivenBackBeforeThePortCloses) {
    auto owner = [&] {
        uint16_t v = 0;
        sim_->get_register(1, 50276, v);
        return v;
    };
    InLoop([&] {
        for (int round = 0; round < 2; ++round) {
            ConnectAndWait();
            ASSERT_TRUE(WaitFor([&] { return G_.adjustment_mode_off() && S().Sudo().Toggle().IsEnabled(); }));
            S().Sudo().Toggle().PerformClick();
            ASSERT_TRUE(WaitFor([&] { return owner() == 2 && G_.adjustment_mode_on(); })) << round;
            if (round == 1) break;
            S().bt_connect_.PerformClick();
            ASSERT_TRUE(WaitFor([&] { return !link_->is_open(); }));
            EXPECT_EQ(owner(), 0);
        }
    });
    StopDeviceTraffic(*link_);
    EXPECT_EQ(owner(), 0);
}

TEST_F(DeviceTest, CommandFailureIsShownOnTheMessagePanel) {
    InLoop([&] {
        // The port is closed: the write fails at once.
        SendPlainCommand(G_, 10, ustring_t(u"Сброс блокировки аварии"));
        const std::string want = "Команда \"Сброс блокировки аварии\" не была отправлена\n(COM-порт. ";
        EXPECT_TRUE(WaitFor([&] { return M().MessageShown() && U8(M().MessageLabel().Text()).rfind(want, 0) == 0; }))
            << U8(M().MessageLabel().Text());
        EXPECT_EQ(M().MessageLabel().BackColor(), GStandardMainFrame2::kErrorColor);
    });
}

}  // namespace
