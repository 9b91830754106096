// Running luma10ctl from a test: its exit code and what it printed, caught in
// files of the test's own configuration folder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/simulator.h"
#include "tests/link/pty_peer.h"

namespace ctl_test {

struct Result {
    int code = -1;
    std::string out, err;
};

inline std::string slurp(const std::filesystem::path& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A response time-out for a device that must answer: on a busy two-core
// machine, or under a sanitizer, the simulator's thread answers late, and a
// late answer must not turn into a failed exchange. Tests that need silence
// to fail quickly pass a short one of their own.
constexpr unsigned kRoomyTimeoutMs = 3000;

// Runs luma10ctl with args (a shell word list).
inline Result ctl(const std::string& args) {
    testing_peer::use_temp_config_dir();
    const std::filesystem::path dir = std::getenv("LUMA10_CONFIG_DIR");
    const std::string tag = std::to_string(::getpid());
    const std::filesystem::path out = dir / ("ctl_out_" + tag), err = dir / ("ctl_err_" + tag);
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
