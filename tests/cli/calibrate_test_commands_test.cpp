// luma10ctl calibrate and test as programs against the simulated detector on
// a pty: a zero correction to its end, a span ending in a forced error, an
// abort by Ctrl+C, and the output tests on and off.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <regex>
#include <thread>

#include "sim/device.h"
#include "sim/simulator.h"
#include "tests/cli/ctl_run.h"
#include "tests/link/pty_peer.h"

namespace fs = std::filesystem;

namespace {

using namespace ctl_test;

fs::path out_file() { return ctl_file("out"); }

sim::Options_t device(unsigned calibration_ms) {
    sim::Options_t o = quiet();
    o.calibration_ms = calibration_ms;
    return o;
}

uint16_t reg(sim::Simulator_t& s, uint16_t r) {
    uint16_t v = 0;
    s.get_register(1, r, v);
    return v;
}

}  // namespace

TEST(CalibrateCommand, ZeroCorrectionToTheEndAndSpanEndingInAnError) {
    // The span runs until the test ends it, once the command has shown it
    // running: a poll turn late on a loaded machine cannot miss the state.
    sim::Options_t o = device(600000);
    o.calibration_error = 7;  // the first calibration: no answer from the sensor
    o.concentration = 3.0;
    sim::Simulator_t s(o);
    ASSERT_TRUE(started(s));
    testing_peer::use_temp_config_dir();
    const std::string timeout = " --timeout " + std::to_string(kRoomyTimeoutMs);

    fs::remove(out_file());
    Result r;
    std::thread span([&] { r = ctl("calibrate span --concentration 12.346" + timeout + " --port " + s.path()); });
    const bool shown = wait_for(
        [] { return slurp(out_file()).find("Производится настройка МИПЕКС по ПГС Прошло: ") != std::string::npos; },
        60000);
    s.with_device(1, [](sim::Device_t& d) { d.set_calibration_time(std::chrono::milliseconds(0)); });
    span.join();
    EXPECT_TRUE(shown) << r.out;
    EXPECT_EQ(r.code, 1) << r.err;
    // The device's start state lasts half a second: a command that reads it
    // later (a loaded machine) finds the calibration already in progress.
    EXPECT_TRUE(std::regex_match(r.out, std::regex("(Настройка МИПЕКС по ПГС началась\n)?"
                                                   "(Производится настройка МИПЕКС по ПГС( Прошло: [0-9]+\\.[0-9] с)?\n)+"
                                                   "Ошибка. Нет ответа от датчика\n")))
        << r.out;
    EXPECT_EQ(reg(s, 3005), 1);

    s.with_device(1, [](sim::Device_t& d) { d.set_calibration_time(std::chrono::milliseconds(2500)); });
    r = ctl("calibrate zero" + timeout + " --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("(Корректировка нуля началась\n)?"
                                                   "(Производится корректировка нуля( Прошло: [0-9]+\\.[0-9] с)?\n)*"
                                                   "Корректировка нуля завершена успешно\n")))
        << r.out;
    // The mode the command took is given back.
    EXPECT_EQ(r.err, "Режим наладки отключен\n");
    EXPECT_EQ(reg(s, 50276), 0);
    EXPECT_EQ(reg(s, 3005), 0);

    // Refused before anything reaches the line.
    r = ctl("calibrate span --port " + s.path());
    EXPECT_EQ(r.code, 2);
    r = ctl("calibrate span --concentration 150 --port " + s.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("концентрация должна быть числом от 0.01 до 100"), std::string::npos) << r.err;

    // The console holds the adjustment mode: the start is refused with the
    // window's message.
    s.set_owner(1, 1);
    r = ctl("calibrate zero --port " + s.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Не удалось запустить корректировку нуля\n(Modbus-протокол. "), std::string::npos) << r.err;
}

// A function-16 request frame to register r writing v (for the request hook).
bool writes(const std::vector<uint8_t>& f, uint16_t r, uint16_t v) {
    return f.size() > 8 && f[1] == 0x10 && unsigned(f[2] << 8 | f[3]) == r && unsigned(f[7] << 8 | f[8]) == v;
}

// A lost reply to the start command, then a lost reply to the link check
// while the device calibrates: the command finds out from the state register
// that it started, rides over the failed check and follows it to its end.
TEST(CalibrateCommand, LostRepliesNeitherEndTheCommandNorLeaveTheCalibrationUnseen) {
    sim::Options_t o = device(4000);
    sim::Simulator_t* sp = nullptr;
    std::atomic<bool> start_dropped{false}, check_dropped{false};
    o.on_request = [&](const std::vector<uint8_t>& f) {
        if (!start_dropped && writes(f, 50191, 1)) {
            start_dropped = true;
            sp->set_fault(sim::Fault_t::kSilent, 1);
        } else if (start_dropped && !check_dropped && f[1] == 0x03 && unsigned(f[2] << 8 | f[3]) == 1152 &&
                   reg(*sp, 50192) == 2) {
            check_dropped = true;
            sp->set_fault(sim::Fault_t::kSilent, 1);
        }
    };
    sim::Simulator_t s(o);
    sp = &s;
    ASSERT_TRUE(started(s));
    const Result r = ctl("calibrate zero --timeout 300 --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(start_dropped && check_dropped);
    EXPECT_NE(r.err.find("Не известно, была ли выполнена команда \"Запуск настройки МИПЕКС\"\n("), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("устройство калибрует: калибровка запущена\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("не была отправлена"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.ends_with("Корректировка нуля завершена успешно\n")) << r.out;
    EXPECT_EQ(reg(s, 50192), 3);
    s.stop();  // its request hook refers to this body
}

TEST(CalibrateCommand, CtrlCAbortsTheCalibrationOnTheDevice) {
    sim::Simulator_t s(device(60000));
    ASSERT_TRUE(started(s));
    const pid_t pid = ctl_start({"--port", s.path(), "calibrate", "zero"});
    ASSERT_GT(pid, 0);

    const bool running = wait_for([&] { return reg(s, 50192) == 2; });
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(running);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(reg(s, 50192), 9);
    EXPECT_EQ(reg(s, 50191), 0);
    const std::string text = slurp(out_file());
    EXPECT_NE(text.find("Корректировка нуля МИПЕКС прекращена пользователем\n"), std::string::npos) << text;
}

TEST(TestCommand, CurrentOutputsAndOff) {
    sim::Options_t o = device(3000);
    std::atomic<bool> drop_test_off{false};
    sim::Simulator_t* sp = nullptr;
    o.on_request = [&](const std::vector<uint8_t>& f) {
        if (drop_test_off && writes(f, 50180, 0)) {
            drop_test_off = false;
            sp->set_fault(sim::Fault_t::kSilent, 1);
        }
    };
    sim::Simulator_t s(o);
    sp = &s;
    ASSERT_TRUE(started(s));

    Result r = ctl("test current 12 --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Тест токового выхода: включен, 12 мА\nТест дискретных выходов: выключен\n");
    double ma = 0;
    ASSERT_TRUE(s.output_current(1, ma));
    EXPECT_DOUBLE_EQ(ma, 12.0);
    // The command asked for adjustment mode first, and gave it back.
    EXPECT_EQ(r.err, "Режим наладки отключен\n");
    EXPECT_EQ(reg(s, 50276), 0);

    r = ctl("test outputs threshold2 fail --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(reg(s, 50184), 1);
    EXPECT_EQ(reg(s, 50185), 6);
    EXPECT_NE(r.out.find("Тест дискретных выходов: включен, Порог 1 выкл, Порог 2 вкл, Отказ вкл\n"),
              std::string::npos)
        << r.out;

    r = ctl("test off --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Тест токового выхода: выключен\nТест дискретных выходов: выключен\n");
    EXPECT_EQ(reg(s, 50180), 0);
    EXPECT_EQ(reg(s, 50184), 0);

    EXPECT_EQ(ctl("test current 25 --port " + s.path()).code, 2);
    EXPECT_EQ(ctl("test outputs relay3 --port " + s.path()).code, 2);

    // The reply to switching a test off is lost: its outcome is unknown
    // until the device is read, which shows the test off.
    ASSERT_EQ(ctl("test current 5 --port " + s.path()).code, 0);
    drop_test_off = true;
    r = ctl("test off --timeout 300 --port " + s.path());
    EXPECT_FALSE(drop_test_off);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Не известно, была ли выполнена команда \"Выключить тест ЦАП\"\n("), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("не была отправлена"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "Тест токового выхода: выключен\nТест дискретных выходов: выключен\n");
    EXPECT_EQ(reg(s, 50180), 0);

    // A held adjustment mode: the command fails with the window's message.
    s.set_owner(1, 3);
    r = ctl("test current 4 --port " + s.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Команда \"Включить тест ЦАП\" не была отправлена\n(Modbus-протокол. "), std::string::npos)
        << r.err;
    s.stop();  // its request hook refers to this body
}
