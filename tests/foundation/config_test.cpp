#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "foundation/app_config.h"
#include "foundation/safe_file.h"
#include "foundation/time_services.h"
#include "tests/scratch.h"
#include "tests/foundation/same_settings.h"

namespace fs = std::filesystem;

namespace {

class ConfigFile : public scratch::Test {
protected:
    ConfigFile() : scratch::Test("luma_cfg", "luma10.json") {}

    void put(const std::string& name, const std::string& content) {
        std::ofstream(name, std::ios::binary) << content;
    }
    static std::string get(const std::string& name) { return scratch::slurp(name); }
    bool has(const std::string& suffix) { return fs::exists(path_ + suffix); }
    bool no_companions() {
        return !has(".fswwb_new") && !has(".fswwb_original_backup") && !has(".fswwb_creatingnow");
    }
};

// A file as the program writes it, with one piece of text replaced.
std::string config_text(const std::string& from = "", const std::string& to = "") {
    AppSettings_t s;
    s.connection.port_settings.speed = 19200;
    s.connection.port_settings.port = 3;
    s.connection.port_settings.parity = 2;
    s.connection.port_settings.stop_bits = 2;
    s.connection.port_settings.permanent_echo = 1;
    s.connection.port_settings.before_send_delay = 15;
    s.connection.timeout = 700;
    s.connection.block_id = 7;
    s.balloon_strength = 2.5;
    std::string t = SettingsToJson(s);
    if (!from.empty()) {
        size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) t.replace(at, from.size(), to);
    }
    return t;
}

AppSettings_t parsed(const std::string& json) {
    AppSettings_t s;
    s.connection.port_settings.speed = 1234;  // not a start-up value: shows what was kept
    s.balloon_strength = 50.0;
    SettingsFromJson(json, s);
    return s;
}

}  // namespace

TEST_F(ConfigFile, WrittenTextHasTheKeyOrderAndTypes) {
    EXPECT_EQ(SettingsToJson(AppSettings_t{}),
              "{\n"
              "    \"app_config\": {\n"
              "        \"connection\": {\n"
              "            \"block_id\": 1,\n"
              "            \"driver_config\": {\n"
              "                \"port_config\": {\n"
              "                    \"port\": 1,\n"
              "                    \"speed\": 9600,\n"
              "                    \"parity\": 0,\n"
              "                    \"stop_bits\": 0,\n"
              "                    \"permanent_echo\": false,\n"
              "                    \"before_send_delay\": 0\n"
              "                },\n"
              "                \"timeout\": 1000\n"
              "            }\n"
              "        },\n"
              "        \"params\": {\n"
              "            \"balloon_strength\": 10.0\n"
              "        }\n"
              "    }\n"
              "}");
}

TEST_F(ConfigFile, FirstSaveCreatesTheFileAndLoadGivesItBack) {
    AppSettings_t s;
    LoadSettings(s, path_);  // no file: start-up values stay
    EXPECT_TRUE(same(s, AppSettings_t{}));

    SettingsFromJson(config_text(), s);
    SaveSettings(s, path_);
    EXPECT_TRUE(fs::exists(path_));
    EXPECT_TRUE(no_companions());

    AppSettings_t back;
    LoadSettings(back, path_);
    EXPECT_TRUE(same(back, s));
    EXPECT_EQ(back.connection.port_settings.speed, 19200u);
    EXPECT_EQ(back.balloon_strength, 2.5);

    s.connection.block_id = 99;
    SaveSettings(s, path_);  // replacing an existing file
    LoadSettings(back, path_);
    EXPECT_EQ(back.connection.block_id, 99);
    EXPECT_TRUE(no_companions());
}

TEST_F(ConfigFile, ConnectionPartIsAllOrNothing) {
    AppSettings_t start;  // start-up values

    // Missing before_send_delay: the connection part keeps what it had, the
    // concentration is still taken.
    AppSettings_t s = parsed(config_text(",\n                    \"before_send_delay\": 15", ""));
    EXPECT_EQ(s.connection.port_settings.speed, 1234u);
    EXPECT_EQ(s.balloon_strength, 2.5);

    // Missing permanent_echo: taken, echo off.
    s = parsed(config_text("\"permanent_echo\": true,", ""));
    EXPECT_EQ(s.connection.port_settings.speed, 19200u);
    EXPECT_EQ(s.connection.port_settings.permanent_echo, 0);
    EXPECT_EQ(s.connection.block_id, 7);

    // A real number for permanent_echo counts as a flag; a string does not.
    EXPECT_EQ(parsed(config_text("true", "0.5")).connection.port_settings.permanent_echo, 1);
    s = parsed(config_text("true", "\"yes\""));
    EXPECT_EQ(s.connection.port_settings.speed, 19200u);
    EXPECT_EQ(s.connection.port_settings.permanent_echo, 0);

    // Not-readable values of unsigned fields spoil the whole part.
    for (const char* bad : {"-1", "\"2\"", "null", "true", "-0.5", "1e30", "[2]"}) {
        s = parsed(config_text("\"parity\": 2", std::string("\"parity\": ") + bad));
        EXPECT_EQ(s.connection.port_settings.speed, 1234u) << bad;
        EXPECT_EQ(s.connection.block_id, start.connection.block_id) << bad;
    }
    // No "app_config", or no JSON at all: nothing changes.
    EXPECT_EQ(parsed("{\"other\": {}}").balloon_strength, 50.0);
    EXPECT_EQ(parsed("{\"app_config\": ").balloon_strength, 50.0);
    EXPECT_EQ(parsed("").balloon_strength, 50.0);
}

// No number is cut to fit: the block address 256 would be 0, the broadcast.
// An address outside 1..247, or a number its field cannot hold, spoils the
// connection part (start-up values).
TEST_F(ConfigFile, NumbersOutsideTheirRangeAreUnreadable) {
    const AppSettings_t start;
    for (const char* bad : {"0", "248", "256", "257", "1.8e19"}) {
        const AppSettings_t s = parsed(config_text("\"block_id\": 7", std::string("\"block_id\": ") + bad));
        EXPECT_EQ(s.connection.block_id, start.connection.block_id) << bad;
        EXPECT_EQ(s.connection.port_settings.speed, 1234u) << bad;  // the whole part kept
    }
    EXPECT_EQ(parsed(config_text("\"block_id\": 7", "\"block_id\": 247")).connection.block_id, 247);
    // Other fields are never cut to fit either: the whole part is unreadable.
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"port\": 3", "\"port\": 300"},
                                   {"\"timeout\": 700", "\"timeout\": 65537"},
                                   {"\"port\": 3", "\"port\": 300.0"},
                                   {"\"speed\": 19200", "\"speed\": 4294967297"},
                                   {"\"timeout\": 700", "\"timeout\": 700.5"}}) {
        const AppSettings_t s = parsed(config_text(from, to));
        EXPECT_EQ(s.connection.port_settings.port, start.connection.port_settings.port) << to;
        EXPECT_EQ(s.connection.timeout, start.connection.timeout) << to;
        EXPECT_EQ(s.connection.port_settings.speed, 1234u) << to;
    }
    // A whole number written as a real is still that number.
    EXPECT_EQ(parsed(config_text("\"speed\": 19200", "\"speed\": 9600.0")).connection.port_settings.speed, 9600u);
}

TEST_F(ConfigFile, BalloonStrengthOnlyAsARealNumberWithinItsRange) {
    EXPECT_EQ(parsed(config_text("2.5", "12")).balloon_strength, 50.0);
    EXPECT_EQ(parsed(config_text("2.5", "12.0")).balloon_strength, 12.0);
    EXPECT_EQ(parsed(config_text("2.5", "1.2e1")).balloon_strength, 12.0);
    EXPECT_EQ(parsed(config_text("2.5", "\"12.0\"")).balloon_strength, 50.0);
    EXPECT_EQ(parsed(config_text("2.5", "250.0")).balloon_strength, 100.0);
    EXPECT_EQ(parsed(config_text("2.5", "-3.0")).balloon_strength, 0.01);
    EXPECT_EQ(parsed(config_text("2.5", "0.0")).balloon_strength, 0.01);
    EXPECT_EQ(parsed(config_text("2.5", "12.3456")).balloon_strength, 12.35);
}

TEST_F(ConfigFile, ReadRepairsAnInterruptedReplacement) {
    // Killed after the old file became the backup, before the new one took its name.
    std::string fresh = config_text("\"block_id\": 7", "\"block_id\": 42");
    put(path_ + ".fswwb_new", fresh);
    put(path_ + ".fswwb_original_backup", config_text());
    AppSettings_t s;
    LoadSettings(s, path_);
    EXPECT_EQ(s.connection.block_id, 42);
    EXPECT_EQ(get(path_), fresh);
    EXPECT_TRUE(no_companions());

    // Killed between the two renames of a replacement that had only the backup.
    fs::remove(path_);
    put(path_ + ".fswwb_original_backup", config_text());
    LoadSettings(s, path_);
    EXPECT_EQ(s.connection.block_id, 7);
    EXPECT_TRUE(no_companions());

    // With the file in place, leftovers are simply removed.
    put(path_ + ".fswwb_new", "{half");
    put(path_ + ".fswwb_creatingnow", "");
    LoadSettings(s, path_);
    EXPECT_EQ(s.connection.block_id, 7);
    EXPECT_TRUE(no_companions());
}

TEST_F(ConfigFile, ReadDiscardsAnInterruptedFirstCreation) {
    put(path_ + ".fswwb_new", config_text().substr(0, 100));
    put(path_ + ".fswwb_creatingnow", "");
    AppSettings_t s;
    LoadSettings(s, path_);
    EXPECT_TRUE(same(s, AppSettings_t{}));
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(no_companions());
}

TEST_F(ConfigFile, FailedWriteLeavesTheOldFile) {
    const std::string old = config_text();
    put(path_, old);
    AppSettings_t s;
    s.balloon_strength = 77.0;

    // The new file cannot be created at all.
    fs::create_directory(path_ + ".fswwb_new");
    EXPECT_EQ(WriteFileSafely(path_, SettingsToJson(s)), 0u);
    EXPECT_EQ(get(path_), old);
    fs::remove(path_ + ".fswwb_new");

    // The disk fills up while writing: a file size limit makes write() fail
    // part-way, as a full disk does. Done in a child, which the limit then binds.
    auto write_with_limit = [&](const std::string& name) {
        pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit lim = {64, 64};
            setrlimit(RLIMIT_FSIZE, &lim);
            std::string big(5000, 'x');
            _exit(WriteFileSafely(name, big) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_TRUE(write_with_limit(path_));
    EXPECT_EQ(get(path_), old);
    EXPECT_TRUE(no_companions());

    // A first creation that fails leaves neither a file nor its marker.
    fs::remove(path_);
    EXPECT_TRUE(write_with_limit(path_));
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(no_companions());

    // The name is taken by a folder: nothing can be put in its place.
    fs::create_directory(path_);
    EXPECT_EQ(WriteFileSafely(path_, old), 0u);
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_TRUE(no_companions());
}

TEST_F(ConfigFile, KilledWriterAlwaysLeavesAWholeOldOrNewRecord) {
    AppSettings_t a, b;
    SettingsFromJson(config_text(), a);
    b = a;
    b.connection.port_settings.speed = 115200;
    b.connection.block_id = 200;
    b.balloon_strength = 55.5;

    // Kill points spread over about four saves, whatever the disk's speed.
    Stopwatch_t sw;
    for (int k = 0; k < 4; ++k) SaveSettings(a, path_);
    int span_us = static_cast<int>(sw.ElapsedMs() * 1000) + 1000;

    std::mt19937 rng(12345);
    int seen_a = 0, seen_b = 0;
    for (int round = 0; round < 80; ++round) {
        // Every tenth round starts without a file, to cut first creations too.
        if (round % 10 == 0) fs::remove(path_);
        bool from_scratch = !fs::exists(path_);
        // On odd rounds the kill waits until the child has saved once (b
        // first), so both records are met however slowly a loaded machine or
        // a sanitizer lets the child start; even rounds may cut anywhere.
        const bool after_first_save = round % 2 == 1;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            close(ready[0]);
            for (unsigned k = 0;; ++k) {
                SaveSettings(k % 2 ? a : b, path_);
                if (k == 0) {
                    const char c = 1;
                    (void)!write(ready[1], &c, 1);
                }
            }
        }
        close(ready[1]);
        if (after_first_save) {
            char c;
            (void)!read(ready[0], &c, 1);
        }
        usleep(std::uniform_int_distribution<int>(0, span_us)(rng));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(ready[0]);  // kept open till now: a closed pipe would end the child early

        AppSettings_t got;
        got.connection.port_settings.speed = 1;  // marks "nothing loaded"
        LoadSettings(got, path_);
        if (same(got, a)) {
            ++seen_a;
        } else if (same(got, b)) {
            ++seen_b;
        } else {
            AppSettings_t none;
            none.connection.port_settings.speed = 1;
            ASSERT_TRUE(from_scratch && same(got, none)) << "round " << round << ":\n" << get(path_);
            // Nothing half-made is left to be taken for a file later.
            ASSERT_FALSE(fs::exists(path_)) << "round " << round;
        }
        ASSERT_TRUE(no_companions()) << "round " << round;
    }
    EXPECT_GT(seen_a, 0);
    EXPECT_GT(seen_b, 0);
}

TEST_F(ConfigFile, DeeplyNestedTextMeansTheStartUpValues) {
    // Far deeper than a recursive parse survives on an ordinary stack.
    std::string deep = "{\"app_config\":" + std::string(150000, '[');
    put(path_, deep);
    AppSettings_t s;
    LoadSettings(s, path_);
    EXPECT_TRUE(same(s, AppSettings_t{}));

    // Closed, it is valid JSON but no "app_config" object; inside the
    // connection part it is just an unreadable value.
    EXPECT_EQ(parsed(deep + std::string(150000, ']') + "}").balloon_strength, 50.0);
    s = parsed(config_text("\"port\": 3", "\"port\": " + std::string(100000, '[') + std::string(100000, ']')));
    EXPECT_EQ(s.connection.port_settings.speed, 1234u);
    EXPECT_EQ(s.balloon_strength, 2.5);
}

TEST_F(ConfigFile, WriteWithoutReadRepairsFirst) {
    // Killed between the two renames, and the next run saves before it loads.
    // Until the save is complete, the disk must still hold the content of the
    // complete .fswwb_new under a name the next read takes.
    const std::string fresh = config_text("\"block_id\": 7", "\"block_id\": 42");
    put(path_ + ".fswwb_new", fresh);
    put(path_ + ".fswwb_original_backup", config_text());
    {
        SafeFile_t f(path_);
        ASSERT_TRUE(f.OpenWrite());
        EXPECT_EQ(f.state(), SafeFile_t::kReplacing);
        // A kill now leaves what is on disk: copy it and read the copy.
        const fs::path crash = dir_ / "crash";
        fs::create_directories(crash);
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.is_regular_file()) fs::copy_file(e.path(), crash / e.path().filename());
        AppSettings_t s;
        LoadSettings(s, (crash / "luma10.json").string());
        EXPECT_EQ(s.connection.block_id, 42);
        EXPECT_TRUE(f.Write("{}", 2));
        EXPECT_TRUE(f.Commit());
    }
    EXPECT_EQ(get(path_), "{}");
    EXPECT_TRUE(no_companions());

    // Only a backup: the save replaces it as it would replace the file.
    fs::remove(path_);
    put(path_ + ".fswwb_original_backup", fresh);
    {
        SafeFile_t f(path_);
        ASSERT_TRUE(f.OpenWrite());
        EXPECT_EQ(f.state(), SafeFile_t::kReplacing);
        EXPECT_EQ(get(path_), fresh);
    }
    EXPECT_TRUE(no_companions());
}

// Only a regular file is read: a device would fill the memory, a FIFO without
// a writer would block the start for ever. Neither is replaced at exit.
TEST_F(ConfigFile, DeviceOrFifoMeansTheStartUpValuesAndStaysInPlace) {
    fs::create_symlink("/dev/zero", path_);
    AppSettings_t s;
    ConfigLoad_t r = LoadSettings(s, path_);
    EXPECT_EQ(r.outcome, ConfigLoad_t::kNotRegular);
    EXPECT_FALSE(r.save_at_exit);
    EXPECT_NE(r.message.find(path_), std::string::npos) << r.message;
    EXPECT_TRUE(same(s, AppSettings_t{}));
    SaveSettings(s, path_);
    EXPECT_TRUE(fs::is_symlink(path_));

    fs::remove(path_);
    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
    r = LoadSettings(s, path_);
    EXPECT_EQ(r.outcome, ConfigLoad_t::kNotRegular);
    EXPECT_EQ(WriteFileSafely(path_, SettingsToJson(s)), 0u);
    EXPECT_TRUE(fs::is_fifo(path_));
    EXPECT_TRUE(no_companions());
}

// A damaged or oversized file is not lost to the save at exit: it is put
// aside as .bad, and the message says where.
TEST_F(ConfigFile, MalformedOrOversizedFileIsKeptAsBad) {
    const std::string damaged = config_text("\"app_config\"", "\"app_\xff" "config\"");
    put(path_, damaged);
    AppSettings_t s;
    ConfigLoad_t r = LoadSettings(s, path_);
    EXPECT_EQ(r.outcome, ConfigLoad_t::kMalformed);
    EXPECT_TRUE(r.save_at_exit);
    EXPECT_NE(r.message.find(path_ + ".bad"), std::string::npos) << r.message;
    EXPECT_TRUE(same(s, AppSettings_t{}));
    SaveSettings(s, path_);
    EXPECT_EQ(get(path_ + ".bad"), damaged);

    put(path_, config_text() + std::string(kConfigFileMaxBytes, ' '));
    r = LoadSettings(s, path_);
    EXPECT_EQ(r.outcome, ConfigLoad_t::kTooLarge);
    EXPECT_TRUE(same(s, AppSettings_t{}));
    EXPECT_EQ(fs::file_size(path_ + ".bad"), config_text().size() + kConfigFileMaxBytes);
}

// Links planted under the companions' names (in a folder shared with another
// user, say) are never written through: the save creates its own files.
TEST_F(ConfigFile, PlantedCompanionLinksAreNotWrittenThrough) {
    const fs::path target_new = dir_ / "target_new", target_marker = dir_ / "target_marker";
    fs::create_symlink(target_new, path_ + ".fswwb_new");
    fs::create_symlink(target_marker, path_ + ".fswwb_creatingnow");
    AppSettings_t s;
    s.balloon_strength = 33.0;
    SaveSettings(s, path_);  // a first creation
    EXPECT_FALSE(fs::exists(target_new));
    EXPECT_FALSE(fs::exists(target_marker));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path_)));
    EXPECT_TRUE(no_companions());

    fs::create_symlink(target_new, path_ + ".fswwb_new");
    s.balloon_strength = 44.0;
    SaveSettings(s, path_);  // a replacement
    EXPECT_FALSE(fs::exists(target_new));
    AppSettings_t back;
    EXPECT_EQ(LoadSettings(back, path_).outcome, ConfigLoad_t::kLoaded);
    EXPECT_EQ(back.balloon_strength, 44.0);
}
