// The window thread: options, message loop, dispatcher of posted tasks and
// timers.
#include "toolkit/app.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/settings_store.h"
#include "platform/native_ui.h"
#include "toolkit/form.h"
#include "toolkit/internal.h"
#include "toolkit/resources.h"

namespace UIK {

// ---- options --------------------------------------------------------------------

GOptions ReadOptions() {
    const auto& s = kmxCommon::EnvVars_t::instance();
    GOptions o;
    o.show_native_window_title = s.BoolOption(u"uik.show_native_window_title", false);
    o.all_forms_have_size_box = s.BoolOption(u"uik.all_forms_have_size_box", false);
    o.allow_ask_user_permission_at_mouse = s.BoolOption(u"uik.allow_ask_user_permission_at_mouse", false);
    o.default_fullscreen_forms = s.BoolOption(u"uik.default_fullscreen_forms", true);
    o.smooth_controls_moving = s.BoolOption(u"uik.smooth_controls_moving", true);
    o.designer_mode = s.BoolOption(u"uik.designer_mode", false);
    o.allow_forms_moving = s.BoolOption(u"uik.allow_forms_moving", false);
    o.allow_maximize_button = s.BoolOption(u"uik.allow_maximize_button", false);
    o.screenshot_mode = s.BoolOption(u"uik.screenshot_mode", false);
    return o;
}

const GOptions& Options() {
    static const GOptions cached = ReadOptions();
    return cached;
}

// ---- dispatcher -------------------------------------------------------------------

namespace {

// A waiting poster's slot, on the poster's stack.
struct WaitSlot {
    bool done = false;
    bool ran = false;
};

struct Entry {
    std::function<void()> fn;            // deferred call or call-on-window-thread
    Async::details::ITask* task = nullptr;
    bool owned = false;                  // destroy the task after running it
    WaitSlot* slot = nullptr;            // a waiting poster to release
};

struct Dispatcher {
    std::mutex m;
    std::condition_variable cv;
    bool active = false;  // an outermost loop runs
    std::thread::id thread;
    std::deque<Entry> queue;
    int pending = 0;      // async tasks not yet run
};
Dispatcher g_disp;

// Loop state: window thread only.
int g_nesting = 0;
// Set from any thread by Quit (a signal's watcher thread, for one).
std::atomic<bool> g_quit{false};

void release_slot(WaitSlot* slot, bool ran) {
    // Called with g_disp.m held.
    slot->ran = ran;
    slot->done = true;
    g_disp.cv.notify_all();
}

// Runs the entries queued so far (those queued meanwhile wait for the next
// turn). Each is taken off the queue only when its turn comes: an entry that
// runs a nested loop (a modal form, a wait for a condition) must leave the
// ones behind it to that loop, since a worker may be blocked until its
// posted call has run.
bool run_queue() {
    size_t n;
    {
        std::lock_guard<std::mutex> g(g_disp.m);
        n = g_disp.queue.size();
    }
    bool ran = false;
    for (; n > 0; --n) {
        Entry e;
        {
            std::lock_guard<std::mutex> g(g_disp.m);
            if (g_disp.queue.empty()) break;
            e = std::move(g_disp.queue.front());
            g_disp.queue.pop_front();
        }
        ran = true;
        if (e.fn) {
            e.fn();
        } else if (e.task) {
            e.task->run();
            std::lock_guard<std::mutex> g(g_disp.m);
            if (e.slot) release_slot(e.slot, true);
            else --g_disp.pending;
        }
        if (e.owned) delete e.task;
    }
    return ran;
}

bool queue_empty() {
    std::lock_guard<std::mutex> g(g_disp.m);
    return g_disp.queue.empty();
}

// Appends an entry; from a thread other than the window thread it needs an
// active loop. Returns false when nothing was queued.
bool enqueue(Entry e, bool need_loop) {
    std::lock_guard<std::mutex> g(g_disp.m);
    if (need_loop && !g_disp.active) return false;
    g_disp.queue.push_back(std::move(e));
    plat::ui::Wake();
    return true;
}

// ---- timers ---------------------------------------------------------------------

struct TimerEntry {
    GTimer* timer;
    uint64_t deadline;
    uint32_t interval;
};
std::map<uint32_t, TimerEntry> g_timers;  // window thread only
uint32_t g_next_timer_id = 1;

// Milliseconds until the next timer is due (-1: no timer).
int next_timeout() {
    if (g_timers.empty()) return -1;
    uint64_t now = plat::ui::Ticks(), next = UINT64_MAX;
    for (auto& [id, t] : g_timers) next = std::min(next, t.deadline);
    return next <= now ? 0 : int(std::min<uint64_t>(next - now, 1u << 30));
}

void run_due_timers() {
    uint64_t now = plat::ui::Ticks();
    std::vector<uint32_t> due;
    for (auto& [id, t] : g_timers)
        if (t.deadline <= now) due.push_back(id);
    for (uint32_t id : due) {
        // The timer may have been stopped or destroyed by an earlier tick.
        auto it = g_timers.find(id);
        if (it == g_timers.end()) continue;
        TimerEntry& t = it->second;
        // The next tick comes a whole interval after this one, never sooner,
        // even when this one was late: no burst of ticks after a stall.
        t.deadline = now + t.interval;
        GTimer* timer = t.timer;
        timer->OnTick(timer);
    }
}

void handle_event(const plat::ui::Event& ev) {
    if (ev.type == plat::ui::EventType::Quit) {
        g_quit = true;
        return;
    }
    if (ev.type == plat::ui::EventType::Wake || ev.type == plat::ui::EventType::None) return;
    detail::DispatchNativeEvent(ev);
}

// Handles events already queued without waiting.
void pump_events() {
    plat::ui::Event ev;
    for (int i = 0; i < 1000 && plat::ui::PollEvent(&ev); ++i) handle_event(ev);
}

bool loop_should_end(GForm* form) { return g_quit || (form && !form->HasNativeWindow()); }

// One turn of a loop: draw, wait for an event until the next timer is due (not
// at all with work queued; when limit_ms >= 0, at most limit_ms), handle it
// and what came with it, then run the due timers and the queue.
void run_turn(int limit_ms) {
    detail::RenderAllForms();
    int timeout = queue_empty() ? next_timeout() : 0;
    if (limit_ms >= 0 && (timeout < 0 || timeout > limit_ms)) timeout = limit_ms;
    plat::ui::Event ev;
    if (plat::ui::WaitEvent(&ev, timeout)) {
        handle_event(ev);
        pump_events();
    }
    run_due_timers();
    run_queue();
}

}  // namespace

namespace detail {
void NoteQuit() { g_quit = true; }
}  // namespace detail

namespace App {

int RunMessageLoop(GForm* form) {
    GResourcesUser resources;
    if (!resources.Ok()) return g_nesting;
    if (++g_nesting == 1) {
        std::lock_guard<std::mutex> g(g_disp.m);
        g_disp.active = true;
        g_disp.thread = std::this_thread::get_id();
    }
    while (!loop_should_end(form)) run_turn(-1);
    // Leaving: take only what is already queued.
    pump_events();
    run_queue();
    detail::RenderAllForms();
    if (--g_nesting == 0) {
        // The outermost loop ends: run what is still queued, then refuse new
        // posts. The check and the switch happen under the lock, so a waiting
        // poster is either run here or refused, never left blocked.
        while (true) {
            {
                std::lock_guard<std::mutex> g(g_disp.m);
                if (g_disp.queue.empty()) {
                    g_disp.active = false;
                    g_disp.thread = std::thread::id();
                    break;
                }
            }
            run_queue();
        }
        g_quit = false;
    }
    return g_nesting;
}

void Quit() {
    g_quit = true;
    // Woken only while a loop runs: afterwards the native layer may be on its
    // way down, and a loop that starts later sees the flag anyway.
    std::lock_guard<std::mutex> g(g_disp.m);
    if (g_disp.active) plat::ui::Wake();
}

void SetDisplayLostHandler(int (*fn)()) { plat::ui::SetDisplayLostHandler(fn); }

int LoopNesting() { return g_nesting; }

void ProcessPending() {
    if (plat::ui::IsAcquired()) pump_events();
    run_due_timers();
    while (run_queue()) {}
    detail::RenderAllForms();
}

bool RunUntil(const std::function<bool()>& pred, int timeout_ms) {
    uint64_t end = plat::ui::Ticks() + uint64_t(timeout_ms);
    GResourcesUser resources;
    while (!pred()) {
        uint64_t now = plat::ui::Ticks();
        if (now >= end) return false;
        run_turn(int(end - now));
    }
    return true;
}

bool Defer(std::function<void()> fn) {
    bool own_thread;
    {
        std::lock_guard<std::mutex> g(g_disp.m);
        own_thread = !g_disp.active || g_disp.thread == std::this_thread::get_id();
    }
    Entry e;
    e.fn = std::move(fn);
    return enqueue(std::move(e), !own_thread);
}

}  // namespace App

namespace Async {

int PostToWindowThread(details::ITask* task, bool wait) {
    if (!task) return 0;
    if (!wait) {
        std::lock_guard<std::mutex> g(g_disp.m);
        if (!g_disp.active) {
            delete task;
            return 0;
        }
        Entry e;
        e.task = task;
        e.owned = true;
        g_disp.queue.push_back(std::move(e));
        ++g_disp.pending;
        plat::ui::Wake();
        return 1;
    }
    WaitSlot slot;
    std::unique_lock<std::mutex> lk(g_disp.m);
    if (!g_disp.active) return 0;
    if (g_disp.thread == std::this_thread::get_id()) {
        // Already on the window thread: waiting for itself would never end.
        lk.unlock();
        task->run();
        return 1;
    }
    Entry e;
    e.task = task;
    e.slot = &slot;
    g_disp.queue.push_back(std::move(e));
    plat::ui::Wake();
    g_disp.cv.wait(lk, [&] { return slot.done; });
    return slot.ran ? 1 : 0;
}

bool CallOnWindowThread(void (*fn)(void*), void* arg) {
    Entry e;
    e.fn = [fn, arg] { fn(arg); };
    return enqueue(std::move(e), true);
}

bool CallOnWindowThread(void (*fn)()) {
    Entry e;
    e.fn = [fn] { fn(); };
    return enqueue(std::move(e), true);
}

int PendingCount() {
    std::lock_guard<std::mutex> g(g_disp.m);
    return g_disp.pending;
}

}  // namespace Async

// ---- GTimer -----------------------------------------------------------------------

namespace {
constexpr uint32_t kMinInterval = 10;
}

GTimer::GTimer() = default;

GTimer::GTimer(uint32_t interval_ms) { SetInterval(interval_ms); }

GTimer::~GTimer() { SetEnabled(false); }

void GTimer::SetInterval(uint32_t ms) {
    interval_ = ms < kMinInterval ? kMinInterval : ms;
    if (enabled_) {
        // A running timer restarts with the new interval.
        SetEnabled(false);
        SetEnabled(true);
    }
}

void GTimer::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on) {
        id_ = g_next_timer_id++;
        if (id_ == 0) id_ = g_next_timer_id++;
        g_timers[id_] = {this, plat::ui::Ticks() + interval_, interval_};
        plat::ui::Wake();
    } else {
        g_timers.erase(id_);
        id_ = 0;
    }
}

}  // namespace UIK
