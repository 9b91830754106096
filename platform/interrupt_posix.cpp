#include "platform/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <thread>

#include "platform/session_end.h"

namespace plat {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void on_signal(int) { g_interrupted = 1; }

// The self-pipe of on_session_end: the handler writes the signal number, the
// watcher thread reads it and calls the program's function.
int g_pipe[2] = {-1, -1};

void on_session_signal(int sig) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    // A full pipe already holds a wake-up; losing this byte changes nothing.
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &b, 1);
    errno = saved;
}

void watch() {
    for (;;) {
        unsigned char b = 0;
        const ssize_t n = read(g_pipe[0], &b, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        session_end::call(int(b));
    }
}

}  // namespace

void catch_interrupts() {
    struct sigaction sa {};
    sa.sa_handler = &on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool interrupted() { return g_interrupted != 0; }

void on_session_end(std::function<void(int)> fn) {
    session_end::set(std::move(fn));
    static std::once_flag once;
    std::call_once(once, [] {
        if (pipe2(g_pipe, O_CLOEXEC) != 0) return;
        fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
        std::thread(watch).detach();
        struct sigaction sa {};
        sa.sa_handler = &on_session_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
    });
}

}  // namespace plat
