// The window thread: the toolkit options, the message loop with its nesting
// count, the dispatcher of tasks posted from other threads, calls on the
// window thread, and timers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/task.h"
#include "toolkit/types.h"

namespace UIK {

class GForm;

// Options read once from the named settings store and cached for the run.
struct GOptions {
    bool show_native_window_title = false;
    bool all_forms_have_size_box = false;
    bool allow_ask_user_permission_at_mouse = false;
    bool default_fullscreen_forms = true;
    bool smooth_controls_moving = true;
    bool designer_mode = false;
    bool allow_forms_moving = false;
    bool allow_maximize_button = false;
    bool screenshot_mode = false;
};
// Reads the store now (not cached).
GOptions ReadOptions();
// The cached options: read at the first call.
const GOptions& Options();

namespace App {

// Runs the message loop until form's native window is gone (form null: until
// Quit). The outermost loop makes the window thread's dispatcher and removes
// it on leaving. Returns the number of loops still running after it.
int RunMessageLoop(GForm* form);
// Ends every running loop: each one takes the messages already queued and
// leaves. Safe from any thread; a loop that starts before the outermost one
// has ended leaves at once too.
void Quit();
// What to do when the display connection is lost: fn runs once on the window
// thread, must not touch any window, and returns the exit status; the
// process then ends without static destructors. Null: exit status 1.
void SetDisplayLostHandler(int (*fn)());
// Number of running message loops (nesting count).
int LoopNesting();
// Handles every event and task already queued without waiting (tests use it
// to let the toolkit catch up). Runs on the window thread.
void ProcessPending();
// Runs the loop until pred() holds or timeout_ms passes; true when pred held.
bool RunUntil(const std::function<bool()>& pred, int timeout_ms);

// Calls fn on the window thread after the message being handled: the way
// button clicks are deferred. From another thread it needs a running loop
// (false without one).
bool Defer(std::function<void()> fn);

}  // namespace App

// Window-side tasks.
namespace Async {
namespace details {

// The same task type the workers run.
using ::ITask;
using ::Task_T;

}  // namespace details

// Hands a task to the window thread. wait false: the task is queued, run on
// the window thread and destroyed there; the call returns 1. wait true: the
// caller blocks until the window thread has run the task (the caller keeps
// ownership) and gets 1; if the loop ends first the call returns 0 without
// the task having run. Without a running loop nothing is posted and the call
// returns 0 (an unposted task is destroyed when wait is false).
int PostToWindowThread(details::ITask* task, bool wait);

template <typename F>
int Post(F f, bool wait) {
    if (wait) {
        details::Task_T<F> t(std::move(f));
        return PostToWindowThread(&t, true);
    }
    return PostToWindowThread(new details::Task_T<F>(std::move(f)), false);
}

// Calls fn (with or without the argument) on the window thread from its
// message loop; false when no loop runs.
bool CallOnWindowThread(void (*fn)(void*), void* arg);
bool CallOnWindowThread(void (*fn)());

// Tasks queued but not yet run.
int PendingCount();

}  // namespace Async

// A timer of the window thread. Its tick event is raised from the message
// loop. Intervals below 10 ms are raised to 10; changing the interval of a
// running timer restarts it.
class GTimer {
public:
    GTimer();
    explicit GTimer(uint32_t interval_ms);
    ~GTimer();
    GTimer(const GTimer&) = delete;
    GTimer& operator=(const GTimer&) = delete;

    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t ms);
    bool IsEnabled() const { return enabled_; }
    void SetEnabled(bool on);
    void Start() { SetEnabled(true); }
    void Stop() { SetEnabled(false); }

    GDelegate_T<GTimer*> OnTick;

private:
    uint32_t interval_ = 1000;
    bool enabled_ = false;
    uint32_t id_ = 0;
};

}  // namespace UIK
