// Journal download against the simulated detector with line timing: the
// simulator lets every request take its wire time and sends its reply one
// character time per byte, so the line itself sets the pace. Prints records
// per second for a list journal (threshold 1) and for the trend at 9600 and
// 115200 baud, and their ratio to the line's limit: the wire time of every
// frame the download needs (identity and count reads included), from the
// frame sizes and the character time of 8N1 (10 bits). Measured with the poll
// cycle held back, as luma10ctl journal does, and again with it running, as
// in the program, where its own traffic shares the line.
//   bench_journal
#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bench_line.h"
#include "model/app_state.h"
#include "model/journal_download.h"
#include "model/mb_link.h"
#include "model/window_queue.h"
#include "sim/simulator.h"

using namespace luma;

namespace {

using namespace bench;

// Trend block: count and start writes, one state read, the 120-register window.
constexpr unsigned kTrendBlockChars = 2 * write_exchange(2) + read_exchange(2) + read_exchange(120);

struct Figure {
    double records_per_second = 0;
    double limit = 0;
    bool ok = false;
};

template <typename Item>
Figure measure(unsigned speed, bool poll, uint32_t records, unsigned line_chars) {
    Figure f;
    auto g = std::make_unique<G_t>();
    window_queue_t queue;
    g->window_poster = queue.poster();
    sim::Options_t o = timed_line(speed, records);
    o.turnaround_ms = 0;
    Line line(o, *g);
    if (!line.ok) return f;
    mb_link_t& link = *line.link;
    std::optional<mb_link_t::poll_pause_guard_t> pause;
    if (!poll) pause.emplace(link);
    QueuePage<Item> page(queue);
    const auto t0 = std::chrono::steady_clock::now();
    const journal_download_result_t r = download_journal_serving(*g, page, queue);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    pause.reset();
    if (r.error || page.records.count() != records) {
        std::fprintf(stderr, "загрузка не удалась: %s\n", text::utf8(r.error.describe()).c_str());
        return f;
    }
    f.records_per_second = records / secs;
    f.limit = records / ((kStartChars + line_chars) * kBitsPerChar / speed);
    f.ok = true;
    return f;
}

// The machine is shared, so each figure is the median of three runs; the best
// run is printed too.
template <typename Item>
void run_and_print(const char* what, unsigned speed, bool poll, uint32_t records, unsigned line_chars) {
    Figure runs[3];
    for (Figure& f : runs) f = measure<Item>(speed, poll, records, line_chars);
    std::sort(std::begin(runs), std::end(runs),
              [](const Figure& a, const Figure& b) { return a.records_per_second < b.records_per_second; });
    const Figure& f = runs[1];
    const char* label = poll ? "с опросом" : "без опроса";
    if (!runs[0].ok) {
        std::printf("%-8s %6u бод  %-10s  ошибка\n", what, speed, label);
        return;
    }
    std::printf("%-8s %6u бод  %-10s  %8.1f записей/с  предел линии %8.1f  доля %.3f (лучшая %.3f)\n", what, speed,
                label, f.records_per_second, f.limit, f.records_per_second / f.limit,
                runs[2].records_per_second / f.limit);
    std::fflush(stdout);
}

}  // namespace

int main() {
    struct Run {
        unsigned speed;
        uint32_t list_records;
        uint32_t trend_records;
    };
    // About two seconds of line time per download.
    const Run runs[] = {{9600, 40, 240}, {115200, 400, 3000}};
    std::printf("кадры: запись журнала %u символов, блок тренда (40 записей) %u, начало %u\n", kListRecordChars,
                kTrendBlockChars, kStartChars);
    for (const Run& run : runs) {
        const uint32_t blocks = (run.trend_records + 39) / 40;
        for (bool poll : {false, true}) {
            run_and_print<item1_t>("Порог 1", run.speed, poll, run.list_records, run.list_records * kListRecordChars);
            run_and_print<item7_t>("Тренд", run.speed, poll, run.trend_records, blocks * kTrendBlockChars);
        }
    }
    return 0;
}
