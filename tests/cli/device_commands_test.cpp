// luma10ctl info and settings run as programs: info against the simulated
// detector on a pty, settings against configuration files on disk.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "sim/simulator.h"
#include "tests/cli/ctl_run.h"
#include "tests/link/pty_peer.h"

namespace fs = std::filesystem;

namespace {

using namespace ctl_test;

TEST(DeviceCommands, InfoPrintsTheDeviceAfterOnePollCycle) {
    sim::Options_t o = quiet(2);
    o.addresses = {5};
    o.concentration = 12.5;
    sim::Simulator_t s(o);
    ASSERT_TRUE(started(s));
    Result r = ctl("info --port " + s.path() + " --address 5");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Заводской номер: " + std::to_string(s.factory_serial(5)) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Версия ПО: 1.2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Концентрация: 12.5 %НКПР "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Режим наладки: 2 (включен)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Адрес Modbus: 5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Скорость Modbus: 9600\n"), std::string::npos) << r.out;

    // Nobody at address 6: exit 1 with the link status, nothing on stdout.
    r = ctl("info --port " + s.path() + " --address 6 --timeout 200");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Modbus-драйвер: Таймаут приёма данных\n");
}

// The whole download through the tool, its workers and its window side
// included: a sanitizer build of the tool fails its exit code on a report.
TEST(DeviceCommands, JournalDownloadsThroughTheTool) {
    sim::Options_t o = quiet();
    o.records.alarms = 25;
    sim::Simulator_t s(o);
    ASSERT_TRUE(started(s));
    const Result r = ctl("journal alarms --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 26) << r.out;
    EXPECT_NE(r.out.find("\n25;\""), std::string::npos) << r.out;
}

// --plot draws the downloaded trend as a PNG of the chart's file size, and
// writes no export unless -o asks for one; a build without the drawing layer
// refuses it as a usage error.
TEST(DeviceCommands, JournalTrendPlotWritesTheChartAsAPng) {
    sim::Options_t o = quiet();
    o.records.trend_day = true;
    o.records.trend = 120;
    sim::Simulator_t s(o);
    ASSERT_TRUE(started(s));
    testing_peer::use_temp_config_dir();
    const fs::path png = fs::path(std::getenv("LUMA10_CONFIG_DIR")) / "тренд.png";
    fs::remove(png);
    const Result r = ctl("journal trend --port " + s.path() + " --plot '" + png.string() + "'");
#if LUMA_WITH_CHART
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    std::ifstream f(png, std::ios::binary);
    std::string head(24, '\0');
    ASSERT_TRUE(f.read(head.data(), 24));
    EXPECT_EQ(head.substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(head[at])) << 24 | uint32_t(uint8_t(head[at + 1])) << 16 |
               uint32_t(uint8_t(head[at + 2])) << 8 | uint8_t(head[at + 3]);
    };
    EXPECT_EQ(be32(16), 1200u);
    EXPECT_EQ(be32(20), 600u);
#else
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("LUMA_GUI=OFF"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(png));
#endif
    EXPECT_EQ(ctl("journal alarms --port " + s.path() + " --plot a.png").code, 2);
}

TEST(DeviceCommands, SettingsReadsTheFileAndLeavesEverythingInPlace) {
    testing_peer::use_temp_config_dir();
    const fs::path dir = fs::path(std::getenv("LUMA10_CONFIG_DIR")) / "settings";
    fs::create_directories(dir);
    const fs::path file = dir / "a.json";
    std::ofstream(file) << R"({"app_config":{"connection":{"block_id":7,"driver_config":{"port_config":{
        "port":3,"speed":19200,"parity":2,"stop_bits":2,"permanent_echo":true,"before_send_delay":15},
        "timeout":800}},"params":{"balloon_strength":2.5}}})";
    Result r = ctl("settings --config " + file.string());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "port=3\nspeed=19200\nparity=Чётная (2)\nstop_bits=2 (2)\npermanent_echo=Да (1)\n"
              "before_send_delay=15\n"
              "timeout=800\nblock_id=7\nballoon_strength=2.5\n");

    // An interrupted replacement left only the new file: it is what the
    // program would load, and the tool reads it without moving it.
    fs::rename(file, dir / "a.json.fswwb_new");
    r = ctl("settings --config " + file.string());
    EXPECT_NE(r.out.find("block_id=7\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir / "a.json.fswwb_new"));
    EXPECT_FALSE(fs::exists(file));

    // No file at all: a file named on the line is refused; without one, the
    // start-up values.
    fs::remove(dir / "a.json.fswwb_new");
    r = ctl("settings --config " + file.string());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    r = ctl("settings");
    EXPECT_EQ(r.out,
              "port=1\nspeed=9600\nparity=Нет (0)\nstop_bits=1 (0)\npermanent_echo=Нет (0)\n"
              "before_send_delay=0\n"
              "timeout=1000\nblock_id=1\nballoon_strength=10\n");
}

TEST(DeviceCommands, SettingsNamesEveryCodeAsTheConnectionWindowDoes) {
    testing_peer::use_temp_config_dir();
    const fs::path file = fs::path(std::getenv("LUMA10_CONFIG_DIR")) / "names.json";
    for (const auto& [parity, stop, name] : {std::tuple{1, 1, "parity=Нечётная (1)\nstop_bits=1.5 (1)\n"},
                                            std::tuple{3, 0, "parity=Маркер (3)\nstop_bits=1 (0)\n"},
                                            std::tuple{4, 2, "parity=Пробел (4)\nstop_bits=2 (2)\n"},
                                            std::tuple{9, 7, "parity=недопустимое значение (9)\n"
                                                             "stop_bits=недопустимое значение (7)\n"}}) {
        std::ofstream(file) << R"({"app_config":{"connection":{"block_id":1,"driver_config":{"port_config":{
            "port":1,"speed":9600,"parity":)" << parity << R"(,"stop_bits":)" << stop << R"(,
            "before_send_delay":0},"timeout":1000}}}})";
        Result r = ctl("settings --config " + file.string());
        EXPECT_NE(r.out.find(name), std::string::npos) << r.out;
    }
}

// Settings are refused while another holds the adjustment mode: the message
// says so and names the command that takes it, which then works.
TEST(DeviceCommands, RefusedWriteHintsAtTheAdjustmentMode) {
    sim::Simulator_t s(quiet(0));
    ASSERT_TRUE(started(s));
    Result r = ctl("--port " + s.path() + " write 50213 20");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "Modbus-протокол: Недопустимая функция\n"
              "Подсказка: настройки записываются только в режиме наладки; включите его командой 20: "
              "luma10ctl write 50190 20\n");
    r = ctl("--port " + s.path() + " write 50190 20");
    EXPECT_EQ(r.code, 0) << r.err;
    r = ctl("--port " + s.path() + " write 50213 20");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

}  // namespace

namespace {

// Values past their tables and past a byte print as the device holds them,
// or named invalid: never wrapped, never an empty text.
TEST(DeviceCommands, OutOfRangeValuesPrintAsHeldOrInvalid) {
    sim::Simulator_t s(quiet(2));
    ASSERT_TRUE(started(s));
    ASSERT_TRUE(s.set_register(1, 50213, 65535));
    ASSERT_TRUE(s.set_register(1, 50214, 256));
    ASSERT_TRUE(s.set_register(1, 50209, 200));
    ASSERT_TRUE(s.set_register(1, 50218, 9));
    Result r = ctl("thresholds --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("warn=65535\nalarm=256\n", 0), 0u) << r.out;
    r = ctl("info --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Порог 1: 65535\nПорог 2: 256\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Скорость Modbus: недопустимый код скорости 9\n"), std::string::npos) << r.out;
    r = ctl("gas --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("gas=200 недопустимый номер газа 200\n", 0), 0u) << r.out;
}

}  // namespace
