// luma10ctl thresholds, clock, gas and device-link run as programs against the
// simulated detector on a pty: what they print, what reaches the device, and
// their exit codes for bad values and failed exchanges.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/device.h"
#include "sim/simulator.h"
#include "tests/cli/ctl_run.h"
#include "tests/link/pty_peer.h"

namespace fs = std::filesystem;

namespace {

using namespace ctl_test;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class SettingsCommands : public ::testing::Test {
protected:
    // dead_after_address_write: the detector takes the write of its Modbus
    // address and answers nothing from then on, as one whose line died there.
    void start(int owner = 2, bool early = false, bool dead_after_address_write = false) {
        sim::Options_t o;
        o.drift = 0;
        o.log = [](const std::string&) {};
        o.owner = owner;
        o.switch_early = early;
        if (dead_after_address_write)
            o.on_request = [this](const std::vector<uint8_t>& f) {
                if (f.size() > 4 && f[1] == 0x10 && unsigned(f[2] << 8 | f[3]) == sim::reg::kModbusId)
                    sim_->set_fault(sim::Fault_t::kSilent, -1);
            };
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string e;
        ASSERT_TRUE(sim_->start(&e)) << e;
    }
    Result run(const std::string& args, const std::string& connection = "") {
        return ctl("--port " + sim_->path() + " --timeout 300 " + connection + " " + args);
    }
    uint16_t reg(uint16_t r, uint8_t address = 1) {
        uint16_t v = 0;
        EXPECT_TRUE(sim_->get_register(address, r, v));
        return v;
    }
    std::unique_ptr<sim::Simulator_t> sim_;
};

}  // namespace

TEST_F(SettingsCommands, ThresholdsPrintAndWriteWithTheirRange) {
    start();
    Result r = run("thresholds");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "warn=20\nalarm=50\nsave=90\nhysteresis=2\n");

    r = run("thresholds --warn 250");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(has(r.err, "--warn: допустимо 0..100")) << r.err;
    EXPECT_EQ(reg(sim::reg::kThresholdWarn), 20);

    r = run("thresholds --warn 30 --hysteresis=5");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Установка параметра \"Порог 1\"...\n")) << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Гистерезис\" установлен\nНастройки сохранены\n")) << r.err;
    EXPECT_EQ(reg(sim::reg::kThresholdWarn), 30);
    EXPECT_EQ(reg(sim::reg::kThresholdDelta), 5);
    EXPECT_EQ(reg(sim::reg::kThresholdAlarm), 50);
}

TEST_F(SettingsCommands, AWriteTheDeviceRefusesExitsOneWithTheWindowsMessage) {
    start(/*owner=*/1);  // the console holds adjustment mode
    const Result r = run("thresholds --alarm 40");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, "Режим наладки не был включен\n")) << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Порог 2\" не был установлен\n(Modbus-протокол. ")) << r.err;
    EXPECT_EQ(reg(sim::reg::kThresholdAlarm), 50);
}

TEST_F(SettingsCommands, AdjustmentModeTheCommandTookIsGivenBackAndOneFoundHeldIsLeft) {
    start(/*owner=*/0);
    Result r = run("thresholds --warn 30");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(reg(sim::reg::kThresholdWarn), 30);
    EXPECT_EQ(reg(sim::reg::kAdjustmentOwner), 0);
    EXPECT_TRUE(r.err.ends_with("Настройки сохранены\nРежим наладки отключен\n")) << r.err;

    start(/*owner=*/2);
    r = run("thresholds --warn 31");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(reg(sim::reg::kAdjustmentOwner), 2);
    EXPECT_FALSE(has(r.err, "Режим наладки отключен")) << r.err;
}

TEST_F(SettingsCommands, ClockPrintsSetsAndRefusesTheYear2100) {
    start(/*owner=*/0);  // the command asks for the mode itself
    Result r = run("clock --set \"2018-06-15 09:05:07\"");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Режим наладки включен\n")) << r.err;
    EXPECT_EQ(reg(sim::reg::kClock), 0x0618);
    r = run("clock");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("2018-06-15 09:0", 0), 0u) << r.out;

    for (const char* bad : {"2100-01-01 00:00:00", "2018-04-31 00:00:00", "2023-02-29 12:00:00", "2018-06-15"}) {
        r = run(std::string("clock --set \"") + bad + "\"");
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_TRUE(has(r.err, "Некорректная дата/время")) << r.err;
    }
    EXPECT_EQ(reg(sim::reg::kClock) & 0xFF, 0x18);

    r = run("clock --set-now");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(reg(sim::reg::kClock) & 0xFF, 0x18);
}

TEST_F(SettingsCommands, GasListsRefusesAGasWithoutACoefficientAndWritesCoefficients) {
    start();
    Result r = run("gas");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.out, "gas=0 Пропан\n0 Пропан 1.000\n1 Метан 0.500\n2 Этан 0.650\n")) << r.out;
    EXPECT_TRUE(has(r.out, "11 Гептан 0.000 (нет калибровки)\n")) << r.out;

    r = run("gas 11");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Нельзя выбрать газ \"Гептан\" - отсутствует корректировочный коэффициент\n");
    EXPECT_EQ(reg(sim::reg::kWorkGas), 0);

    r = run("gas Этан");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(reg(sim::reg::kWorkGas), 2);

    r = run("gas --coefficient 3 -0.5");
    EXPECT_EQ(r.code, 2);
    r = run("gas --coefficient 3 0");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Коэффициент коррекции н-бутана\" установлен\nНастройки сохранены")) << r.err;
    r = run("gas 3");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, "\"Н-бутан\" - отсутствует")) << r.err;
    EXPECT_EQ(run("gas Кислород").code, 2);
}

TEST_F(SettingsCommands, DeviceLinkChangesSpeedAndAddressOfBothSidesAndTheRadioSettings) {
    start();
    Result r = run("device-link --speed 19200");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Скорость Modbus RTU\" установлен\nНеобходимо изменить настройки драйвера...\n"
                           "Настройки драйвера изменены в соответствии с параметром \"Скорость Modbus RTU\"\n"
                           "Сохраняем настройки...\n"))
        << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Скорость Modbus RTU\" установлен\nНастройки сохранены\n")) << r.err;
    EXPECT_EQ(sim_->speed(), 19200u);

    // Connection options before the command, the device's new values after it.
    r = run("device-link --address 7", "--speed 19200");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(reg(sim::reg::kModbusId, 7), 7);

    const std::string at = "--speed 19200 --address 7";
    EXPECT_EQ(run("device-link --wifi on", at).code, 0);
    EXPECT_EQ(reg(sim::reg::kWifiEnabled, 7), 1);
    for (const char* bad : {"--wifi-channel 13", "--wifi-channel 0", "--hart 16", "--hart -1", "--address 248",
                            "--address 0", "--speed 14400", "--wifi maybe", "--hart 1 --wifi-channel 2"}) {
        r = run(std::string("device-link ") + bad, at);
        EXPECT_EQ(r.code, 2) << bad;
    }
    EXPECT_TRUE(has(run("device-link --hart 16", at).err, "--hart: допустимо 0..15"));
    EXPECT_EQ(run("device-link --wifi-channel 12", at).code, 0);
    EXPECT_EQ(reg(sim::reg::kWifiChannel, 7), 12);
    EXPECT_EQ(run("device-link --hart 15", at).code, 0);
    EXPECT_EQ(reg(sim::reg::kHartId, 7), 15);
}

TEST_F(SettingsCommands, DeviceLinkWithADeviceThatSwitchesEarlyOrIsLost) {
    start(2, /*early=*/true);
    Result r = run("device-link --speed 38400");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Не известно, был ли параметр установлен \"Скорость Modbus RTU\"\n(")) << r.err;
    EXPECT_TRUE(has(r.err, "Связь есть, значит параметр \"Скорость Modbus RTU\" был установлен\n")) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - std::string("Настройки сохранены\n").size()), "Настройки сохранены\n");

    // The line goes dead at the write.
    start(2, false, /*dead_after_address_write=*/true);
    r = run("device-link --address 9");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, "Связь разорвана. Отключаем драйвер.\n(")) << r.code << " " << r.err;
}
