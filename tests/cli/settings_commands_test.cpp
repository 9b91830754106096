// luma10ctl thresholds, clock, gas and device-link run as programs against the
// simulated detector on a pty: what they print, what reaches the device, and
// their exit codes for bad values and failed exchanges.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
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
        o.owner = owner;
        o.switch_early = early;
        if (dead_after_address_write)
            o.on_request = [this](const std::vector<uint8_t>& f) {
                if (f.size() > 4 && f[1] == 0x10 && unsigned(f[2] << 8 | f[3]) == sim::reg::kModbusId)
                    sim_->set_fault(sim::Fault_t::kSilent, -1);
            };
        start_with(o);
    }
    void start_with(sim::Options_t o) {
        o.drift = 0;
        o.log = [](const std::string&) {};
        sim_ = std::make_unique<sim::Simulator_t>(o);
        ASSERT_TRUE(started(*sim_));
    }
    Result run(const std::string& args, const std::string& connection = "") {
        return ctl("--port " + sim_->path() + " --timeout " + std::to_string(timeout_ms_) + " " + connection + " " +
                   args);
    }
    uint16_t reg(uint16_t r, uint8_t address = 1) {
        uint16_t v = 0;
        EXPECT_TRUE(sim_->get_register(address, r, v));
        return v;
    }
    std::unique_ptr<sim::Simulator_t> sim_;
    // The device answers; tests where it deliberately does not keep the
    // wait for its silence short.
    unsigned timeout_ms_ = kRoomyTimeoutMs;
};

}  // namespace

TEST_F(SettingsCommands, ThresholdsPrintAndWriteWithTheirRange) {
    start();
    Result r = run("thresholds");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "warn=20\nalarm=50\nsave=90\nhysteresis=2\n");

    r = run("thresholds --warn 250");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(has(r.err, "--warn: целое число от 0 до 100")) << r.err;
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

// The value is written, the save refused or unanswered: a failure, said on
// stderr, never reported as done.
TEST_F(SettingsCommands, AWriteWhoseSaveIsRefusedOrUnansweredExitsOne) {
    start();
    ASSERT_TRUE(sim_->set_save_fault(1, sim::SaveFault_t::kRefused, 1));
    Result r = run("thresholds --alarm 40");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Порог 2\" установлен, но настройки не сохранены\n"
                           "(Modbus-протокол. Сбой устройства)\n"))
        << r.err;
    EXPECT_EQ(r.err.find("не сохранены"), r.err.rfind("не сохранены")) << "said once: " << r.err;
    EXPECT_FALSE(has(r.err, "Настройки сохранены")) << r.err;
    EXPECT_EQ(reg(sim::reg::kThresholdAlarm), 40);

    // A save whose reply is lost may or may not have been carried out.
    ASSERT_TRUE(sim_->set_save_fault(1, sim::SaveFault_t::kSilent, 1));
    r = run("thresholds --alarm 41");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Порог 2\" установлен, но не известно, сохранены ли настройки\n")) << r.err;
    EXPECT_EQ(reg(sim::reg::kThresholdAlarm), 41);
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
    r = run("gas пРОПАН");  // Cyrillic capitals and small letters alike
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(reg(sim::reg::kWorkGas), 0);
    r = run("gas этан");
    ASSERT_EQ(r.code, 0) << r.err;

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

    // Without an option: the settings as the device now holds them.
    r = run("device-link", at);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "address=7\nspeed=19200\nwifi=on\nwifi-channel=12\nhart=15\n");
}

TEST_F(SettingsCommands, DeviceLinkWithADeviceThatSwitchesEarlyOrIsLost) {
    timeout_ms_ = 300;
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

namespace {
// A function-16 request frame to register r (for the request hook).
bool writes(const std::vector<uint8_t>& f, uint16_t r) {
    return f.size() > 4 && f[1] == 0x10 && unsigned(f[2] << 8 | f[3]) == r;
}
}  // namespace

// The device's refusal is a refusal; an address another device answers at is
// refused before anything is written; and after a lost reply only the same
// detector, known by its factory number, gets the save.
TEST_F(SettingsCommands, DeviceLinkAddressRefusalsAndTheSameDetectorAfterALostReply) {
    std::atomic<int> address_writes{0}, saves_at_3{0};
    auto count = [&](const std::vector<uint8_t>& f) {
        if (writes(f, sim::reg::kModbusId)) ++address_writes;
        if (writes(f, sim::reg::kCommand) && f[0] == 3 && f.size() > 8 && f[8] == codes::kCommandSaveSettings) ++saves_at_3;
    };
    timeout_ms_ = 300;

    // The console holds the mode and another detector answers at 3.
    sim::Options_t o;
    o.owner = 1;
    o.addresses = {1, 3};
    o.on_request = count;
    start_with(o);
    Result r = run("device-link --address 3");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, "Адрес 3 уже занят: на нём отвечает другое устройство\n")) << r.err;
    EXPECT_EQ(address_writes.load(), 0);
    EXPECT_EQ(saves_at_3.load(), 0);

    // Nobody at 3, and the device refuses the write: nothing switches, nothing is saved.
    o.addresses = {1};
    start_with(o);
    r = run("device-link --address 3");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, "Параметр \"Адрес в Modbus\" не был установлен\n(Modbus-протокол. ")) << r.err;
    EXPECT_FALSE(has(r.err, "Не известно")) << r.err;
    EXPECT_FALSE(has(r.err, "Настройки сохранены")) << r.err;
    EXPECT_EQ(address_writes.load(), 1);
    EXPECT_EQ(reg(sim::reg::kModbusId), 1);

    // The reply to the address write is lost, the device refused it, and a
    // second detector has meanwhile come to answer at 3: it is not the one
    // whose address was being changed, so back at 1 the detector is found
    // with its old address.
    bool once = false;
    o.owner = 2;
    o.addresses = {1, 5};
    o.on_request = [&](const std::vector<uint8_t>& f) {
        count(f);
        if (f[0] == 1 && writes(f, sim::reg::kModbusId) && !once) {
            once = true;
            sim_->set_owner(1, 1);
            sim_->with_device(5, [](sim::Device_t& d) { d.apply_address(3); });
            sim_->set_fault(sim::Fault_t::kSilent, 1);
        }
    };
    start_with(o);
    r = run("device-link --address 3");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(has(r.err, "Не известно, был ли параметр установлен \"Адрес в Modbus\"\n(")) << r.err;
    EXPECT_TRUE(has(r.err, "С новыми настройками отвечает другое устройство (заводской номер " +
                               std::to_string(sim_->factory_serial(3)) + ")\n"))
        << r.err;
    EXPECT_TRUE(has(r.err, "Параметр \"Адрес в Modbus\" не был установлен: устройство отвечает с прежними настройками"))
        << r.err;
    EXPECT_EQ(saves_at_3.load(), 0);
    EXPECT_EQ(reg(sim::reg::kModbusId), 1);

    // The reply is lost but the detector took the write: found at 3 by its
    // factory number, it gets the save.
    once = false;
    o.addresses = {1};
    o.on_request = [&](const std::vector<uint8_t>& f) {
        count(f);
        if (writes(f, sim::reg::kModbusId) && !once) {
            once = true;
            sim_->set_fault(sim::Fault_t::kSilent, 1);
        }
    };
    start_with(o);
    r = run("device-link --address 3");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Связь есть, значит параметр \"Адрес в Modbus\" был установлен\n")) << r.err;
    EXPECT_TRUE(r.err.ends_with("Настройки сохранены\n")) << r.err;
    EXPECT_EQ(saves_at_3.load(), 1);
    EXPECT_EQ(reg(sim::reg::kModbusId, 3), 3);
    sim_.reset();  // its request hook refers to this body
}

// Ctrl+C while a write is on its way: the write and its save are completed,
// and the adjustment mode the command took is given back before it ends, so
// the detector is left as it was found.
TEST_F(SettingsCommands, CtrlCDuringAWriteStillGivesTheAdjustmentModeBack) {
    std::atomic<pid_t> command{0};
    sim::Options_t o = quiet();
    o.owner = 0;
    o.on_request = [&](const std::vector<uint8_t>& f) {
        if (writes(f, sim::reg::kThresholdWarn))
            if (const pid_t pid = command.exchange(0)) ::kill(pid, SIGINT);
    };
    start_with(o);
    const pid_t pid = ctl_start({"--port", sim_->path(), "--timeout", std::to_string(timeout_ms_), "thresholds",
                                 "--warn", "30"});
    ASSERT_GT(pid, 0);
    command = pid;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string text = slurp(ctl_file("err"));
    EXPECT_EQ(command.load(), 0) << "the write never came";
    ASSERT_TRUE(WIFEXITED(status)) << text;
    EXPECT_EQ(WEXITSTATUS(status), 0) << text;
    EXPECT_EQ(reg(sim::reg::kThresholdWarn), 30);
    EXPECT_EQ(reg(sim::reg::kAdjustmentOwner), 0);
    EXPECT_TRUE(text.ends_with("Настройки сохранены\nРежим наладки отключен\n")) << text;
    sim_.reset();  // its request hook refers to this body
}
