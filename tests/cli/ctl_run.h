// Running luma10ctl from a test: its exit code and what it printed, caught in
// files of the test's own configuration folder.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulator.h"
#include "tests/link/pty_peer.h"
#include "tests/scratch.h"

extern char** environ;

namespace ctl_test {

struct Result {
    int code = -1;
    std::string out, err;
};

using scratch::slurp;

// Waits for done, looking every 20 ms; false when ms passed first.
inline bool wait_for(const std::function<bool()>& done, int ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A response time-out for a device that must answer: on a busy two-core
// machine, or under a sanitizer, the simulator's thread answers late, and a
// late answer must not turn into a failed exchange. Tests that need silence
// to fail quickly pass a short one of their own.
constexpr unsigned kRoomyTimeoutMs = 3000;

// Where ctl catches luma10ctl's standard output and error.
inline std::filesystem::path ctl_file(const char* stream) {
    testing_peer::use_temp_config_dir();
    return std::filesystem::path(std::getenv("LUMA10_CONFIG_DIR")) / ("ctl_" + std::string(stream) + "_" +
                                                                      std::to_string(::getpid()));
}

// Runs luma10ctl with args (a shell word list).
inline Result ctl(const std::string& args) {
    const std::filesystem::path out = ctl_file("out"), err = ctl_file("err");
    const std::string cmd = std::string(LUMA10CTL_PATH) + " " + args + " >" + out.string() + " 2>" + err.string();
    const int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

// Starts program with args, its input from /dev/null, its output and error
// into the files out and err; env is its whole environment (this process's
// when empty). Returns its pid, or -1.
inline pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::filesystem::path& out, const std::filesystem::path& err,
                   std::vector<std::string> env = {}) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {program.string()};
    all.insert(all.end(), args.begin(), args.end());
    if (env.empty())
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& a : all) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// luma10ctl started with args as ctl runs it, left running; its pid or -1.
inline pid_t ctl_start(const std::vector<std::string>& args) {
    return spawn(LUMA10CTL_PATH, args, ctl_file("out"), ctl_file("err"));
}

// A simulator options set with a steady concentration and no log; owner
// holds the adjustment mode.
inline sim::Options_t quiet(int owner = 0) {
    sim::Options_t o;
    o.drift = 0;
    o.log = [](const std::string&) {};
    o.owner = owner;
    return o;
}

// Starts the simulator s; a failure carries its reason.
inline ::testing::AssertionResult started(sim::Simulator_t& s) {
    std::string e;
    if (s.start(&e)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << e;
}

}  // namespace ctl_test
