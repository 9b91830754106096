// The trend chart's redraw with a full trend journal: 65 536 samples (the
// simulator's realistic days, a record a minute, about 45 days) painted at the
// journals window's chart size and at the file size of --plot, showing all of
// it and zoomed and panned as a user does with the wheel and the keys. Each
// redraw is the whole chart: layout, grid, ticks and texts, thresholds, both
// curves decimated per pixel column, the readout. Prints the mean and worst
// redraw against the window's 100 ms refresh, the decimation alone, and the
// PNG export.
//   bench_trend_chart
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "chart/trend_plot.h"
#include "model/trend_chart.h"
#include "sim/journals.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kSamples = 65536;
constexpr double kRefreshMs = 100.0;

double ms_since(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

struct Figures {
    double mean = 0, worst = 0;
};

// n redraws of the chart in a w x h area, each after one step of the user's
// zoom and pan (step(i)).
template <typename Step>
Figures redraws(luma::trend_chart_t& chart, const chart::look_t& look, int w, int h, int n, Step step) {
    plat::ui::Surface s(w, h);
    s.ClearClip();
    Figures f;
    for (int i = 0; i < n; ++i) {
        step(i);
        const luma::chart_hit_t hover = chart.hit(chart.plot_left() + (i * 37) % std::max(1, chart.plot_width()));
        const auto t0 = Clock::now();
        chart::paint(s, {0, 0, w, h}, chart, look, &hover);
        const double ms = ms_since(t0);
        f.mean += ms / n;
        f.worst = std::max(f.worst, ms);
    }
    return f;
}

}  // namespace

int main() {
    sim::JournalCounts_t counts;
    counts.trend = kSamples;
    counts.trend_day = true;
    const sim::JournalSet_t set(1, counts);
    std::vector<luma::item7_t> records(kSamples);
    for (uint32_t i = 0; i < kSamples; ++i) {
        const sim::TrendRecord_t t = set.trend(i);
        records[i] = {i, t.time, t.concentration, t.temperature};
    }
    luma::trend_chart_t chart;
    chart.set_samples(records.data(), records.size());
    luma::chart_thresholds_t th;
    th.has_warn = th.has_alarm = th.has_save = th.has_hysteresis = true;
    th.warn = 20;
    th.alarm = 50;
    th.save = 90;
    th.hysteresis = 2;
    chart.set_thresholds(th);

    if (!plat::ui::AcquireDrawing()) {
        std::fprintf(stderr, "bench_trend_chart: no font library\n");
        return 1;
    }
    int rc = 0;
    {
        auto font = plat::ui::Font::Open(chart::kFontFace, chart::kFontHeight, 0);
        chart::look_t look;
        look.font = font.get();
        std::printf("Trend chart of %u samples (%.1f days)\n", kSamples, (chart.full_end() - chart.full_begin()) / 86400);

        // Decimation alone, all samples in view, at the window's plot width.
        chart::lay_out(chart, 640, 427, look);
        {
            const int n = 50;
            const auto t0 = Clock::now();
            size_t drawn = 0;
            for (int i = 0; i < n; ++i) drawn += chart.conc_columns().size() + chart.temp_columns().size();
            std::printf("  decimation of both curves, all in view:  %.2f ms (%zu columns)\n", ms_since(t0) / n,
                        drawn / n / 2);
        }

        struct Size {
            const char* name;
            int w, h;
        } const sizes[] = {{"window chart 640 x 427", 640, 427}, {"--plot file 1200 x 600", chart::kFileWidth, chart::kFileHeight}};
        for (const Size& sz : sizes) {
            chart.show_all();
            const Figures all = redraws(chart, look, sz.w, sz.h, 40, [](int) {});
            chart.show_all();
            // Wheel notches in, then drags and arrow keys across, then out.
            const Figures zoom = redraws(chart, look, sz.w, sz.h, 120, [&](int i) {
                if (i < 40) chart.zoom_at(chart.plot_left() + chart.plot_width() / 3, 1 / luma::trend_chart_t::kWheelZoom);
                else if (i < 80) chart.pan_pixels(i % 2 ? 25 : -7);
                else chart.zoom_at(chart.plot_left() + chart.plot_width() / 2, luma::trend_chart_t::kWheelZoom);
            });
            std::printf("  %s: all in view %.2f ms mean, %.2f ms worst; zooming and panning %.2f ms mean, "
                        "%.2f ms worst (refresh %.0f ms)\n",
                        sz.name, all.mean, all.worst, zoom.mean, zoom.worst, kRefreshMs);
            if (std::max(all.worst, zoom.worst) > kRefreshMs) rc = 1;
        }

        chart.show_all();
        std::string png;
        const auto t0 = Clock::now();
        const bool ok = chart::png_bytes(chart, look, &png);
        std::printf("  PNG export %d x %d: %.1f ms, %zu bytes\n", chart::kFileWidth, chart::kFileHeight, ms_since(t0),
                    png.size());
        if (!ok) rc = 1;
    }
    plat::ui::ReleaseDrawing();
    std::printf(rc == 0 ? "Every redraw within the refresh.\n" : "A redraw took longer than the refresh.\n");
    return rc;
}
