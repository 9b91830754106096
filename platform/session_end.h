// The part of plat::on_session_end both platforms share: the program's
// function, set on any thread and called on the thread that learns of the
// session's end (the signal watcher on Linux, the console handler's thread on
// Windows).
#pragma once

#include <functional>
#include <mutex>

namespace plat::session_end {

struct Slot {
    std::mutex m;
    std::function<void(int)> fn;
};
// Never destroyed: the thread that calls it may still read it while the
// program exits.
inline Slot& slot() {
    static Slot* s = new Slot;
    return *s;
}

inline void set(std::function<void(int)> fn) {
    std::lock_guard<std::mutex> g(slot().m);
    slot().fn = std::move(fn);
}

// Calls the function set last, if any, outside the lock.
inline void call(int sig) {
    std::function<void(int)> fn;
    {
        std::lock_guard<std::mutex> g(slot().m);
        fn = slot().fn;
    }
    if (fn) fn(sig);
}

}  // namespace plat::session_end
