// luma10ctl thresholds [--warn N] [--alarm N] [--save N] [--hysteresis N]:
// without options prints the four thresholds; with them writes each through
// the thresholds window's procedure (the parameter, then the save command).
#include <cstdio>

#include "cli/connection.h"
#include "cli/session.h"
#include "procedures/write_procedures.h"

namespace {

struct Threshold {
    const char* option;
    const char* key;
    mb_param_t ParamMap_t::*param;
};

const Threshold kThresholds[] = {
    {"--warn", "warn", &ParamMap_t::Threshold_Warn},
    {"--alarm", "alarm", &ParamMap_t::Threshold_Alarm},
    {"--save", "save", &ParamMap_t::Threshold_BDSafe},
    {"--hysteresis", "hysteresis", &ParamMap_t::Threshold_Delta},
};

int run_thresholds(cli::Context& ctx) {
    const cli::Options& a = ctx.options;
    if (!a.positional.empty()) return cli::usage_error("thresholds: лишний аргумент " + a.positional[0]);
    long values[4] = {};
    for (int i = 0; i < 4; ++i)
        if (a.has(kThresholds[i].option) && !cli::parse_number(a.value(kThresholds[i].option), 0, 100, values[i]))
            return cli::usage_error(std::string("thresholds ") + kThresholds[i].option + ": " +
                                    cli::whole_range(0, 100));

    cli::Session s;
    if (!s.open(ctx)) return 1;
    ParamMap_t& p = G_.params;
    if (a.order.empty()) {
        for (const Threshold& t : kThresholds) {
            mb_param_t& param = p.*t.param;
            if (const error_value_t e = s.run([&] { return s.link().read_param(param); })) return cli::report(e);
            std::printf("%s=%u\n", t.key, unsigned(param.snapshot().u16()));
        }
        return 0;
    }
    s.ensure_adjustment_mode();
    for (int i = 0; i < 4; ++i) {
        if (!a.has(kThresholds[i].option)) continue;
        const mb_param_t& param = p.*kThresholds[i].param;
        const uint16_t v = uint16_t(values[i]);
        if (s.run([&] { return procedures::RunSetParamAndSave(G_, param, v); })) return 1;
    }
    return s.error_shown() ? 1 : 0;
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("thresholds",
                 "thresholds [--warn П] [--alarm П] [--save П] [--hysteresis П]  пороги (целые 0..100): показать "
                 "или записать",
                 run_thresholds, "--warn= --alarm= --save= --hysteresis=");
