// luma10ctl watch: print the device after every poll cycle until Ctrl+C.
#include <cstdio>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/device_report.h"
#include "cli/session.h"
#include "platform/interrupt.h"
#include "platform/thread.h"

namespace {

int run_watch(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("watch не принимает аргументов");
    cli::Session s;
    if (!s.open_port(ctx)) return 1;
    mb_link_t& link = s.link();
    uint64_t cycles = 0;
    bool reported_failure = false;
    while (!plat::interrupted()) {
        switch (cli::WaitForCycle(link, cycles, 500, &plat::interrupted)) {
            case cli::CycleWait::kCompleted:
                cycles = link.completed_cycles();
                reported_failure = false;
                std::printf("%s\n", cli::DeviceReport(G_.params).c_str());
                std::fflush(stdout);
                break;
            case cli::CycleWait::kCheckFailed:
                // Once per outage; the link keeps checking every cycle.
                if (!reported_failure) {
                    std::printf("%s\n\n", text::utf8(link.link_status().describe()).c_str());
                    std::fflush(stdout);
                    reported_failure = true;
                }
                plat::sleep_ms(100);
                break;
            default: break;
        }
    }
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("watch", "watch                        сведения после каждого цикла опроса, до Ctrl+C", run_watch);
