#include "platform/interrupt.h"

#include <csignal>

namespace plat {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void on_signal(int) { g_interrupted = 1; }

}  // namespace

void catch_interrupts() {
    struct sigaction sa {};
    sa.sa_handler = &on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool interrupted() { return g_interrupted != 0; }

}  // namespace plat
