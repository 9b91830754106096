// The trend chart's model: scales, ticks, decimation, zoom and pan, the hit
// test, and a chart with no samples or a single one.
#include <gtest/gtest.h>

#include <cmath>

#include "model/trend_chart.h"

using namespace luma;

namespace {

// 2026-01-01 00:00:00 in trend seconds.
constexpr uint32_t kNewYear = 820540800;

std::vector<item7_t> minutes(size_t n, uint32_t start = kNewYear) {
    std::vector<item7_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = {uint32_t(i), start + uint32_t(i) * 60, uint16_t(i % 40), uint16_t(20 + i % 5)};
    return v;
}

trend_chart_t chart_of(const std::vector<item7_t>& v, int width = 600, int height = 300) {
    trend_chart_t c;
    c.set_samples(v.data(), v.size());
    c.set_plot_area(50, 20, width, height);
    return c;
}

}  // namespace

TEST(TrendChart, ScalesCoverSamplesAndThresholdsAndMapToThePlotArea) {
    auto v = minutes(1440);
    trend_chart_t c = chart_of(v);
    EXPECT_EQ(c.view_begin(), kNewYear);
    EXPECT_EQ(c.view_end(), kNewYear + 1439 * 60);
    EXPECT_EQ(c.conc_min(), 0);
    EXPECT_GE(c.conc_max(), 39);
    // Threshold 2 above every sample widens the axis to include it.
    chart_thresholds_t t;
    t.has_warn = t.has_alarm = true;
    t.warn = 20;
    t.alarm = 75;
    c.set_thresholds(t);
    EXPECT_GE(c.conc_max(), 75);
    EXPECT_LE(c.conc_max(), 100);
    // Temperatures 20..24 get at least 10 degrees, with room either side.
    EXPECT_LT(c.temp_min(), 20);
    EXPECT_GT(c.temp_max(), 24);
    EXPECT_GE(c.temp_max() - c.temp_min(), 10);

    // Ends of the ranges land on the edges of the plot area.
    EXPECT_DOUBLE_EQ(c.x_of(c.view_begin()), 50);
    EXPECT_DOUBLE_EQ(c.x_of(c.view_end()), 650);
    EXPECT_DOUBLE_EQ(c.y_of_conc(c.conc_min()), 20 + 299);
    EXPECT_DOUBLE_EQ(c.y_of_conc(c.conc_max()), 20);
    EXPECT_DOUBLE_EQ(c.time_at(c.x_of(kNewYear + 3600)), kNewYear + 3600);
}

TEST(TrendChart, TicksFallOnRoundTimesAndValuesWithDatesWhereTheDayChanges) {
    // A day from 17:00 to 17:00: ticks on whole hours, and the date under
    // the first tick and under midnight.
    auto v = minutes(1441, kNewYear - 7 * 3600);
    trend_chart_t c = chart_of(v, 600);
    const auto ticks = c.time_ticks(100);
    ASSERT_GE(ticks.size(), 4u);
    const double step = ticks[1].value - ticks[0].value;
    EXPECT_EQ(step, c.time_step(100));
    EXPECT_GE(step * 600 / (24 * 3600.0), 100);
    EXPECT_EQ(int64_t(step) % 3600, 0);
    int dates = 0;
    for (const chart_tick_t& t : ticks) {
        EXPECT_EQ(int64_t(t.value) % int64_t(step), 0);
        EXPECT_EQ(t.label.size(), 5u) << t.label;  // "HH:MM"
        if (!t.label2.empty()) ++dates;
        if (t.value == kNewYear) {
            EXPECT_EQ(t.label, "00:00");
            EXPECT_EQ(t.label2, "2026.01.01");
        }
    }
    EXPECT_EQ(ticks.front().label2, "2025.12.31");
    EXPECT_EQ(dates, 2);
    // Zoomed to a few minutes the ticks carry seconds.
    c.set_view(kNewYear, kNewYear + 120);
    EXPECT_EQ(c.time_ticks(100).front().label.size(), 8u);

    // Value ticks: round steps from the axis's bottom, one per 40 px at most.
    const auto conc = c.conc_ticks(40);
    ASSERT_GE(conc.size(), 2u);
    EXPECT_EQ(conc.front().label, "0");
    EXPECT_EQ(conc.front().pixel, 319);
    EXPECT_LE(conc.size(), 300u / 40 + 1);
    for (const chart_tick_t& t : c.temp_ticks(40)) EXPECT_EQ(t.label, std::to_string(int(t.value)));
}

TEST(TrendChart, ColumnsHoldTheMinimumAndMaximumOfTheirSamplesAndJoinNeighbours) {
    // 100 samples over 10 columns: each column spans its samples' extremes.
    std::vector<item7_t> v(100);
    for (uint32_t i = 0; i < 100; ++i) v[i] = {i, kNewYear + i, uint16_t(i % 10 == 3 ? 50 : 10), 20};
    trend_chart_t c = chart_of(v, 10, 101);
    c.set_thresholds({});
    const auto cols = c.conc_columns();
    ASSERT_EQ(cols.size(), 10u);
    for (const chart_column_t& col : cols) {
        ASSERT_TRUE(col.has);
        EXPECT_EQ(col.top, int(std::lround(c.y_of_conc(50))));
        EXPECT_EQ(col.bottom, int(std::lround(c.y_of_conc(10))));
    }
    // Zoomed in, two samples far apart fill every column between them.
    c.set_view(kNewYear + 3, kNewYear + 4 + 60);
    size_t filled = 0;
    for (const chart_column_t& col : c.conc_columns()) filled += col.has;
    EXPECT_EQ(filled, 10u);

    // A pause of many steps in recording is left open.
    std::vector<item7_t> gap = minutes(20);
    for (size_t i = 10; i < 20; ++i) gap[i].time += 3600;
    trend_chart_t g = chart_of(gap, 100);
    const auto gcols = g.conc_columns();
    const double gap_begin = g.x_of(gap[9].time) - 50, gap_end = g.x_of(gap[10].time) - 50;
    for (int x = int(gap_begin) + 2; x < int(gap_end) - 1; ++x) EXPECT_FALSE(gcols[size_t(x)].has) << x;
}

TEST(TrendChart, ZoomKeepsThePointUnderThePointerAndPanStaysWithinTheSamples) {
    auto v = minutes(1440);
    trend_chart_t c = chart_of(v);
    const double t = c.time_at(200);
    c.zoom_at(200, 1 / trend_chart_t::kWheelZoom);
    EXPECT_NEAR(c.time_at(200), t, 1e-6);
    EXPECT_NEAR(c.view_end() - c.view_begin(), 1439 * 60 / trend_chart_t::kWheelZoom, 1e-6);
    // Zooming out never goes past everything; in, never below the minimum.
    for (int i = 0; i < 50; ++i) c.zoom_at(400, 4);
    EXPECT_EQ(c.view_begin(), c.full_begin());
    EXPECT_EQ(c.view_end(), c.full_end());
    for (int i = 0; i < 50; ++i) c.key(trend_chart_t::key_zoom_in);
    EXPECT_DOUBLE_EQ(c.view_end() - c.view_begin(), trend_chart_t::kMinSpan);
    // Panning stops at the ends; Home shows all.
    const double begin = c.view_begin();
    c.key(trend_chart_t::key_right);
    EXPECT_DOUBLE_EQ(c.view_begin(), begin + trend_chart_t::kMinSpan / 10);
    c.pan_pixels(1e9);
    EXPECT_DOUBLE_EQ(c.view_end(), c.full_end());
    c.pan_pixels(-1e9);
    EXPECT_DOUBLE_EQ(c.view_begin(), c.full_begin());
    c.key(trend_chart_t::key_home);
    EXPECT_EQ(c.view_end(), c.full_end());
}

TEST(TrendChart, HitFindsTheNearestSampleInViewOnlyInsideThePlot) {
    auto v = minutes(100);
    trend_chart_t c = chart_of(v, 990);  // 10 px a minute
    const chart_hit_t h = c.hit(50 + 10 * 42 + 4);
    ASSERT_TRUE(h.found);
    EXPECT_EQ(h.index, 42u);
    EXPECT_EQ(h.time, v[42].time);
    EXPECT_EQ(h.concentration, v[42].concentration);
    EXPECT_EQ(h.temperature, v[42].temperature);
    EXPECT_EQ(h.x, 50 + 420);
    EXPECT_EQ(c.hit(50 + 10 * 42 + 6).index, 43u);
    EXPECT_FALSE(c.hit(49).found);
    EXPECT_FALSE(c.hit(50 + 990).found);
    // Out of sorted order (a clock set back) the nearest is still found.
    std::swap(v[10], v[60]);
    c.set_samples(v.data(), v.size());
    EXPECT_EQ(c.hit(50 + 10 * 60).index, 10u);
    EXPECT_EQ(trend_chart_t::time_text(kNewYear + 3661), "2026.01.01 01:01:01");
}

TEST(TrendChart, EmptyAndSingleSampleChartsHaveARangeAndNothingToHit) {
    trend_chart_t empty;
    empty.set_samples(nullptr, 0);
    empty.set_plot_area(0, 0, 300, 100);
    EXPECT_GT(empty.view_end(), empty.view_begin());
    EXPECT_GT(empty.conc_max(), empty.conc_min());
    EXPECT_FALSE(empty.hit(150).found);
    for (const chart_column_t& col : empty.conc_columns()) EXPECT_FALSE(col.has);
    empty.zoom_at(150, 0.5);
    empty.key(trend_chart_t::key_left);
    EXPECT_GT(empty.view_end(), empty.view_begin());

    // One sample: an hour around it, the sample in the middle column.
    const std::vector<item7_t> one{{0, kNewYear, 25, 18}};
    trend_chart_t c = chart_of(one, 300, 100);
    EXPECT_DOUBLE_EQ(c.view_end() - c.view_begin(), 3600);
    const chart_hit_t h = c.hit(200);
    ASSERT_TRUE(h.found);
    EXPECT_EQ(h.x, 50 + 150);
    int drawn = 0;
    for (const chart_column_t& col : c.conc_columns()) drawn += col.has;
    EXPECT_EQ(drawn, 1);
    EXPECT_FALSE(c.time_ticks(100).empty());
}
