#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
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

namespace {

// The window the root's _NET_SUPPORTING_WM_CHECK names, when that window
// exists and names itself the same way: then a compliant window manager
// runs on the display.
bool wm_has_display(::Display* d) {
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    auto named = [&](::Window w) -> ::Window {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        ::Window r = 0;
        if (XGetWindowProperty(d, w, check, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) ==
                Success &&
            data) {
            if (type == XA_WINDOW && format == 32 && n == 1) r = *reinterpret_cast<::Window*>(data);
            XFree(data);
        }
        return r;
    };
    const ::Window w = named(DefaultRootWindow(d));
    if (!w) return false;
    // A stale property from a manager that has gone names a missing window:
    // asking that window raises BadWindow, which the handler swallows.
    auto* old = XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    const bool ok = named(w) == w;
    XSync(d, False);
    XSetErrorHandler(old);
    return ok;
}

}  // namespace

bool Xvfb::StartWindowManager(const char* name) {
    if (!Ok()) return false;
    if (!OnPath(name)) {
        why_ = std::string(name) + " is not installed (apt-get install " + name + ")";
        return false;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
    env.push_back("DISPLAY=" + display_);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {name};
    if (std::string(name) == "openbox") args.push_back("--sm-disable");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, name, &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        why_ = std::string(name) + " could not be started";
        return false;
    }
    wm_pid_ = pid;
    ::Display* d = XOpenDisplay(display_.c_str());
    if (!d) {
        why_ = "the display went away";
        StopWindowManager();
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool up = false;
    while (!up && std::chrono::steady_clock::now() < end) {
        up = wm_has_display(d);
        int st = 0;
        if (!up && waitpid(wm_pid_, &st, WNOHANG) == wm_pid_) {
            wm_pid_ = -1;
            break;
        }
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XCloseDisplay(d);
    if (!up) {
        why_ = std::string(name) + " did not take the display";
        StopWindowManager();
    }
    return up;
}

void Xvfb::StopWindowManager() {
    if (wm_pid_ <= 0) return;
    kill(wm_pid_, SIGTERM);
    int st = 0;
    waitpid(wm_pid_, &st, 0);
    wm_pid_ = -1;
}

void Xvfb::Kill() {
    StopWindowManager();
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
}

Xvfb::~Xvfb() {
    StopWindowManager();
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int st = 0;
        waitpid(pid_, &st, 0);
    }
}

}  // namespace testx
