#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "foundation/instance_mutex.h"
#include "foundation/time_services.h"
#include "platform/thread.h"

namespace {
uint32_t fake_tick = 0;
uint32_t read_fake_tick() { return fake_tick; }
}  // namespace

TEST(Time, Tick64CountsWrapsOfTheSystemTick) {
    Tick64_t tick(&read_fake_tick);
    fake_tick = 0xFFFFFFF0u;
    EXPECT_EQ(tick.now(), 0xFFFFFFF0ull);
    fake_tick = 5;
    EXPECT_EQ(tick.now(), (1ull << 32) + 5);
    EXPECT_EQ(tick.now(), (1ull << 32) + 5);  // same tick again: no new wrap
    fake_tick = 0xFFFFFFFFu;
    EXPECT_EQ(tick.now(), (1ull << 32) + 0xFFFFFFFFull);
    fake_tick = 0;
    EXPECT_EQ(tick.now(), 2ull << 32);

    uint64_t a = Tick64();
    Stopwatch_t sw;
    plat::sleep_ms(20);
    EXPECT_GE(Tick64(), a + 19);
    EXPECT_GE(sw.ElapsedMs(), 19);
}

TEST(Time, ClockTextAndFileStamp) {
    plat::LocalTime_t t;
    t.year = 2025; t.month = 11; t.day = 3; t.hour = 9; t.minute = 5; t.second = 7;
    EXPECT_EQ(text::utf8(TimeText(t)), "9:05:07 03.11.2025");
    EXPECT_EQ(text::utf8(FileStamp(t)), "20251103_090507");
    t.hour = 23; t.year = 987;
    EXPECT_EQ(text::utf8(TimeText(t)), "23:05:07 03.11.0987");
    EXPECT_EQ(text::utf8(FileStamp(t)), "09871103_230507");

    plat::LocalTime_t now = plat::local_time();
    EXPECT_GE(now.year, 2024);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.weekday >= 0 && now.weekday <= 6);
}

TEST(InstanceMutex, SecondHolderSeesItExisted) {
    EXPECT_EQ(InstanceMutex_t::NameOf(kProgramAppId), "CE31DF424772820D528494BA32C11AC5");

    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("luma_mutex_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("LUMA10_CONFIG_DIR", dir.c_str(), 1);
    AppId_t id = {{1, 2, 3, 0xABCDEF01u}};

    bool existed = true;
    InstanceMutex_t first;
    ASSERT_TRUE(first.Create(id, &existed));
    EXPECT_FALSE(existed);
    EXPECT_TRUE(std::filesystem::exists(dir / "000000010000000200000003ABCDEF01.lock"));

    // Another process asks while this one holds it.
    pid_t child = fork();
    if (child == 0) {
        InstanceMutex_t other;
        bool e = false;
        _exit(other.Create(id, &e) && e ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    InstanceMutex_t second;
    ASSERT_TRUE(second.Create(id, &existed));
    EXPECT_TRUE(existed);

    first.Close();
    InstanceMutex_t third;
    ASSERT_TRUE(third.Create(id, &existed));
    EXPECT_FALSE(existed);

    unsetenv("LUMA10_CONFIG_DIR");
    std::filesystem::remove_all(dir);
}
