// luma10ctl alarms: connect, wait for one poll cycle and print the current
// alarms and warnings as the alarms window shows them: each title with its
// count over all 32 bits, then the texts of the set bits, one a line.
#include <cstdio>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/session.h"
#include "model/alarm_report.h"

namespace {

int run_alarms(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("alarms не принимает аргументов");
    cli::Session s;
    if (!s.open(ctx)) return 1;
    if (!G_.params.alarms_mask.is_read() || !G_.params.warnings_mask.is_read()) {
        std::fprintf(stderr, "Устройство не сообщило аварии и предупреждения\n");
        return 1;
    }
    const luma::alarm_report_t r = luma::alarm_report(G_.params, s.link().is_open() && G_.params.device_type.is_read());
    std::printf("%s\n%s%s\n%s", text::utf8(r.alarms_title).c_str(), text::utf8(r.alarms).c_str(),
                text::utf8(r.warnings_title).c_str(), text::utf8(r.warnings).c_str());
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("alarms", "alarms                       текущие аварии и предупреждения", run_alarms);
