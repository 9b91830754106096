// However the desktop session ends — a signal or the display going away —
// luma10 takes its orderly way out: it stops, saves its settings, releases
// its lock and exits promptly, instead of spinning or crashing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "xvfb.h"
#include "xwindows.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kTitle = "КОНФИГУРАТОР ЛУМА-10";
constexpr const char* kLockName = "CE31DF424772820D528494BA32C11AC5.lock";

bool exists(const std::string& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0;
}

// The lock is free when this process can take it.
bool lock_is_free(const std::string& p) {
    const int fd = open(p.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return true;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

class Program {
public:
    Program(const std::string& display, const std::string& config_dir) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("SDL_VIDEODRIVER=", 0) == 0 ||
                v.rfind("LUMA10_CONFIG_DIR=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0)
                continue;
            env.push_back(v);
        }
        env.push_back("DISPLAY=" + display);
        env.push_back("LUMA10_CONFIG_DIR=" + config_dir);
        std::vector<char*> envp;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string bin = LUMA10_BINARY;
        char* argv[] = {bin.data(), nullptr};
        if (posix_spawn(&pid_, bin.c_str(), nullptr, nullptr, argv, envp.data()) != 0) pid_ = -1;
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int st;
            waitpid(pid_, &st, 0);
        }
    }
    pid_t Pid() const { return pid_; }
    // Waits up to the deadline; true with the wait status when it ended.
    bool WaitExit(std::chrono::milliseconds limit, int* status, std::chrono::milliseconds* took) {
        const auto start = Clock::now();
        while (Clock::now() - start < limit) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                *status = st;
                *took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

// Waits for the program's main window; on failure says what was there.
::testing::AssertionResult wait_for_window(const std::string& display, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    std::vector<testx::XWin> seen;
    while (Clock::now() < end) {
        seen = testx::TopLevelWindows(display);
        for (const auto& w : seen)
            if (w.mapped && w.title == kTitle) return ::testing::AssertionSuccess();
        std::this_thread::sleep_for(50ms);
    }
    auto r = ::testing::AssertionFailure() << "no window on " << display << "; windows:";
    for (const auto& w : seen) r << " [" << w.title << (w.mapped ? " mapped" : " unmapped") << "]";
    return r;
}

class SessionEnd : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/luma10-session-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string dir_;
};

// Generous: the exit itself takes well under two seconds, but a loaded
// machine must not fail the test.
constexpr auto kExitLimit = 15s;

TEST_F(SessionEnd, SignalsTakeTheWayOfClosingTheWindow) {
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        testx::Xvfb x;
        if (!x.Ok()) GTEST_SKIP() << x.Why();
        const std::string config = dir_ + "/luma10.json";
        unlink(config.c_str());
        Program p(x.Display(), dir_);
        ASSERT_GT(p.Pid(), 0);
        ASSERT_TRUE(wait_for_window(x.Display(), 60s)) << "program alive: " << (kill(p.Pid(), 0) == 0);
        ASSERT_FALSE(lock_is_free(dir_ + "/" + kLockName));
        kill(p.Pid(), sig);
        int st = 0;
        std::chrono::milliseconds took{};
        ASSERT_TRUE(p.WaitExit(kExitLimit, &st, &took)) << "still running";
        ASSERT_TRUE(WIFEXITED(st)) << "ended by signal " << (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
        EXPECT_EQ(WEXITSTATUS(st), 0);
        EXPECT_TRUE(exists(config)) << "settings not saved";
        EXPECT_TRUE(lock_is_free(dir_ + "/" + kLockName));
        std::printf("[ figures ] exit after %s: %lld ms\n", strsignal(sig), (long long)took.count());
    }
}

TEST_F(SessionEnd, LostDisplayEndsTheProgramWithItsSettingsSaved) {
    testx::Xvfb x;
    if (!x.Ok()) GTEST_SKIP() << x.Why();
    const std::string config = dir_ + "/luma10.json";
    Program p(x.Display(), dir_);
    ASSERT_GT(p.Pid(), 0);
    ASSERT_TRUE(wait_for_window(x.Display(), 60s));
    x.Kill();
    int st = 0;
    std::chrono::milliseconds took{};
    ASSERT_TRUE(p.WaitExit(kExitLimit, &st, &took)) << "still running (spinning?)";
    ASSERT_TRUE(WIFEXITED(st)) << "ended by signal " << (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_TRUE(exists(config)) << "settings not saved";
    EXPECT_TRUE(lock_is_free(dir_ + "/" + kLockName));
    std::printf("[ figures ] exit after the display was lost: %lld ms\n", (long long)took.count());
}

}  // namespace
