// luma10ctl run as a program against a peer on a pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>

#include "tests/cli/ctl_run.h"
#include "tests/link/pty_peer.h"

using namespace testing_peer;

namespace {

using ctl_test::ctl;
using ctl_test::Result;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        use_temp_config_dir();
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(plat::register_com_link(4, peer.path()));
    }
    void TearDown() override { plat::unregister_com_link(4); }
    Peer peer;
};

TEST_F(CliTest, ReadWriteAndPortsOverACOMNumber) {
    Bytes seen;
    peer.run([&](Peer& p) {
        seen = p.read_request();
        p.send(read_reply(9, {7, 65535}));
    });
    Result r = ctl("read 1000 --port COM4 2 --address 9 --speed 19200 --parity even --stop-bits 1.5");
    peer.join();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1000 7\n1001 65535\n");
    EXPECT_EQ(seen, with_crc({9, 3, 0x03, 0xE8, 0, 2}));

    peer.run([&](Peer& p) {
        seen = p.read_request();
        p.send(with_crc({1, 16, 0, 5, 0, 2}));
    });
    r = ctl("--port=4 write 5 258 3");
    peer.join();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(seen, with_crc({1, 16, 0, 5, 0, 2, 4, 1, 2, 0, 3}));

    // A linked port is listed whatever its number.
    ASSERT_TRUE(plat::register_com_link(200, peer.path()));
    r = ctl("ports");
    plat::unregister_com_link(200);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("COM4 " + peer.path() + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("COM200 " + peer.path() + "\n"), std::string::npos) << r.out;
}

TEST_F(CliTest, TraceWritesEveryExchangeToStandardError) {
    peer.run([&](Peer& p) {
        p.read_request();
        p.send(read_reply(1, {0xE240, 0x0001}));
    });
    const Result r = ctl("--trace read 1152 2 --port COM4");
    peer.join();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "1152 57920\n1153 1\n");  // the data on standard output is unchanged
    EXPECT_NE(r.err.find("адр. 1, чтение (3) 1152–1153, 2 рег.;"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("    → 01 03 04 80 00 02"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("    ← 01 03 04 E2 40 00 01"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("factory_serial_id=123456"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Обменов: 1, отказов: 0"), std::string::npos) << r.err;
}

TEST_F(CliTest, FailuresPrintTheErrorAndExitOne) {
    Result r = ctl("--port " + peer.path() + " --timeout 100 read 0 1");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Modbus-драйвер: Таймаут приёма данных\n");

    peer.pty().discard_input();  // the unanswered request above
    peer.run([](Peer& p) { p.read_request(); p.send({1, 0x83, 0x02, 0, 0}); });
    r = ctl("--port 4 read 0 1");
    peer.join();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Modbus-протокол: Недопустимый адрес\n");

    // The port's failure names the device and the reason.
    r = ctl("--port 29 read 0 1");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "COM-порт: Ошибка открытия порта\nCOM29: устройство отсутствует\n");
    r = ctl("--port /dev/null write 0 1");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "COM-порт: Ошибка открытия порта\n/dev/null: это не последовательный порт\n");
}

// An exception reply refuses whatever its code: code 0 (one corrupted byte is
// enough) neither prints zeros for a read nor counts a write as done.
TEST_F(CliTest, ExceptionWithCodeZeroFailsReadAndWrite) {
    peer.run([](Peer& p) { p.read_request(); p.send({1, 0x83, 0x00, 0, 0}); });
    Result r = ctl("--port 4 read 0 2");
    peer.join();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Modbus-протокол: Отказ устройства без кода исключения\n");

    peer.run([](Peer& p) { p.read_request(); p.send({1, 0x90, 0x00, 0, 0}); });
    r = ctl("--port 4 write 5 1");
    peer.join();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Modbus-протокол: Отказ устройства без кода исключения\n");
}

TEST_F(CliTest, BadUsageExitsTwoWithUsage) {
    for (const char* args : {"", "read 0", "read 0 126", "--speed 599 read 0 1", "--parity odd2 ports",
                             "--stop-bits 3 ports", "write 0", "write 0 65536", "write 0 -1", "frobnicate",
                             "read --port"}) {
        Result r = ctl(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("read НАЧАЛО КОЛИЧЕСТВО"), std::string::npos) << args;
    }
    // Address 0 is the broadcast; 248 and above are reserved: nothing goes out.
    for (const char* args : {"--address 0 read 0 1", "--address=248 read 0 1", "--address 256 write 0 1"}) {
        Result r = ctl(std::string("--port 4 ") + args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("(допустимо 1..247)"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_TRUE(peer.read_all(30).empty());
    // The usage and its messages are Russian throughout.
    Result r = ctl("read 0");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
              "luma10ctl: read НАЧАЛО КОЛИЧЕСТВО: НАЧАЛО 0..65535, КОЛИЧЕСТВО 1..125");
    for (const char* english : {"START", "COUNT", "VALUE", "FILE", "NAME", " MS "})
        EXPECT_EQ(r.err.find(english), std::string::npos) << english << " in\n" << r.err;
}

TEST_F(CliTest, UnknownOptionsAreNamed) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--bogus read 0 1", "luma10ctl: неизвестный параметр: --bogus\n"},
        {"read 0 1 --bogus=3", "luma10ctl: неизвестный параметр: --bogus=3\n"},
        {"--echo=1 read 0 1", "luma10ctl: параметр --echo не принимает значения: --echo=1\n"},
        {"ports -x", "luma10ctl: неизвестный параметр: -x\n"},
        {"journal alarms --csv", "luma10ctl: неизвестный параметр: --csv\n"},
        {"--bogus", "luma10ctl: неизвестный параметр: --bogus\n"},
    };
    for (const auto& c : cases) {
        Result r = ctl(c.args);
        EXPECT_EQ(r.code, 2) << c.args;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message) << c.args;
    }
    // A command's own options, and their values, are not taken for unknown ones.
    Result r = ctl("--port 29 journal alarms --format txt -o -dash.txt --partial");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.err.find("неизвестный"), std::string::npos) << r.err;
}

// Refused before any port is opened (COM29 has no device behind it): a
// repeated option, a number written otherwise than in decimal, a fraction
// where a whole number is wanted, an address outside 1..247, a configuration
// file that is not there.
TEST_F(CliTest, AmbiguousOrMisspelledValuesAreUsageErrors) {
    const std::string folder = std::getenv("LUMA10_CONFIG_DIR");
    const std::string kCoefficientUsage =
        "gas --coefficient НОМЕР ЗНАЧЕНИЕ: НОМЕР 1..14, ЗНАЧЕНИЕ десятичное число от 0";
    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"--port 29 thresholds --warn 10 --warn=20", "параметр --warn задан дважды"},
        {"--port 29 --timeout 100 --timeout 200 info", "параметр --timeout задан дважды"},
        {"--echo --port 29 --echo info", "параметр --echo задан дважды"},
        {"--port 29 clock --set-now --set-now", "параметр --set-now задан дважды"},
        // Every command reads its options as declared, "--name=value" too.
        {"--port 29 journal threshold1 --format=xml", "недопустимый формат: xml (csv или txt)"},
        {"--port 29 journal threshold1 -o a -o b", "параметр -o задан дважды"},
        {"--port 29 calibrate span --concentration=150", "концентрация должна быть числом от 0.01 до 100"},
        {"--port 29 gas --coefficient 3 0x10", kCoefficientUsage},
        {"--port 29 gas --coefficient 3 1e1", kCoefficientUsage},
        {"--port 29 thresholds --alarm 12.5", "thresholds --alarm: целое число от 0 до 100"},
        {"--port 29 poll --from 0", "недопустимое значение --from: 0 (целое число от 1 до 247)"},
        {"--port 29 poll --to 248", "недопустимое значение --to: 248 (целое число от 1 до 247)"},
        {"--port 29 --config " + folder + "/absent.json info", "файл конфигурации " + folder + "/absent.json не найден"},
        {"--config " + folder + " settings", "файл конфигурации " + folder + " - это папка"},
    };
    for (const auto& c : cases) {
        Result r = ctl(c.args);
        EXPECT_EQ(r.code, 2) << c.args;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "luma10ctl: " + c.message) << c.args;
    }
    EXPECT_EQ(ctl("--port 29 calibrate span --concentration 0x10").code, 2);
    // The usage states the addresses poll accepts.
    EXPECT_NE(ctl("--help").out.find("ОТ..ДО (1..247, без них 1..55)"), std::string::npos);
}

TEST_F(CliTest, PortFailureOfALinkCommandIsOneCategoryLine) {
    // No operation line before it: "<category>: <message>", as every failure.
    for (const char* args : {"--port 29 info", "--port 29 watch", "--port 29 journal alarms"}) {
        Result r = ctl(args);
        EXPECT_EQ(r.code, 1) << args;
        EXPECT_EQ(r.err.rfind("COM-порт: Ошибка открытия порта", 0), 0u) << args << ":\n" << r.err;
        EXPECT_EQ(r.err.find("Открытие порта"), std::string::npos) << args << ":\n" << r.err;
    }
}

}  // namespace
