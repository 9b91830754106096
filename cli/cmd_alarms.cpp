// luma10ctl alarms: connect, wait for one poll cycle and print the current
// alarms and warnings as the alarms window shows them: each title with its
// count over all 32 bits, then the texts of the set bits, one a line.
#include <cstdio>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/device_report.h"
#include "model/alarm_report.h"
#include "model/app_state.h"
#include "model/mb_link.h"

namespace {

int run_alarms(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("alarms не принимает аргументов");
    mb_link_t::set_read_diagnostics(false);
    mb_link_t link(G_.params);
    if (!cli::OpenDevice(ctx, link)) return 1;
    const uint32_t limit = 2 * (2000u + 4u * ctx.settings.timeout) + 1000u;
    switch (cli::WaitForCycle(link, 0, limit, nullptr)) {
        case cli::CycleWait::kCompleted: break;
        case cli::CycleWait::kCheckFailed:
            std::fprintf(stderr, "%s\n", text::utf8(link.link_status().describe()).c_str());
            return 1;
        default:
            std::fprintf(stderr, "Устройство не ответило на полный цикл опроса\n");
            return 1;
    }
    if (!G_.params.alarms_mask.is_read() || !G_.params.warnings_mask.is_read()) {
        std::fprintf(stderr, "Устройство не сообщило аварии и предупреждения\n");
        return 1;
    }
    const luma::alarm_report_t r = luma::alarm_report(G_.params, link.is_open() && G_.params.device_type.is_read());
    std::printf("%s\n%s%s\n%s", text::utf8(r.alarms_title).c_str(), text::utf8(r.alarms).c_str(),
                text::utf8(r.warnings_title).c_str(), text::utf8(r.warnings).c_str());
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("alarms", "alarms                       текущие аварии и предупреждения", run_alarms);
