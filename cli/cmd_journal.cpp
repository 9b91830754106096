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
#include "cli/device_report.h"
#include "cli/trend_plot.h"
#include "model/app_state.h"
#include "model/journal_download.h"
#include "model/journal_export.h"
#include "model/mb_link.h"
#include "model/window_queue.h"
#include "platform/interrupt.h"
#include "platform/terminal.h"

namespace {

using namespace luma;
using Clock = std::chrono::steady_clock;

// The download's messages, shown on stderr.
struct StderrMessages : IWindowSide {
    void show_status_text(const ustring_t&, uint64_t) override {}
    void show_info_message(const ustring_t& t, uint32_t) override { line(t); }
    void show_error_message(const ustring_t& t, uint32_t) override { line(t); }
    void clear_message() override {}
    void line(const ustring_t& t) {
        if (bar_drawn) std::fputc('\n', stderr);
        bar_drawn = false;
        std::fprintf(stderr, "%s\n", text::utf8(t).c_str());
    }
    bool bar_drawn = false;
};

// Progress on stderr: a bar redrawn in place on a terminal, otherwise a plain
// line at most once a second (and for the last record).
class ProgressPrinter {
public:
    explicit ProgressPrinter(StderrMessages& out) : out_(out), terminal_(plat::is_terminal(plat::std_stream::error)) {}

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
            out_.bar_drawn = true;
        } else if (loaded >= total || now - last_line_ >= std::chrono::seconds(1)) {
            std::fprintf(stderr, "%u/%u %u записей/с\n", loaded, total, rate);
            last_line_ = now;
        }
        std::fflush(stderr);
    }

private:
    StderrMessages& out_;
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

int export_counters(mb_link_t& link, const Options& o, StderrMessages& messages) {
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
        messages.line(ustring_t(u"Ошибка загрузки журнала\n") + window_message_text(e));
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

    plat::catch_interrupts();
    mb_link_t::set_read_diagnostics(false);
    // The window side is made before the link and goes after it: the link's
    // workers post into the queue until they are stopped, a worker even
    // after the serving thread has seen the last of its tasks.
    window_queue_t queue;
    StderrMessages messages;
    mb_link_t link(G_.params);
    if (!cli::OpenDevice(ctx, link)) return 1;
    G_.link = &link;

    ProgressPrinter progress(messages);
    G_.window_poster = queue.poster();
    G_.main_window = &messages;

    int rc;
    {
        mb_link_t::poll_pause_guard_t pause(link);
        switch (journal_kind(kind)) {
        case journal_kind::threshold1: rc = download_and_export<item1_t>(link, o, queue, progress); break;
        case journal_kind::threshold2: rc = download_and_export<item2_t>(link, o, queue, progress); break;
        case journal_kind::alarms: rc = download_and_export<item3_t>(link, o, queue, progress); break;
        case journal_kind::setup: rc = download_and_export<item4_t>(link, o, queue, progress); break;
        case journal_kind::config: rc = download_and_export<item6_t>(link, o, queue, progress); break;
        case journal_kind::trend: rc = download_and_export<item7_t>(link, o, queue, progress); break;
        default: rc = export_counters(link, o, messages); break;
        }
    }
    // The workers stop before the hand-overs to the window side go.
    link.worker1().Stop();
    link.worker2().Stop();
    G_.main_window = nullptr;
    G_.window_poster = nullptr;
    G_.link = nullptr;
    link.close();
    return rc;
}

}  // namespace

LUMA_CLI_COMMAND_WITH_OPTIONS("journal",
                              "journal ЖУРНАЛ [--format csv|txt] [-o ФАЙЛ] [--partial] [--plot ФАЙЛ.png]  журнал "
                              "устройства (threshold1, threshold2, alarms, setup, config, counters, trend); "
                              "--plot: график тренда в PNG",
                              run_journal, "--format= -o= --partial --plot=");
