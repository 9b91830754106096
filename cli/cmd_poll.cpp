// luma10ctl poll [--from A] [--to B] [--passes N]: asks each address of the
// range in turn for its concentration and temperature, as the concentration
// poll window does, and prints one line per address:
//   "<address> <concentration> <temperature>"  when the device answered
//   "<address> <message>"                       when it did not
// The temperature field holds its error message when only that read failed.
// The link's own poll cycle is held back meanwhile. The range is the window's
// 1..55 unless given; any Modbus device address 1..247 may be asked, so a
// detector set to an address beyond the window's rows is found here too.
#include <cstdio>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/session.h"
#include "foundation/connection_settings.h"
#include "model/codes.h"
#include "model/concentration_poll.h"
#include "platform/interrupt.h"

namespace {

constexpr long kAddressMin = kBlockIdMin, kAddressMax = kBlockIdMax;
constexpr long kMaxPasses = 1000000;

struct PollOptions {
    long from = 1, to = 55, passes = 1;  // the concentration poll window's rows
};

int parse(const cli::Options& args, PollOptions& o) {
    if (!args.positional.empty()) return cli::usage_error("лишний аргумент: " + args.positional[0]);
    for (const std::string& a : args.order) {
        long* target = a == "--from" ? &o.from : a == "--to" ? &o.to : &o.passes;
        const std::string& v = args.value(a);
        const long min = target == &o.passes ? 1 : kAddressMin;
        const long max = target == &o.passes ? kMaxPasses : kAddressMax;
        if (!cli::parse_number(v, min, max, *target))
            return cli::usage_error("недопустимое значение " + a + ": " + v + " (" + cli::whole_range(min, max) + ")");
    }
    if (o.from > o.to) return cli::usage_error("--from больше --to");
    return 0;
}

std::string line_of(const luma::poll_result_t& r) {
    std::string s = std::to_string(r.address) + " " + text::utf8(luma::concentration_text(r));
    if (r.concentration_read) s += " " + text::utf8(luma::temperature_text(r));
    return s;
}

int run_poll(cli::Context& ctx) {
    PollOptions o;
    if (int rc = parse(ctx.options, o)) return rc;
    cli::Session s;
    // The configured address need not answer: no wait for a poll cycle.
    if (!s.open_port(ctx)) return 1;
    mb_link_t& link = s.link();
    const mb_link_t::poll_pause_guard_t pause(link);
    for (long pass = 0; pass < o.passes; ++pass) {
        for (long a = o.from; a <= o.to; ++a) {
            // Ctrl+C ends the poll between two addresses.
            if (plat::interrupted()) return 1;
            // On the link's worker, as every exchange is.
            luma::poll_result_t r;
            s.run([&] {
                r = luma::poll_address(link, uint8_t(a));
                return success();
            });
            std::printf("%s\n", line_of(r).c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("poll",
                              "poll [--from ОТ] [--to ДО] [--passes N]  концентрация и температура адресов ОТ..ДО "
                              "(1..247, без них 1..55), N проходов",
                              run_poll, "--from= --to= --passes=");
