#include "cli/procedure_session.h"

#include <atomic>
#include <cstdio>
#include <memory>

#include "cli/device_report.h"
#include "platform/interrupt.h"
#include "procedures/write_procedures.h"

namespace cli {

void SessionMessages::line(const ustring_t& t) {
    if (before_line) before_line();
    std::fprintf(stderr, "%s\n", text::utf8(t).c_str());
}

ProcedureSession::ProcedureSession() : link_(G_.params) {
    mb_link_t::set_read_diagnostics(false);
    G_.link = &link_;
    G_.window_poster = queue_.poster();
    G_.main_window = &messages_;
}

ProcedureSession::~ProcedureSession() {
    // The command's own printing is gone by now.
    messages_.before_line = nullptr;
    // Adjustment mode this command took is given back before the port
    // closes, and the status line saying so is printed.
    if (link_.is_open()) {
        bool released = false;
        run([&released] { released = procedures::RunReleaseAdjustmentMode(G_); });
        if (released) messages_.line(text::u16(messages_.last_status));
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

bool ProcedureSession::connect(Context& ctx) {
    if (!OpenDevice(ctx, link_)) return false;
    const CycleWait w = WaitForCycle(link_, 0, 10000 + 4u * ctx.settings.timeout, &plat::interrupted);
    if (w == CycleWait::kCompleted) return true;
    if (w == CycleWait::kCheckFailed) std::fprintf(stderr, "%s\n", text::utf8(link_.link_status().describe()).c_str());
    else if (w == CycleWait::kTimedOut) std::fprintf(stderr, "Устройство не ответило\n");
    return false;
}

bool ProcedureSession::run(std::function<void()> fn) {
    const int errors = messages_.errors;
    auto done = std::make_shared<std::atomic<bool>>(false);
    G_t* g = &G_;
    // The marker is queued from inside the task, so it runs after whatever
    // the task queued; its own post to the window side comes after every
    // message of those tasks.
    link_.worker1().PostTask(make_task([fn, g, done, this] {
        fn();
        g->post_to_worker1(make_task([done, this] { queue_.post([done] { done->store(true); }); }));
    }));
    queue_.run_until([&] { return done->load(); });
    return messages_.errors == errors;
}

void ProcedureSession::serve(const std::function<bool()>& done, const std::function<void()>& on_idle) {
    queue_.run_until(done, on_idle);
}

}  // namespace cli
