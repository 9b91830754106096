// The frame of every luma10ctl command that talks to a detector through the
// device link: the link over the application state G_ with its poll cycle,
// the main thread playing the window thread (the procedures' texts and their
// waiting calls are served here), Ctrl+C caught, and the procedures run on
// worker 1 exactly as the windows run them.
//
// The procedures' texts go to stderr, one text a line; stdout is left for the
// values a command prints. Red messages are counted. Whether status-line
// texts are printed as they come or only the last one is kept is the
// command's choice (StatusLines).
//
// Before the session goes it gives back adjustment mode this command took, so
// that the detector is left as it was found, and stops the link's workers
// before the window side: a task still queued then posts into nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/command.h"
#include "foundation/error.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/window_queue.h"

namespace cli {

// What becomes of the procedures' status-line texts: each printed as it
// comes (the settings commands show every step), or only the last one kept
// (commands that print a state of their own).
enum class StatusLines { print, keep_last };

class Session final : public IWindowSide {
public:
    explicit Session(StatusLines status = StatusLines::print);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port from ctx; the poll cycle starts on worker 1. False, with
    // the reason on stderr, when the port cannot be set up or opened.
    bool open_port(Context& ctx);
    // open_port, then waits for one complete poll cycle (at most
    // FirstCycleLimitMs): false, with the reason on stderr, when the device
    // does not answer, or at Ctrl+C.
    bool open(Context& ctx);

    // Runs fn on worker 1 while this thread serves the window-thread tasks,
    // and waits also for every worker-1 task fn queued (as SendCommand does)
    // and for every text those posted; returns fn's result.
    error_value_t run(const std::function<error_value_t()>& fn);
    // The same for a procedure that reports its failures as red messages:
    // true when none came meanwhile.
    bool run_procedure(const std::function<void()>& fn);
    // Asks for adjustment mode unless this link holds it already; false when
    // the request put up a red message.
    bool ensure_adjustment_mode();
    // Serves the window side until done() holds; on_idle runs about every
    // 100 ms while nothing else is to do.
    void serve(const std::function<bool()>& done, const std::function<void()>& on_idle = {});
    // Runs fn on this thread from a worker, waiting until it has run.
    void call(const std::function<void()>& fn) { queue_.call(fn); }

    mb_link_t& link() { return link_; }
    window_queue_t& queue() { return queue_; }
    // True once a procedure put an error on the message panel.
    bool error_shown() const { return errors_ > 0; }
    // Prints a text as the procedures' messages are printed.
    void print(const ustring_t& t);
    // Called before a text is printed (to end a line the command updates in
    // place). Cleared before the session goes.
    std::function<void()> before_line;

    void show_status_text(const ustring_t& t, uint64_t) override;
    void show_info_message(const ustring_t& t, uint32_t) override { print(t); }
    void show_error_message(const ustring_t& t, uint32_t) override;
    void clear_message() override {}

private:
    StatusLines status_;
    std::string last_status_;
    int errors_ = 0;
    // The queue outlives the link: a worker may still be inside a post when
    // the link stops it.
    window_queue_t queue_;
    mb_link_t link_;
};

// How long Session::open waits for the first whole poll cycle with a response
// timeout of timeout_ms; derived in session.cpp.
uint32_t FirstCycleLimitMs(uint16_t timeout_ms);

// Applies the context's connection settings to link and opens the port.
// False (with the reason on stderr) when the port cannot be set up or opened.
bool OpenDevice(Context& ctx, mb_link_t& link);

// Waits until the link has completed a poll cycle beyond `after`: true then.
// False when two cycles in a row failed (status holds why: one lost or late
// reply is ridden over, as the poll cycle checks again) or no cycle
// completed in time; gives up early when stop() answers true.
enum class CycleWait { kCompleted, kCheckFailed, kTimedOut, kStopped };
CycleWait WaitForCycle(mb_link_t& link, uint64_t after, uint32_t limit_ms, bool (*stop)());

}  // namespace cli
