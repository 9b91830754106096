// luma10ctl info: connect, wait for one complete poll cycle and print the device.
#include <cstdio>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/device_report.h"
#include "model/app_state.h"
#include "model/mb_link.h"

namespace {

int run_info(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("info не принимает аргументов");
    mb_link_t::set_read_diagnostics(false);
    mb_link_t link(G_.params);
    if (!cli::OpenDevice(ctx, link)) return 1;
    // A failure is reported when the next cycle failed too: one lost reply
    // does not end the command.
    const uint32_t limit = 2 * (2000u + 4u * ctx.settings.timeout) + 1000u;
    switch (cli::WaitForCycle(link, 0, limit, nullptr)) {
        case cli::CycleWait::kCompleted:
            std::fputs(cli::DeviceReport(G_.params).c_str(), stdout);
            return 0;
        case cli::CycleWait::kCheckFailed:
            std::fprintf(stderr, "%s\n", text::utf8(link.link_status().describe()).c_str());
            return 1;
        default:
            std::fprintf(stderr, "Устройство не ответило на полный цикл опроса\n");
            return 1;
    }
}

}  // namespace

LUMA_CLI_COMMAND("info", "info                         сведения об устройстве после цикла опроса", run_info);
