// The trend journal as a chart, without any drawing: the samples, the time
// range shown (zoom and pan), the scales of the plot area, the axis ticks and
// their texts, the per-column decimation of the curves and the hit test of
// the pointer. The window's chart control and luma10ctl's PNG both paint from
// this one model (chart/trend_plot.h), so they show the same chart.
//
// Times are the trend's own: seconds since 2000-01-01 00:00:00 of the
// detector's clock, which keeps local time (no time-zone shift is applied).
// Concentration is in %LEL and temperature in degrees Celsius, as the trend
// records them (one byte each).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/journal_records.h"

struct ParamMap_t;

namespace luma {

// The detector's four threshold settings (%LEL); a value not read is absent.
struct chart_thresholds_t {
    bool has_warn = false, has_alarm = false, has_save = false, has_hysteresis = false;
    uint16_t warn = 0, alarm = 0, save = 0, hysteresis = 0;
};
// The thresholds as last read into the parameter map.
chart_thresholds_t chart_thresholds_from_params(const ParamMap_t& params);

// One tick of an axis: its pixel and its text (the time axis may add a
// second line, the date, where the day changes).
struct chart_tick_t {
    int pixel = 0;
    double value = 0;
    std::string label;
    std::string label2;
};

// The drawn extent of one curve in one pixel column of the plot area: the
// rows top..bottom (inclusive, top <= bottom). Columns without a curve have
// has = false.
struct chart_column_t {
    bool has = false;
    int top = 0, bottom = 0;
};

// What the pointer is over: the nearest sample by time.
struct chart_hit_t {
    bool found = false;
    size_t index = 0;  // into the samples
    int x = 0;         // the sample's column (plot coordinates of the chart)
    uint32_t time = 0;
    uint16_t concentration = 0, temperature = 0;
};

class trend_chart_t {
public:
    // The smallest time span the chart zooms in to, in seconds.
    static constexpr double kMinSpan = 60.0;
    // Zoom factors of one wheel notch and of the + and - keys.
    static constexpr double kWheelZoom = 1.25;
    static constexpr double kKeyZoom = 2.0;
    // Consecutive samples further apart than this many typical steps are not
    // joined: the device did not record in between.
    static constexpr double kGapSteps = 5.0;

    // Replaces the samples and shows all of them.
    void set_samples(const item7_t* records, size_t count);
    template <typename Array>
    void set_samples(const Array& records) {
        set_samples(records.count() ? &records[0] : nullptr, records.count());
    }
    void set_thresholds(const chart_thresholds_t& t);
    size_t sample_count() const { return times_.size(); }
    const chart_thresholds_t& thresholds() const { return thresholds_; }

    // The plot area inside the chart, in the chart's pixels. Scales and ticks
    // follow it.
    void set_plot_area(int left, int top, int width, int height);
    int plot_left() const { return left_; }
    int plot_top() const { return top_; }
    int plot_width() const { return width_; }
    int plot_height() const { return height_; }

    // ---- the time range shown ----
    double view_begin() const { return view_begin_; }
    double view_end() const { return view_end_; }
    // Everything the samples span (a single sample or samples all at one time
    // get half an hour either side).
    double full_begin() const { return full_begin_; }
    double full_end() const { return full_end_; }
    void show_all();
    // Sets the range, kept within the full range and at least kMinSpan wide
    // (or the full range when that is narrower).
    void set_view(double begin, double end);
    // Scales the span by factor (> 1 zooms out) around the time under pixel
    // column x (chart coordinates), which stays where it is.
    void zoom_at(int x, double factor);
    // Moves the range by dx pixels of the plot area (positive: later times
    // come into view from the right).
    void pan_pixels(double dx);
    // What the chart's keys do: zoom in and out around the middle by
    // kKeyZoom, pan by a tenth of the width, show all.
    enum key_t { key_zoom_in, key_zoom_out, key_left, key_right, key_home };
    void key(key_t k);

    // ---- scales ----
    // The concentration axis runs from 0 to a round value above the samples
    // and the first two thresholds; the temperature axis spans the
    // temperatures with a margin, at least 10 degrees.
    double conc_min() const { return conc_min_; }
    double conc_max() const { return conc_max_; }
    double temp_min() const { return temp_min_; }
    double temp_max() const { return temp_max_; }
    // Pixels (chart coordinates) of a time, a concentration, a temperature;
    // and back from a column to a time.
    double x_of(double t) const;
    double time_at(double x) const;
    double y_of_conc(double c) const;
    double y_of_temp(double c) const;

    // ---- ticks ----
    // About one tick per min_spacing pixels, on round steps: times on whole
    // seconds, minutes, hours or days of the device's calendar; values on 1,
    // 2 or 5 times a power of ten.
    std::vector<chart_tick_t> time_ticks(int min_spacing) const;
    std::vector<chart_tick_t> conc_ticks(int min_spacing) const;
    std::vector<chart_tick_t> temp_ticks(int min_spacing) const;
    // The time step the time ticks use for this spacing, in seconds.
    double time_step(int min_spacing) const;

    // ---- curves ----
    // Per plot column, what the concentration (temperature) line covers: the
    // samples in view decimated to their minimum and maximum per column, and
    // the joins between neighbouring samples. As many entries as the plot is
    // wide; the cost is one pass over the samples in view, whatever the zoom.
    std::vector<chart_column_t> conc_columns() const { return columns(conc_, conc_min_, conc_max_); }
    std::vector<chart_column_t> temp_columns() const { return columns(temp_, temp_min_, temp_max_); }

    // The sample nearest in time to pixel column x (chart coordinates), among
    // those in view; none when x is outside the plot or nothing is in view.
    chart_hit_t hit(int x) const;

    // "2026.01.01 10:15:00" of a trend time.
    static std::string time_text(uint32_t seconds);

private:
    std::vector<chart_column_t> columns(const std::vector<uint16_t>& values, double lo, double hi) const;
    void update_scales();
    // The samples whose times lie in [begin, end], as an index range of the
    // samples (sorted samples only; otherwise all of them).
    void visible_range(size_t& first, size_t& last) const;

    std::vector<uint32_t> times_;
    std::vector<uint16_t> conc_, temp_;
    bool sorted_ = true;
    double typical_step_ = 60.0;
    chart_thresholds_t thresholds_;

    int left_ = 0, top_ = 0, width_ = 1, height_ = 1;
    double full_begin_ = 0, full_end_ = 3600;
    double view_begin_ = 0, view_end_ = 3600;
    double conc_min_ = 0, conc_max_ = 10, temp_min_ = 0, temp_max_ = 10;
};

}  // namespace luma
