// Signals that end a program. Console programs poll: after catch_interrupts(),
// SIGINT and SIGTERM only raise a flag, so the program can close its port and
// end cleanly instead of being killed mid-exchange. A windowed program is told
// instead: on_session_end() turns SIGINT, SIGTERM and SIGHUP (the terminal or
// the desktop session going away) into a call on a thread of its own, from
// which it can ask its window thread to close.
#pragma once

#include <functional>

namespace plat {

void catch_interrupts();
bool interrupted();

// Installs the handlers for SIGINT, SIGTERM and SIGHUP once; every signal
// that arrives afterwards calls fn(signal number) on a thread that does
// nothing else (never inside the signal handler). A later call replaces fn.
void on_session_end(std::function<void(int)> fn);

}  // namespace plat
