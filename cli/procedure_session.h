// A procedure session for the luma10ctl commands that drive the device through
// the configurator's own worker procedures (calibrate, test): the device link
// over the application state with its poll cycle, the main thread playing the
// window thread, and the procedures' messages caught.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/window_queue.h"

namespace cli {

// The procedures' texts. Red messages (failures) go to stderr as they come
// and are counted; status-line texts are kept for the last one only.
struct SessionMessages : IWindowSide {
    void show_status_text(const ustring_t& t, uint64_t) override { last_status = text::utf8(t); }
    void show_info_message(const ustring_t& t, uint32_t) override { line(t); }
    void show_error_message(const ustring_t& t, uint32_t) override {
        ++errors;
        line(t);
    }
    void clear_message() override {}
    void line(const ustring_t& t);

    int errors = 0;
    std::string last_status;
    // Called before a message is printed (to end an updating line).
    std::function<void()> before_line;
};

class ProcedureSession {
public:
    ProcedureSession();
    ~ProcedureSession();
    ProcedureSession(const ProcedureSession&) = delete;
    ProcedureSession& operator=(const ProcedureSession&) = delete;

    // Opens the port from ctx and waits for one poll cycle: false (with the
    // reason on stderr) when the port cannot be opened or the device does not
    // answer.
    bool connect(Context& ctx);

    // Runs fn on worker 1 (it may queue further worker tasks, such as
    // SendCommand does), then waits until everything it queued has run and its
    // messages have been shown. False when a red message came meanwhile.
    bool run(std::function<void()> fn);

    // Serves the window side until done() holds; on_idle runs about every
    // 100 ms while nothing else is to do.
    void serve(const std::function<bool()>& done, const std::function<void()>& on_idle);

    mb_link_t& link() { return link_; }
    SessionMessages& messages() { return messages_; }

private:
    mb_link_t link_;
    window_queue_t queue_;
    SessionMessages messages_;
};

}  // namespace cli
