// luma10ctl test current MA | outputs [threshold1] [threshold2] [fail] | off:
// the output tests of the tests window from the command line. Each switches
// the test mode on with the window's own command (adjustment mode first),
// sets the current or the output pattern, and reports what the device then
// holds; off switches both tests off and reads them back, so that a command
// whose reply was lost is judged by what the device holds.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/session.h"
#include "model/codes.h"
#include "procedures/device_procedures.h"
#include "procedures/write_procedures.h"

namespace {

// The test registers 50180..50185 in one read.
error_value_t read_tests(mb_link_t& link, const ParamMap_t& p) {
    const uint16_t start = p.dac_test_enabled.reg();
    return link.read_block(start, uint16_t(p.dout_test_state.reg() + 1 - start));
}

const char kUsage[] = "test current MA | test outputs [threshold1] [threshold2] [fail] | test off";

int run_test(cli::Context& ctx) {
    if (ctx.args.empty()) return cli::usage_error(kUsage);
    const std::string what = ctx.args[0];
    long ma = 0;
    uint16_t pattern = 0;
    if (what == "current") {
        if (ctx.args.size() != 2 || !cli::parse_number(ctx.args[1], codes::kTestCurrentMin, codes::kTestCurrentMax, ma))
            return cli::usage_error("ток задаётся целым числом от 0 до 24 мА");
    } else if (what == "outputs") {
        for (size_t i = 1; i < ctx.args.size(); ++i) {
            const std::string& o = ctx.args[i];
            if (o == "threshold1") pattern |= codes::kDoutThreshold1;
            else if (o == "threshold2") pattern |= codes::kDoutThreshold2;
            else if (o == "fail") pattern |= codes::kDoutFail;
            else return cli::usage_error("неизвестный выход: " + o + " (threshold1, threshold2, fail)");
        }
    } else if (what != "off" || ctx.args.size() != 1) {
        return cli::usage_error(kUsage);
    }

    cli::Session session(cli::StatusLines::keep_last);
    if (!session.open(ctx)) return 1;
    mb_link_t& link = session.link();
    ParamMap_t& p = G_.params;
    error_value_t e;
    bool ok;
    if (what == "off") {
        ok = session.run_procedure([] {
            device_modes::SwitchCurrentTest(G_, false);
            device_modes::SwitchOutputsTest(G_, false);
        });
    } else {
        const bool current = what == "current";
        ok = session.run_procedure([current] {
            if (current) device_modes::SwitchCurrentTest(G_, true);
            else device_modes::SwitchOutputsTest(G_, true);
        });
        // The value the window would queue, written at once so that its
        // outcome can be told; then read back for the report.
        if (ok) {
            session.run_procedure([&, current] {
                const mb_param_t& target = current ? p.dac_test_value : p.dout_test_state;
                e = link.write_param(target, current ? uint64_t(ma) : pattern);
                if (!e) e = read_tests(link, p);
            });
            if (e) return cli::report(e);
        }
    }
    const auto on = [](const mb_param_t& m) { return m.snapshot().u16() != codes::kModeOff; };
    if (what == "off") {
        // Read back whatever the commands reported: a command whose reply
        // was lost may have been carried out, and the device tells.
        session.run_procedure([&] {
            e = read_tests(link, p);
            if (e && FailedWriteOutcome(e) == write_outcome_t::unknown) e = read_tests(link, p);
        });
        if (e) return cli::report(e);
        ok = !on(p.dac_test_enabled) && !on(p.dout_test_enabled);
        if (!ok) std::printf("Тест токового выхода: %s\nТест дискретных выходов: %s\n",
                             on(p.dac_test_enabled) ? "включен" : "выключен",
                             on(p.dout_test_enabled) ? "включен" : "выключен");
    }
    if (!ok) return 1;
    std::printf("Тест токового выхода: %s", on(p.dac_test_enabled) ? "включен" : "выключен");
    if (on(p.dac_test_enabled)) std::printf(", %u мА", unsigned(p.dac_test_value.snapshot().u16()));
    std::printf("\nТест дискретных выходов: %s", on(p.dout_test_enabled) ? "включен" : "выключен");
    if (on(p.dout_test_enabled)) {
        const uint16_t s = p.dout_test_state.snapshot().u16();
        std::printf(", Порог 1 %s, Порог 2 %s, Отказ %s", s & codes::kDoutThreshold1 ? "вкл" : "выкл",
                    s & codes::kDoutThreshold2 ? "вкл" : "выкл", s & codes::kDoutFail ? "вкл" : "выкл");
    }
    std::printf("\n");
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("test", "test current МА | outputs [threshold1] [threshold2] [fail] | off  тесты выходов", run_test);
