// The frame of luma10ctl's settings commands: the device link over the
// application state with its poll cycle, the main thread playing the window
// thread (the procedures' texts and their waiting calls are served here), and
// the worker procedures of the windows run on worker 1.
//
// The procedures' status-line texts and messages go to stderr, one text a
// line; stdout is left for the values a command prints.
#pragma once

#include <functional>

#include "cli/command.h"
#include "foundation/error.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/window_queue.h"

namespace cli {

class DeviceSession final : public IWindowSide {
public:
    DeviceSession();
    ~DeviceSession() override;

    // Opens the port and waits for one complete poll cycle; false (with the
    // reason on stderr) when the device cannot be reached.
    bool open(Context& ctx);
    // Asks for adjustment mode unless this link holds it already.
    void ensure_adjustment_mode();
    // Runs fn on worker 1 while this thread serves the window-thread tasks;
    // returns fn's result.
    error_value_t run(const std::function<error_value_t()>& fn);
    // Runs fn on this thread from a worker, waiting until it has run.
    void call(const std::function<void()>& fn) { queue_.call(fn); }

    mb_link_t& link() { return link_; }
    // True once a procedure put an error on the message panel.
    bool error_shown() const { return errors_ > 0; }

    void show_status_text(const ustring_t& t, uint64_t) override;
    void show_info_message(const ustring_t& t, uint32_t) override;
    void show_error_message(const ustring_t& t, uint32_t) override;
    void clear_message() override {}

private:
    // The queue outlives the link: a worker may still be inside a post when
    // the link stops it.
    window_queue_t queue_;
    mb_link_t link_;
    int errors_ = 0;
};

}  // namespace cli
