#include "cli/session.h"

#include <atomic>
#include <cstdio>
#include <memory>

#include "platform/interrupt.h"
#include "platform/thread.h"
#include "procedures/write_procedures.h"

namespace cli {

namespace {

// A single failed cycle may be one reply lost to noise or late on a busy
// machine; the next cycle asks again.
constexpr uint32_t kFailedCyclesToGiveUp = 2;

// What the wait for the first cycle allows beyond the replies that never
// come: the check's back-off after a failure (500 ms), the frames' own time
// on the line and the workers' scheduling on a loaded machine.
constexpr uint32_t kFirstCycleMarginMs = 1000;

}  // namespace

uint32_t FirstCycleLimitMs(uint16_t timeout_ms) {
    // A cycle is the link check and one read per topic block; each request
    // may wait the whole response timeout for a reply that never comes. The
    // first cycle starts at the open; as one failed cycle is ridden over,
    // the answer may only come with the second, which starts a poll period
    // after the first (or at once when the first took longer). Two cycles of
    // at most a period and their requests' time-outs each, then the margin.
    const uint32_t requests_per_cycle = 1 + uint32_t(G_.params.topics.count());
    const uint32_t cycle_ms = uint32_t(mb_link_t::kPollPeriodMs) + requests_per_cycle * timeout_ms;
    return kFailedCyclesToGiveUp * cycle_ms + kFirstCycleMarginMs;
}

Session::Session(StatusLines status) : status_(status), link_(G_.params) {
    plat::catch_interrupts();
    mb_link_t::set_read_diagnostics(false);
    G_.link = &link_;
    G_.window_poster = queue_.poster();
    G_.main_window = this;
}

Session::~Session() {
    // The command's own printing is gone by now.
    before_line = nullptr;
    // Adjustment mode this command took is given back before the port
    // closes, and the status line saying so is printed.
    if (link_.is_open() && (G_.adjustment_mode_taken.load() & G_t::kTakenFlag)) {
        bool released = false;
        run_procedure([&released] { released = procedures::RunReleaseAdjustmentMode(G_); });
        if (released && status_ == StatusLines::keep_last) print(text::u16(last_status_));
    }
    // The workers stop before the window side goes: a task still queued then
    // posts into nothing.
    link_.worker1().Stop();
    link_.worker2().Stop();
    G_.main_window = nullptr;
    G_.window_poster = nullptr;
    G_.link = nullptr;
    link_.close();
}

bool Session::open_port(Context& ctx) {
    if (!OpenDevice(ctx, link_)) return false;
    G_.set_connection_settings(link_.connection_settings());
    return true;
}

bool Session::open(Context& ctx) {
    if (!open_port(ctx)) return false;
    switch (WaitForCycle(link_, 0, FirstCycleLimitMs(ctx.settings.timeout), &plat::interrupted)) {
        case CycleWait::kCompleted: return true;
        case CycleWait::kCheckFailed:
            std::fprintf(stderr, "%s\n", text::utf8(link_.link_status().describe()).c_str());
            return false;
        case CycleWait::kTimedOut: std::fprintf(stderr, "Устройство не ответило на полный цикл опроса\n"); return false;
        case CycleWait::kStopped: return false;
    }
    return false;
}

error_value_t Session::run(const std::function<error_value_t()>& fn) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    error_value_t result;
    mb_link_t* link = &link_;
    window_queue_t* queue = &queue_;
    // The marker is queued on worker 1 from inside the task, so it runs after
    // whatever the task queued there; its own post to the window side then
    // comes after every text of those tasks.
    link_.worker1().Post([&fn, &result, link, queue, done] {
        result = fn();
        link->worker1().Post([queue, done] { queue->post([done] { done->store(true); }); });
    });
    queue_.run_until([&] { return done->load(); });
    return result;
}

bool Session::run_procedure(const std::function<void()>& fn) {
    const int errors = errors_;
    run([&fn] {
        fn();
        return success();
    });
    return errors_ == errors;
}

bool Session::ensure_adjustment_mode() {
    if (G_.adjustment_mode_on()) return true;
    return run_procedure([] { procedures::RunEnableAdjustmentMode(G_); });
}

void Session::serve(const std::function<bool()>& done, const std::function<void()>& on_idle) {
    queue_.run_until(done, on_idle);
}

void Session::print(const ustring_t& t) {
    if (t.empty()) return;
    if (before_line) before_line();
    std::fprintf(stderr, "%s\n", text::utf8(t).c_str());
    std::fflush(stderr);
}

void Session::show_status_text(const ustring_t& t, uint64_t) {
    if (status_ == StatusLines::print) print(t);
    else last_status_ = text::utf8(t);
}

void Session::show_error_message(const ustring_t& t, uint32_t) {
    ++errors_;
    print(t);
}

bool OpenDevice(Context& ctx, mb_link_t& link) {
    link.set_device_path(ctx.device_path);
    ustring_t text;
    if (link.apply(ctx.settings, &text) || link.open(&text)) {
        // The link's port message starts with the operation's name on a line
        // of its own (for the message panel); the tool's form is
        // "<category>: <message>", as for every other failure.
        std::u16string_view message = text.view();
        if (const size_t end = message.find(u'\n'); end != message.npos) message.remove_prefix(end + 1);
        std::fprintf(stderr, "%s\n", text::utf8(ustring_t(message)).c_str());
        return false;
    }
    return true;
}

CycleWait WaitForCycle(mb_link_t& link, uint64_t after, uint32_t limit_ms, bool (*stop)()) {
    constexpr uint32_t kStepMs = 20;
    for (uint32_t waited = 0; waited < limit_ms; waited += kStepMs) {
        if (link.completed_cycles() > after) return CycleWait::kCompleted;
        if (link.link_status() && link.failed_cycles_in_row() >= kFailedCyclesToGiveUp) return CycleWait::kCheckFailed;
        if (stop && stop()) return CycleWait::kStopped;
        plat::sleep_ms(kStepMs);
    }
    return CycleWait::kTimedOut;
}

}  // namespace cli
