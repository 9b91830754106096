#include "cli/device_session.h"

#include <atomic>
#include <cstdio>

#include "cli/connection.h"
#include "cli/device_report.h"
#include "procedures/write_procedures.h"

namespace cli {

namespace {
void line(const ustring_t& t) {
    if (t.empty()) return;
    std::fprintf(stderr, "%s\n", text::utf8(t).c_str());
    std::fflush(stderr);
}
}  // namespace

DeviceSession::DeviceSession() : link_(G_.params) {
    mb_link_t::set_read_diagnostics(false);
    G_.link = &link_;
    G_.window_poster = queue_.poster();
    G_.main_window = this;
}

DeviceSession::~DeviceSession() {
    // Adjustment mode this command took is given back before the port
    // closes; the status line saying so goes to stderr with the others.
    if (link_.is_open())
        run([] {
            procedures::RunReleaseAdjustmentMode(G_);
            return success();
        });
    G_.main_window = nullptr;
    G_.window_poster = nullptr;
    G_.link = nullptr;
    link_.close();
}

bool DeviceSession::open(Context& ctx) {
    if (!OpenDevice(ctx, link_)) return false;
    G_.set_connection_settings(link_.connection_settings());
    const uint32_t limit = 2 * (2000u + 4u * ctx.settings.timeout) + 1000u;
    switch (WaitForCycle(link_, 0, limit, nullptr)) {
        case CycleWait::kCompleted: return true;
        case CycleWait::kCheckFailed:
            std::fprintf(stderr, "%s\n", text::utf8(link_.link_status().describe()).c_str());
            return false;
        default:
            std::fprintf(stderr, "Устройство не ответило на полный цикл опроса\n");
            return false;
    }
}

void DeviceSession::ensure_adjustment_mode() {
    if (G_.adjustment_mode_on()) return;
    run([] {
        procedures::RunEnableAdjustmentMode(G_);
        return success();
    });
}

error_value_t DeviceSession::run(const std::function<error_value_t()>& fn) {
    std::atomic<bool> done{false};
    error_value_t result;
    link_.worker1().Post([&] {
        result = fn();
        // The flag is raised from the queue, so every text posted before it
        // has been served when run_until ends.
        queue_.post([&] { done.store(true); });
    });
    queue_.run_until([&] { return done.load(); });
    return result;
}

void DeviceSession::show_status_text(const ustring_t& t, uint64_t) { line(t); }
void DeviceSession::show_info_message(const ustring_t& t, uint32_t) { line(t); }
void DeviceSession::show_error_message(const ustring_t& t, uint32_t) {
    ++errors_;
    line(t);
}

}  // namespace cli
