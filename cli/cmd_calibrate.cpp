// luma10ctl calibrate zero | span --concentration X: the sensor calibration
// of the calibration window from the command line. The start is the window's
// own start task; the device's state is then followed through the poll cycle
// and shown with the window's texts and the seconds elapsed, until the device
// reports the end. Ctrl+C aborts the calibration on the device.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/session.h"
#include "foundation/app_config.h"
#include "model/codes.h"
#include "platform/interrupt.h"
#include "platform/terminal.h"
#include "platform/time.h"
#include "procedures/device_procedures.h"
#include "procedures/write_procedures.h"

namespace {

// The state text on one line: the window's line breaks become spaces.
std::string one_line(const ustring_t& t) {
    std::string s = text::utf8(t);
    for (char& c : s)
        if (c == '\n') c = ' ';
    return s;
}

// Shows the state as it changes: on a terminal one line rewritten in place,
// otherwise a line per change of the state and at most one a second while
// the seconds count.
class StatePrinter {
public:
    StatePrinter() : terminal_(plat::is_terminal(plat::std_stream::output)) {}

    void show(const calibration::state_view_t& v) {
        const std::string text = one_line(v.text);
        if (text.empty() || text == last_) return;
        const uint32_t now = plat::tick32();
        if (terminal_) {
            std::printf("\r\033[K%s", text.c_str());
            open_ = true;
        } else {
            if (v.state == state_ && v.read && now - printed_at_ < 1000) return;
            std::printf("%s\n", text.c_str());
        }
        std::fflush(stdout);
        last_ = text;
        state_ = v.state;
        printed_at_ = now;
    }
    // Ends the updating line, so that what follows starts on its own.
    void end_line() {
        if (open_) std::printf("\n");
        std::fflush(stdout);
        open_ = false;
    }

private:
    bool terminal_;
    bool open_ = false;
    std::string last_;
    uint16_t state_ = 0;
    uint32_t printed_at_ = 0;
};

bool parse_concentration(const std::string& v, double& out) {
    double d;
    if (!cli::parse_decimal(v, d) || d < kBalloonStrengthMin || d > kBalloonStrengthMax) return false;
    out = calibration::FilterConcentration(d);
    return true;
}

int run_calibrate(cli::Context& ctx) {
    bool span = false;
    double concentration = -1;
    const cli::Options& given = ctx.options;
    if (given.positional.size() != 1 || (given.positional[0] != "zero" && given.positional[0] != "span"))
        return cli::usage_error("calibrate zero | calibrate span --concentration X");
    span = given.positional[0] == "span";
    if (given.has("--concentration") && !parse_concentration(given.value("--concentration"), concentration))
        return cli::usage_error("концентрация должна быть числом от 0.01 до 100");
    if (span && concentration < 0) return cli::usage_error("для настройки по ПГС нужна --concentration X");
    if (!span && concentration >= 0) return cli::usage_error("коррекция нуля идёт без концентрации");

    cli::Session session(cli::StatusLines::keep_last);
    if (!session.open(ctx)) return 1;
    StatePrinter printer;
    session.before_line = [&] { printer.end_line(); };

    // The window offers its start buttons only in adjustment mode; here the
    // mode is asked for first, as the window's own button would.
    if (!session.ensure_adjustment_mode()) return 1;

    auto watcher = std::make_shared<calibration::status_watcher_t>();
    ITask* watch = G_.add_periodic_task(calibration::PeriodicTask(G_, watcher));
    mb_link_t& link = session.link();
    const float c = float(concentration);
    // The window's start task; the state is read once more after a start
    // the device took, so that a final state left from an earlier
    // calibration is not taken for this one's.
    calibration::start_outcome_t outcome = calibration::start_outcome_t::not_started;
    session.run_procedure([&link, &outcome, span, c] {
        outcome = span ? calibration::RunSpanStart(G_, c) : calibration::RunZeroCorrectionStart(G_);
        if (outcome == calibration::start_outcome_t::started) link.read_param(G_.params.mipex_calibration_state);
    });
    if (outcome == calibration::start_outcome_t::not_started) {
        G_.remove_periodic_task(watch);
        return 1;
    }
    // Whether it started is not known: a final state the poll cycle reads
    // may be an earlier calibration's, so only a state seen running first
    // makes the end this one's.
    bool seen_running = outcome == calibration::start_outcome_t::started;

    // The link rides over failed checks and tries again; the device counts
    // as lost only when it has not answered a check for this long.
    const uint32_t lost_after_ms = 3 * (2500u + 2u * ctx.settings.timeout);
    calibration::state_view_t view;
    bool link_lost = false;
    uint32_t failing_since = 0;
    auto ended = [&] { return view.read && !view.running && seen_running; };
    auto finished = [&] { return plat::interrupted() || link_lost || (view.read && !view.running); };
    auto look = [&] {
        const uint32_t now = plat::tick32();
        if (link.link_status()) {
            if (failing_since == 0) failing_since = now | 1;
            else if (now - failing_since >= lost_after_ms) link_lost = true;
            return;
        }
        failing_since = 0;
        view = calibration::StateView(G_, *watcher, now);
        if (view.running) seen_running = true;
        printer.show(view);
    };
    look();
    session.serve(finished, look);
    G_.remove_periodic_task(watch);

    if (!ended() && (plat::interrupted() || link_lost)) {
        // Never left running unseen: abort on the device, and show what it
        // then says, or say that it could not be aborted.
        printer.end_line();
        error_value_t e;
        session.run_procedure([&] {
            for (int attempt = 0; attempt < 2; ++attempt) {
                e = link.write_param(G_.params.mipex_calibration_start, codes::kCalibrationStartAbort);
                if (e && FailedWriteOutcome(e) != write_outcome_t::unknown) break;
                const error_value_t read = link.read_param(G_.params.mipex_calibration_state);
                if (!read && !calibration::StateView(G_.params, 0, 0).running) {
                    e = success();
                    break;
                }
            }
        });
        if (e) {
            std::fprintf(stderr, "Калибровка могла остаться запущенной: прервать её не удалось\n");
            return cli::report(e);
        }
        if (link_lost) std::fprintf(stderr, "Связь с устройством прерывалась, калибровка прервана\n");
        view = calibration::StateView(G_.params, 0, 0);
        printer.show(view);
        printer.end_line();
        return 1;
    }
    printer.end_line();
    if (!seen_running) {
        std::fprintf(stderr, "Калибровка не запущена: устройство не калибрует\n");
        return 1;
    }
    return view.state == codes::kCalibrationFinished ? 0 : 1;
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("calibrate",
                 "calibrate zero | span --concentration ПРОЦЕНТ  калибровка датчика (коррекция нуля или по ПГС), до конца; "
                 "Ctrl+C прерывает",
                 run_calibrate, "--concentration=");
