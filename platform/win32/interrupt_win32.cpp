#include "platform/interrupt.h"

#include <windows.h>

#include <csignal>
#include <mutex>

#include "platform/session_end.h"

namespace plat {

namespace {

volatile LONG g_interrupted = 0;

// Closing the console window, logging off and shutting down end the process
// as soon as the handler returns. The handler therefore holds on for a while,
// so the program's own ending (traffic stopped, port closed, settings saved)
// runs first; the process ends from main's return, with the handler still
// waiting. Windows allows about five seconds for a closed console.
bool ends_process(DWORD type) {
    return type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
}

constexpr DWORD kEndingGraceMs = 4500;

BOOL WINAPI on_console_interrupt(DWORD type) {
    InterlockedExchange(&g_interrupted, 1);
    if (ends_process(type)) Sleep(kEndingGraceMs);
    return TRUE;
}

// Console control handlers run on a thread the system starts for them, never
// inside an interrupted call: the program's function is called right there.
BOOL WINAPI on_console_session_end(DWORD type) {
    session_end::call(type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT ? SIGINT : SIGTERM);
    if (ends_process(type)) Sleep(kEndingGraceMs);
    return TRUE;
}

}  // namespace

void catch_interrupts() { SetConsoleCtrlHandler(&on_console_interrupt, TRUE); }

bool interrupted() { return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0; }

void on_session_end(std::function<void(int)> fn) {
    session_end::set(std::move(fn));
    static std::once_flag once;
    std::call_once(once, [] { SetConsoleCtrlHandler(&on_console_session_end, TRUE); });
}

}  // namespace plat
