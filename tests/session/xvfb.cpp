#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace testx {

bool OnPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string all = path;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string file = all.substr(start, end - start) + "/" + name;
        if (access(file.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

namespace {

// Display numbers from here up: low numbers may belong to a desktop, and a
// display another process already serves on its abstract socket would take
// the clients of this one.
constexpr int kFirstDisplay = 90;

bool display_taken(int n) {
    return access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0 ||
           access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0;
}

}  // namespace

Xvfb::Xvfb() {
    if (!OnPath("Xvfb")) {
        why_ = "Xvfb is not installed (apt-get install xvfb)";
        return;
    }
    for (int n = kFirstDisplay + int(getpid() % 50) * 3, tries = 0; tries < 40; ++n, ++tries) {
        if (display_taken(n)) continue;
        if (Start(n)) return;
        if (why_ != "Xvfb did not report a display") return;
    }
}

bool Xvfb::Start(int n) {
    int fds[2];
    if (pipe(fds) != 0) {
        why_ = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    // The read end is closed first: it may be descriptor 3 itself.
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 3);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    // -noreset: by default the server resets when its last client leaves and
    // refuses connections meanwhile, so a probe's leaving could turn away
    // the program that comes next.
    std::vector<std::string> args = {"Xvfb", ":" + std::to_string(n), "-displayfd", "3", "-noreset",
                                     "-nolisten", "tcp", "-screen", "0", "1280x1024x24"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "Xvfb", &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        why_ = "Xvfb could not be started";
        return false;
    }
    pid_ = pid;
    // Xvfb writes its display number once it is ready for clients.
    std::string number;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[32];
        const ssize_t got = read(fds[0], buf, sizeof buf);
        if (got <= 0) break;  // Xvfb ended: the display was taken after all
        number.append(buf, size_t(got));
        if (number.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
    if (number.empty()) {
        why_ = "Xvfb did not report a display";
        Kill();
        return false;
    }
    // The number comes before the server takes clients: wait until it does.
    const std::string name = ":" + number;
    while (std::chrono::steady_clock::now() < end) {
        if (::Display* d = XOpenDisplay(name.c_str())) {
            XCloseDisplay(d);
            display_ = name;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why_ = "Xvfb took no clients";
    Kill();
    return true;  // not worth another number
}

void Xvfb::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int st = 0;
        waitpid(pid_, &st, 0);
    }
}

}  // namespace testx
