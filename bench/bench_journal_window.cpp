// The share of the line a journal download keeps in the program. A
// threshold-1 journal is downloaded from the line-timed simulator twice: bare
// (the poll cycle held back and the hand-overs served by a plain queue, as
// luma10ctl does) and through the program's own windows (the main window open
// with its 100 ms refresh and its poll cycle, the journals window opened from
// it, the download started by the page's load button). Prints records per
// second and the share of the line's limit for each, and how long the main
// window's concentration went without a fresh reading during the download;
// the download through the windows runs again with the line monitor shown.
//
// Then the page redraw: a threshold-1 page holding 65 536 downloaded records
// is moved to 200 scroll positions; each move rebuilds the 20-record text and
// renders the form.
//   bench_journal_window
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>

#include "bench_line.h"
#include "foundation/time_services.h"
#include "model/app_state.h"
#include "model/journal_download.h"
#include "model/mb_link.h"
#include "model/window_queue.h"
#include "procedures/write_procedures.h"
#include "sim/simulator.h"
#include "toolkit/uik.h"
#include "windows/journals_window.h"
#include "windows/new_form.h"

using namespace luma;
using Clock = std::chrono::steady_clock;

namespace {

using namespace bench;

struct Outcome {
    double rate = 0;           // records per second, 0: failed
    double longest_gap_s = 0;  // longest time without a fresh concentration
};

Outcome bare(unsigned speed, uint32_t records) {
    auto g = std::make_unique<G_t>();
    window_queue_t queue;
    g->window_poster = queue.poster();
    Line line(timed_line(speed, records), *g);
    if (!line.ok) return {};
    QueuePage<item1_t> page(queue);
    mb_link_t::poll_pause_guard_t pause(*line.link);
    const auto t0 = Clock::now();
    const journal_download_result_t r = download_journal_serving(*g, page, queue);
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r.error || page.records.count() != records) return {};
    return {records / secs, 0};
}

Outcome through_window(unsigned speed, uint32_t records, bool monitor = false) {
    G_t& g = G_;
    g.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
    Line line(timed_line(speed, records), g);
    if (!line.ok) return {};
    Outcome out;
    {
        auto form = std::make_unique<GNewForm>(g, "luma10");
        UIK::App::Defer([&] {
            form->Show();
            GStart& start = form->Start();
            if (!UIK::App::RunUntil([&] { return g.is_connected() && g.params.concentration.is_read(); }, 20000)) {
                UIK::App::Quit();
                return;
            }
            if (monitor) {
                // The line monitor shown under the main window, as «Показать журнал» does.
                form->Main().LogToggle().PerformClick();
                UIK::App::RunUntil([&] { return form->Main().LineMonitor().Watching(); }, 20000);
            }
            start.OpenSubWindow("journals", Tick64());
            GJournal<0>& page = start.SubWindow<GJournals>().Window().page0_;
            const auto t0 = Clock::now();
            page.LoadOrStop();
            // The concentration's time stamp, watched from the window thread.
            int64_t stamp = g.params.concentration.time();
            auto fresh_at = Clock::now();
            double gap = 0;
            UIK::App::RunUntil(
                [&] {
                    const auto now = Clock::now();
                    const int64_t s = g.params.concentration.time();
                    if (s != stamp) {
                        stamp = s;
                        fresh_at = now;
                    }
                    gap = std::max(gap, std::chrono::duration<double>(now - fresh_at).count());
                    return !page.DownloadPending();
                },
                900000);
            const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
            if (page.records.count() == records) out = {records / secs, gap};
            UIK::App::Quit();
        });
        UIK::App::RunMessageLoop(nullptr);
        // Workers stop before the windows go.
        StopDeviceTraffic(*line.link);
        form.reset();
    }
    line.stop();
    g.window_poster = nullptr;
    return out;
}

void redraw() {
    auto g = std::make_unique<G_t>();
    GForm_T<GJournals> form(*g);
    GJournal<0>& page = form.Window().page0_;
    for (uint32_t i = 0; i < kMaxReservedRecords; ++i)
        page.records.append(item1_t{i, {26, 3, 12, uint8_t(i % 24), uint8_t(i % 60), uint8_t(i % 60)}, uint16_t(i % 1000)});
    page.loaded = true;
    double worst = 0, total = 0;
    UIK::App::Defer([&] {
        form.Show();
        page.Refresh(true);
        form.Render();
        constexpr int kMoves = 200;
        double text_total = 0;
        for (int k = 0; k < kMoves; ++k) {
            const auto t0 = Clock::now();
            page.sb_.SetPosition(int64_t(k) * 327 % kMaxReservedRecords);
            const auto t1 = Clock::now();
            form.Render();
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            text_total += std::chrono::duration<double, std::milli>(t1 - t0).count();
            worst = std::max(worst, ms);
            total += ms;
        }
        std::printf("страница из 20 записей при %u загруженных: перерисовка %.3f мс в среднем (текст %.3f, "
                    "отрисовка %.3f), худшая %.3f мс (цель: меньше 5 мс)\n",
                    kMaxReservedRecords, total / kMoves, text_total / kMoves, (total - text_total) / kMoves, worst);
        UIK::App::Quit();
    });
    UIK::App::RunMessageLoop(nullptr);
}

}  // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
    UIK::GResourcesUser res;
    if (!res.Ok()) {
        std::fprintf(stderr, "bench_journal_window: no video driver\n");
        return 1;
    }
    struct Run {
        unsigned speed;
        uint32_t records;
    };
    // Long enough for several poll cycles to fall inside each download.
    const Run runs[] = {{9600, 600}, {115200, 4000}};
    for (const Run& run : runs) {
        const double limit = run.records / ((kStartChars + run.records * kListRecordChars) * kBitsPerChar / run.speed);
        const Outcome b = bare(run.speed, run.records);
        const Outcome w = through_window(run.speed, run.records);
        const Outcome m = through_window(run.speed, run.records, true);
        std::printf("Порог 1 %6u бод, %u записей: без окна и опроса %7.1f записей/с (доля %.3f), через окна "
                    "программы %7.1f записей/с (доля %.3f); концентрация не обновлялась до %.1f с\n",
                    run.speed, run.records, b.rate, b.rate / limit, w.rate, w.rate / limit, w.longest_gap_s);
        std::printf("        с монитором линии на экране: %7.1f записей/с (доля %.3f); концентрация не обновлялась "
                    "до %.1f с\n",
                    m.rate, m.rate / limit, m.longest_gap_s);
        std::fflush(stdout);
    }
    redraw();
    return 0;
}
