// End to end against the simulated detector on a pseudo-terminal: the real
// poll cycle, the real write procedures, texts posted to the window thread.
#include <mutex>
#include <vector>

#include "fixture.h"

using namespace win_test;

namespace {

// Collects every text the workers hand to the window side, in arrival order.
class Recorder : public IWindowSide {
public:
    void show_status_text(const ustring_t& t, uint64_t) override { add("status: " + U8(t)); }
    void show_info_message(const ustring_t& t, uint32_t) override { add("info: " + U8(t)); }
    void show_error_message(const ustring_t& t, uint32_t ms) override {
        add("error: " + U8(t) + (ms == 10000 ? "" : " (time?)"));
    }
    void clear_message() override { add("clear"); }
    std::vector<std::string> lines;

private:
    void add(const std::string& s) { lines.push_back(s); }
};

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
        EXPECT_TRUE(UIK::App::RunUntil(
            [&] { return U8(S().factory_id_.Text()) == serial && U8(S().ico_reg_6002_.Text()) == "35.5"; }, 8000))
            << U8(S().factory_id_.Text()) << " / " << U8(S().ico_reg_6002_.Text());
    }

    // Routes the workers' texts to rec until the end of the test.
    void Record(Recorder& rec) { G_.main_window.store(&rec); }
    bool WaitLines(Recorder& rec, size_t n) {
        return UIK::App::RunUntil([&] { return rec.lines.size() >= n; }, 8000);
    }
};

TEST_F(DeviceTest, ConnectShowsTheLiveDetectorAndAdjustmentModeTogglesTheStrip) {
    InLoop([&] {
        GStart& s = S();
        EXPECT_EQ(U8(s.bt_connect_.Caption()), "Подключиться\n(COM1 ID:1)");
        ConnectAndWait();
        EXPECT_EQ(U8(s.bt_connect_.Caption()), "Отключиться");
        EXPECT_TRUE(s.frame_factory_id_.IsVisible());
        EXPECT_TRUE(s.bt_thresholds_.IsEnabled());
        EXPECT_EQ(U8(s.reg_2000_threshold1_.Text()), "20");

        // Ask for adjustment mode with the strip's button.
        ASSERT_TRUE(UIK::App::RunUntil([&] { return s.Sudo().Toggle().IsEnabled(); }, 5000));
        EXPECT_EQ(U8(s.Sudo().Status().Text()), "Режим наладки отключен");
        s.Sudo().Toggle().PerformClick();
        EXPECT_TRUE(UIK::App::RunUntil(
            [&] { return U8(s.Sudo().Status().Text()) == "Режим наладки включен"; }, 8000));
        EXPECT_EQ(U8(s.Sudo().Toggle().Caption()), "Отключить режим наладки");
        EXPECT_EQ(U8(s.status_bar_.Text()), "Режим наладки включен");
        EXPECT_TRUE(s.status_bar_.IsVisible());

        // Leaving goes through the pending writes, without any text.
        s.Sudo().Toggle().PerformClick();
        EXPECT_TRUE(UIK::App::RunUntil(
            [&] { return U8(s.Sudo().Status().Text()) == "Режим наладки отключен"; }, 8000));

        // Disconnect: the window falls back to its look without a device.
        s.bt_connect_.PerformClick();
        UIK::App::RunUntil([] { return false; }, 250);
        EXPECT_EQ(U8(s.ico_reg_6002_.Text()), "-.-");
        EXPECT_FALSE(s.frame_factory_id_.IsVisible());
    });
}

TEST_F(DeviceTest, WriteProceduresReportEveryStep) {
    InLoop([&] {
        ConnectAndWait();
        Recorder rec;
        Record(rec);
        mb_param_t& warn = G_.params.Threshold_Warn;

        // Without adjustment mode the device refuses: one red message, no save.
        SetParamAndSave(warn, 30);
        ASSERT_TRUE(WaitLines(rec, 2));
        UIK::App::RunUntil([] { return false; }, 200);
        ASSERT_EQ(rec.lines.size(), 2u);
        EXPECT_EQ(rec.lines[0], "status: Установка параметра \"Порог 1\"...");
        EXPECT_EQ(rec.lines[1].rfind("error: Параметр \"Порог 1\" не был установлен\n(Modbus-протокол. ", 0), 0u)
            << rec.lines[1];

        // A command asks for the mode first, even with no title.
        rec.lines.clear();
        SendCommand(G_.params.command, 10, std::nullopt);
        ASSERT_TRUE(WaitLines(rec, 5));
        EXPECT_EQ(rec.lines[0], "status: Включение режима наладки...");
        EXPECT_EQ(rec.lines[1], "status: Режим наладки включен");
        EXPECT_EQ(rec.lines[2], "clear");
        EXPECT_EQ(rec.lines[3], "status: Отсылка команды \"\"...");
        ASSERT_TRUE(WaitLines(rec, 6));
        EXPECT_EQ(rec.lines[4], "clear");
        EXPECT_EQ(rec.lines[5], "status: Команда \"\" отправлена");

        // In adjustment mode the write and the save go through; two quick
        // requests run one after the other, each with its full sequence.
        rec.lines.clear();
        SetParamAndSave(warn, 30);
        SetParamAndSave(G_.params.Threshold_Alarm, 60);
        ASSERT_TRUE(WaitLines(rec, 8));
        const std::vector<std::string> want = {
            "status: Установка параметра \"Порог 1\"...",
            "clear",
            "status: Параметр \"Порог 1\" установлен\nСохраняем настройки...",
            "status: Параметр \"Порог 1\" установлен\nНастройки сохранены",
            "status: Установка параметра \"Порог 2\"...",
            "clear",
            "status: Параметр \"Порог 2\" установлен\nСохраняем настройки...",
            "status: Параметр \"Порог 2\" установлен\nНастройки сохранены",
        };
        EXPECT_EQ(rec.lines, want);
        G_.main_window.store(&M());
        EXPECT_TRUE(UIK::App::RunUntil([&] { return U8(S().reg_2001_threshold2_.Text()) == "60"; }, 6000));
    });
}

TEST_F(DeviceTest, CommandFailureIsShownOnTheMessagePanel) {
    InLoop([&] {
        // The port is closed: the write fails at once.
        SendPlainCommand(10, ustring_t(u"Сброс блокировки аварии"));
        EXPECT_TRUE(UIK::App::RunUntil([&] { return M().MessageShown(); }, 5000));
        EXPECT_EQ(U8(M().MessageLabel().Text()).rfind("Команда \"Сброс блокировки аварии\" не была отправлена\n(COM-порт. ", 0),
                  0u)
            << U8(M().MessageLabel().Text());
        EXPECT_EQ(M().MessageLabel().BackColor(), GStandardMainFrame2::kErrorColor);
    });
}

}  // namespace
