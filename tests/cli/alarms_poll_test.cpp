// luma10ctl alarms and luma10ctl poll run as programs against the simulated
// line on a pty.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "sim/simulator.h"
#include "tests/cli/ctl_run.h"
#include "tests/link/pty_peer.h"

namespace fs = std::filesystem;

namespace {

using namespace ctl_test;

TEST(AlarmsCommand, PrintsBothTitlesWithTheirCountsAndTheTextsOfTheSetBits) {
    sim::Simulator_t s(quiet());
    ASSERT_TRUE(started(s));
    // Alarm bits 0, 2 and 20 (no text); warning bit 4.
    ASSERT_TRUE(s.set_register(1, 50272, 0b101));
    ASSERT_TRUE(s.set_register(1, 50273, 1u << 4));
    ASSERT_TRUE(s.set_register(1, 50274, 1u << 4));
    ASSERT_TRUE(s.set_register(1, 50275, 0));
    Result r = ctl("alarms --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Аварии (3)\n"
              "e0 - Ошибка инициализации сенсора MIPEX\n"
              "e2 - Сенсор MIPEX неисправен\n"
              "Предупреждения (1)\n"
              "w4 - Датчик в режиме сохранения\n");

    // One lost reply is ridden over: the next cycle asks again.
    s.set_fault(sim::Fault_t::kSilent, 1);
    r = ctl("alarms --port " + s.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("e2 - Сенсор MIPEX неисправен\n"), std::string::npos) << r.out;

    // Nobody at the address: exit 1, the link's reason, nothing on stdout.
    r = ctl("alarms --port " + s.path() + " --address 9 --timeout 100");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Modbus-драйвер: Таймаут приёма данных\n");
    EXPECT_EQ(ctl("alarms extra").code, 2);
}

TEST(PollCommand, OneLinePerAddressWithValuesOrTheErrorForScriptedLineChecks) {
    sim::Options_t o = quiet();
    o.addresses = {3};
    o.concentration = 12.5;
    sim::Simulator_t s(o);
    ASSERT_TRUE(started(s));
    // The simulated temperature drifts by up to 0.2 around its value.
    ASSERT_TRUE(s.set_temperature(3, 21.5));
    // The short time-out keeps the silent addresses quick, but on a loaded
    // machine the detector at 3 can miss it too: every run has one line per
    // address, and the command is run again until both passes of one run
    // found the detector in time.
    const std::regex shape("(2 [^\n]+\n3 [^\n]+\n4 [^\n]+\n){2}");
    const std::regex passes("(2 Таймаут приёма данных\n3 12\\.5 21\\.[3-7]°C\n4 Таймаут приёма данных\n){2}");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool answered = false;
    std::string out;
    while (!answered && std::chrono::steady_clock::now() < end) {
        const Result r = ctl("poll --port " + s.path() + " --timeout 40 --from 2 --to 4 --passes 2");
        ASSERT_EQ(r.code, 0) << r.err;
        ASSERT_TRUE(std::regex_match(r.out, shape)) << r.out;
        answered = std::regex_match(r.out, passes);
        out = r.out;
    }
    EXPECT_TRUE(answered) << out;

    // Bad ranges are usage errors.
    EXPECT_EQ(ctl("poll --port " + s.path() + " --from 5 --to 4").code, 2);
    EXPECT_EQ(ctl("poll --port " + s.path() + " --from 0").code, 2);
    EXPECT_EQ(ctl("poll --port " + s.path() + " --passes").code, 2);
    EXPECT_EQ(ctl("poll --port " + s.path() + " --bogus 1").code, 2);
}

}  // namespace
