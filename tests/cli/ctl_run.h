// Running luma10ctl from a test: its exit code and what it printed, caught in
// files of the test's own configuration folder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "sim/simulator.h"
#include "tests/link/pty_peer.h"
#include "tests/scratch.h"

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

// A simulator options set with a steady concentration and no log.
inline sim::Options_t quiet() {
    sim::Options_t o;
    o.drift = 0;
    o.log = [](const std::string&) {};
    return o;
}

}  // namespace ctl_test
