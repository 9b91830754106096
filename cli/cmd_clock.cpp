// luma10ctl clock [--set-now | --set "YYYY-MM-DD HH:MM:SS"]: prints the
// device clock, or sets it through the date window's procedure (validated as
// the window validates, written as BCD, then the save command).
#include <cstdio>

#include "cli/connection.h"
#include "cli/session.h"
#include "procedures/settings_procedures.h"

namespace {

// "YYYY-MM-DD HH:MM:SS" into fields; false when the text has another shape.
bool parse_clock(const std::string& t, clock_fields_t& f) {
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
    f = {y, mo, d, h, mi, s};
    return true;
}

int run_clock(cli::Context& ctx) {
    const cli::Options& a = ctx.options;
    if (!a.positional.empty()) return cli::usage_error("clock: лишний аргумент " + a.positional[0]);
    if (a.order.size() > 1) return cli::usage_error("clock: либо --set, либо --set-now");
    clock_fields_t f;
    if (a.has("--set") && (!parse_clock(a.value("--set"), f) || !ValidClockFields(f)))
        return cli::usage_error("clock --set: Некорректная дата/время (\"ГГГГ-ММ-ДД ЧЧ:ММ:СС\", годы 2000..2099)");

    cli::Session s;
    if (!s.open(ctx)) return 1;
    if (a.order.empty()) {
        mb_param_t& clock = G_.params.date_bcd;
        if (const error_value_t e = s.run([&] { return s.link().read_param(clock); })) return cli::report(e);
        const param_snapshot_t c = clock.snapshot();
        std::printf("%04d-%02d-%02d %02d:%02d:%02d\n", 2000 + c.byte(0), c.byte(1), c.byte(2), c.byte(3), c.byte(4),
                    c.byte(5));
        return 0;
    }
    s.ensure_adjustment_mode();
    // The computer's time is taken only now, after the connection is up.
    const uint64_t bytes = ClockBytes(a.has("--set") ? f : OneSecondLater(plat::local_time()));
    if (s.run([&] { return procedures::RunSetClock(G_, bytes); })) return 1;
    return s.error_shown() ? 1 : 0;
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("clock", "clock [--set-now | --set \"ГГГГ-ММ-ДД ЧЧ:ММ:СС\"]  часы устройства: показать или установить",
                 run_clock, "--set= --set-now");
