// luma10ctl info: connect, wait for one complete poll cycle and print the device.
#include <cstdio>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/device_report.h"
#include "cli/session.h"

namespace {

int run_info(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("info не принимает аргументов");
    cli::Session s;
    // A failure is reported when the next cycle failed too: one lost reply
    // does not end the command.
    if (!s.open(ctx)) return 1;
    std::fputs(cli::DeviceReport(G_.params).c_str(), stdout);
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("info", "info                         сведения об устройстве после цикла опроса", run_info);
