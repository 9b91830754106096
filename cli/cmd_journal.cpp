// luma10ctl journal NAME: downloads one journal with the program's own
// download code (on worker 2 of the device link) and writes its export.
//
// The main thread plays the window thread: the download's progress reports,
// its hand-over and its messages are tasks that run here, and progress goes to
// stderr. The poll cycle is held back while the download runs, so the line
// carries the journal's requests alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <type_traits>

#include "cli/command.h"
#include "cli/connection.h"
#include "cli/session.h"
#include "cli/trend_plot.h"
#include "model/journal_download.h"
#include "model/journal_export.h"
#include "platform/interrupt.h"
#include "platform/terminal.h"

namespace {

using namespace luma;
using Clock = std::chrono::steady_clock;

// Whether a progress bar drawn in place on stderr is waiting for its line to
// be ended before a message is printed.
struct BarLine {
    void end() {
        if (drawn) std::fputc('\n', stderr);
        drawn = false;
    }
    bool drawn = false;
};

// Progress on stderr: a bar redrawn in place on a terminal, otherwise a plain
// line at most once a second (and for the last record).
class ProgressPrinter {
public:
    explicit ProgressPrinter(BarLine& bar) : bar_(bar), terminal_(plat::is_terminal(plat::std_stream::error)) {}

    void show(uint32_t total, uint32_t loaded) {
        const auto now = Clock::now();
        const double secs = std::chrono::duration<double>(now - start_).count();
        const unsigned rate = secs > 0 ? unsigned(loaded / secs) : 0u;
        if (terminal_) {
            constexpr unsigned kWidth = 30;
            const unsigned filled = total ? unsigned(uint64_t(kWidth) * std::min(loaded, total) / total) : kWidth;
            std::string bar(filled, '#');
            bar.resize(kWidth, '.');
            std::fprintf(stderr, "\r[%s] %u/%u  %u записей/с ", bar.c_str(), loaded, total, rate);
            bar_.drawn = true;
        } else if (loaded >= total || now - last_line_ >= std::chrono::seconds(1)) {
            std::fprintf(stderr, "%u/%u %u записей/с\n", loaded, total, rate);
            last_line_ = now;
        }
        std::fflush(stderr);
    }

private:
    BarLine& bar_;
    bool terminal_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_line_{};
};

template <typename Item>
class CliPage : public journal_page_T<Item> {
public:
    CliPage(window_queue_t& q, ProgressPrinter& p) : queue_(q), progress_(p) {}
    void run_on_window_thread(const std::function<void()>& fn) override { queue_.call(fn); }
    void show_progress(uint32_t range, uint32_t position, const ustring_t&) override {
        progress_.show(range, position);
        if (plat::interrupted()) this->loading = false;  // Ctrl+C stops between records
    }
    void refresh_rebuilt() override {}

private:
    window_queue_t& queue_;
    ProgressPrinter& progress_;
};

struct Options {
    std::string name;
    export_format format = export_format::csv;
    std::string output;  // empty: stdout
    bool partial = false;
    std::string plot;  // trend only: the chart as a PNG file (then no export without -o)
};

// The options were parsed once against the registration; what is left is
// checked here: one journal name and a known format.
int parse(const cli::Options& given, Options& o) {
    if (given.has("--format")) {
        const std::string& v = given.value("--format");
        if (v != "csv" && v != "txt") return cli::usage_error("недопустимый формат: " + v + " (csv или txt)");
        o.format = v == "csv" ? export_format::csv : export_format::text;
    }
    o.output = given.value("-o");
    o.partial = given.has("--partial");
    for (const std::string& a : given.positional) {
        if (!o.name.empty()) return cli::usage_error("лишний аргумент: " + a);
        o.name = a;
    }
    if (o.name.empty()) return cli::usage_error("не указан журнал");
    if (given.has("--plot")) {
        o.plot = given.value("--plot");
        if (o.name != "trend") return cli::usage_error("--plot рисует только журнал trend");
        if (o.plot.empty()) return cli::usage_error("--plot: не указан файл");
        if (!cli::plot_available()) return cli::plot_unavailable();
    }
    return 0;
}

int write_output(const Options& o, const std::string& bytes) {
    if (o.output.empty()) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "Не удалось вывести журнал\n");
            return 1;
        }
        return 0;
    }
    const error_value_t e = write_export_file(o.output, bytes);
    if (e) {
        std::fprintf(stderr, "%s\n", text::utf8(export_failure_text(o.output, e)).c_str());
        return 1;
    }
    return 0;
}

// Runs the download on worker 2 while the main thread serves its window tasks.
template <typename Item>
int download_and_export(mb_link_t& link, const Options& o, window_queue_t& queue, ProgressPrinter& progress) {
    CliPage<Item> page(queue, progress);
    const journal_download_result_t result =
        download_journal_serving(G_, page, queue, [&] { if (plat::interrupted()) page.loading = false; });
    const bool complete = !result.error && !result.stopped;
    if (!complete && !o.partial) return 1;
    int rc = 0;
    if constexpr (std::is_same_v<Item, item7_t>) {
        if (!o.plot.empty()) rc = cli::plot_trend(link, page.records, o.plot);
    }
    if (o.plot.empty() || !o.output.empty()) rc = std::max(rc, write_output(o, export_bytes(page.records, o.format)));
    return complete ? rc : 1;
}

int export_counters(cli::Session& session, const Options& o) {
    mb_link_t& link = session.link();
    counters_t counters;
    std::promise<error_value_t> done;
    link.worker2().Post([&] {
        link.lock_master();
        error_value_t e = link.read_identity();
        if (!e) e = read_counters(link, counters);
        link.unlock_master();
        done.set_value(e);
    });
    const error_value_t e = done.get_future().get();
    if (e) {
        session.print(ustring_t(u"Ошибка загрузки журнала\n") + window_message_text(e));
        return 1;
    }
    return write_output(o, export_bytes(counters, o.format));
}

int run_journal(cli::Context& ctx) {
    Options o;
    if (int rc = parse(ctx.options, o)) return rc;
    static const char* const kNames[] = {"threshold1", "threshold2", "alarms", "setup", "config", "counters", "trend"};
    int kind = -1;
    for (int i = 0; i < kJournalCount; ++i)
        if (o.name == kNames[i]) kind = i;
    if (kind < 0)
        return cli::usage_error("неизвестный журнал: " + o.name +
                                " (threshold1, threshold2, alarms, setup, config, counters, trend)");

    // Status-line texts are not shown: the progress stands for them.
    cli::Session session(cli::StatusLines::keep_last);
    if (!session.open_port(ctx)) return 1;
    BarLine bar;
    ProgressPrinter progress(bar);
    session.before_line = [&bar] { bar.end(); };
    window_queue_t& queue = session.queue();

    mb_link_t::poll_pause_guard_t pause(session.link());
    switch (journal_kind(kind)) {
    case journal_kind::threshold1: return download_and_export<item1_t>(session.link(), o, queue, progress);
    case journal_kind::threshold2: return download_and_export<item2_t>(session.link(), o, queue, progress);
    case journal_kind::alarms: return download_and_export<item3_t>(session.link(), o, queue, progress);
    case journal_kind::setup: return download_and_export<item4_t>(session.link(), o, queue, progress);
    case journal_kind::config: return download_and_export<item6_t>(session.link(), o, queue, progress);
    case journal_kind::trend: return download_and_export<item7_t>(session.link(), o, queue, progress);
    default: return export_counters(session, o);
    }
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("journal",
                              "journal ЖУРНАЛ [--format csv|txt] [-o ФАЙЛ] [--partial] [--plot ФАЙЛ.png]  журнал "
                              "устройства (threshold1, threshold2, alarms, setup, config, counters, trend); "
                              "--plot: график тренда в PNG",
                              run_journal, "--format= -o= --partial --plot=");
