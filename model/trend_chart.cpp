#include "model/trend_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/params.h"

namespace luma {

namespace {

constexpr double kDay = 86400.0;

// 1, 2 or 5 times a power of ten, at least 1 (the values are whole numbers),
// giving about n intervals over range.
double nice_step(double range, int n) {
    if (n < 1) n = 1;
    const double raw = range / n;
    if (!(raw > 1.0)) return 1.0;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * p >= raw) return m * p;
    return 10.0 * p;
}

std::string date_text(const device_time_t& t) {
    char b[32];
    std::snprintf(b, sizeof b, "%04u.%02u.%02u", t.year + 2000u, unsigned(t.month), unsigned(t.day));
    return b;
}

std::vector<chart_tick_t> value_ticks(double lo, double hi, int span_pixels, int min_spacing,
                                      double (trend_chart_t::*y_of)(double) const, const trend_chart_t& chart) {
    std::vector<chart_tick_t> out;
    if (min_spacing < 1 || span_pixels < 1 || !(hi > lo)) return out;
    const double step = nice_step(hi - lo, std::max(1, span_pixels / min_spacing));
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
        char b[32];
        std::snprintf(b, sizeof b, "%.0f", v);
        out.push_back({int(std::lround((chart.*y_of)(v))), v, b, {}});
    }
    return out;
}

}  // namespace

chart_thresholds_t chart_thresholds_from_params(const ParamMap_t& p) {
    chart_thresholds_t t;
    auto take = [](const mb_param_t& param, bool& has, uint16_t& v) {
        const param_snapshot_t s = param.snapshot();
        has = s.is_read();
        v = s.u16();
    };
    take(p.Threshold_Warn, t.has_warn, t.warn);
    take(p.Threshold_Alarm, t.has_alarm, t.alarm);
    take(p.Threshold_BDSafe, t.has_save, t.save);
    take(p.Threshold_Delta, t.has_hysteresis, t.hysteresis);
    return t;
}

void trend_chart_t::set_samples(const item7_t* records, size_t count) {
    times_.resize(count);
    conc_.resize(count);
    temp_.resize(count);
    sorted_ = true;
    for (size_t i = 0; i < count; ++i) {
        times_[i] = records[i].time;
        conc_[i] = records[i].concentration;
        temp_[i] = records[i].temperature;
        if (i > 0 && times_[i] < times_[i - 1]) sorted_ = false;
    }
    // The typical step is the median of the steps forward (a sample of them
    // for a long trend): a clock set back or a pause in recording does not
    // shift it.
    std::vector<uint32_t> steps;
    const size_t stride = std::max<size_t>(1, count / 2048);
    for (size_t i = stride; i < count; i += stride)
        if (times_[i] > times_[i - 1]) steps.push_back(times_[i] - times_[i - 1]);
    typical_step_ = 60.0;
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        typical_step_ = steps[steps.size() / 2];
    }
    if (count == 0) {
        full_begin_ = 0;
        full_end_ = 3600;
    } else {
        const auto [lo, hi] = std::minmax_element(times_.begin(), times_.end());
        full_begin_ = *lo;
        full_end_ = *hi;
        if (full_end_ - full_begin_ < kMinSpan) {
            const double mid = (full_begin_ + full_end_) / 2;
            full_begin_ = mid - 1800;
            full_end_ = mid + 1800;
        }
    }
    show_all();
    update_scales();
}

void trend_chart_t::set_thresholds(const chart_thresholds_t& t) {
    thresholds_ = t;
    update_scales();
}

void trend_chart_t::update_scales() {
    double hi = 0;
    for (uint16_t c : conc_) hi = std::max(hi, double(c));
    if (thresholds_.has_warn) hi = std::max(hi, double(thresholds_.warn));
    if (thresholds_.has_alarm) hi = std::max(hi, double(thresholds_.alarm));
    hi = std::max(10.0, hi * 1.1);
    const double cstep = nice_step(hi, 5);
    conc_min_ = 0;
    conc_max_ = std::ceil(hi / cstep) * cstep;

    double tlo = 0, thi = 40;
    if (!temp_.empty()) {
        const auto [lo, hi2] = std::minmax_element(temp_.begin(), temp_.end());
        tlo = *lo;
        thi = *hi2;
        const double pad = std::max(2.0, (thi - tlo) * 0.1);
        tlo -= pad;
        thi += pad;
        if (thi - tlo < 10) {
            const double mid = (thi + tlo) / 2;
            tlo = mid - 5;
            thi = mid + 5;
        }
    }
    const double tstep = nice_step(thi - tlo, 5);
    temp_min_ = std::floor(tlo / tstep) * tstep;
    temp_max_ = std::ceil(thi / tstep) * tstep;
}

void trend_chart_t::set_plot_area(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = std::max(1, width);
    height_ = std::max(1, height);
}

void trend_chart_t::show_all() {
    view_begin_ = full_begin_;
    view_end_ = full_end_;
}

void trend_chart_t::set_view(double begin, double end) {
    const double full = full_end_ - full_begin_;
    double span = std::clamp(end - begin, std::min(kMinSpan, full), full);
    double mid = (begin + end) / 2;
    begin = mid - span / 2;
    begin = std::clamp(begin, full_begin_, full_end_ - span);
    view_begin_ = begin;
    view_end_ = begin + span;
}

void trend_chart_t::zoom_at(int x, double factor) {
    if (!(factor > 0)) return;
    const double t = time_at(x);
    const double full = full_end_ - full_begin_;
    const double span = std::clamp((view_end_ - view_begin_) * factor, std::min(kMinSpan, full), full);
    // The time under the pointer keeps its column.
    const double share = std::clamp((x - left_) / double(width_), 0.0, 1.0);
    double begin = std::clamp(t - share * span, full_begin_, full_end_ - span);
    view_begin_ = begin;
    view_end_ = begin + span;
}

void trend_chart_t::pan_pixels(double dx) {
    const double span = view_end_ - view_begin_;
    const double begin = std::clamp(view_begin_ + dx * span / width_, full_begin_, full_end_ - span);
    view_begin_ = begin;
    view_end_ = begin + span;
}

void trend_chart_t::key(key_t k) {
    switch (k) {
    case key_zoom_in: zoom_at(left_ + width_ / 2, 1 / kKeyZoom); break;
    case key_zoom_out: zoom_at(left_ + width_ / 2, kKeyZoom); break;
    case key_left: pan_pixels(-width_ / 10.0); break;
    case key_right: pan_pixels(width_ / 10.0); break;
    case key_home: show_all(); break;
    }
}

double trend_chart_t::x_of(double t) const { return left_ + (t - view_begin_) * width_ / (view_end_ - view_begin_); }
double trend_chart_t::time_at(double x) const { return view_begin_ + (x - left_) * (view_end_ - view_begin_) / width_; }
double trend_chart_t::y_of_conc(double c) const {
    return top_ + height_ - 1 - (c - conc_min_) * (height_ - 1) / (conc_max_ - conc_min_);
}
double trend_chart_t::y_of_temp(double c) const {
    return top_ + height_ - 1 - (c - temp_min_) * (height_ - 1) / (temp_max_ - temp_min_);
}

double trend_chart_t::time_step(int min_spacing) const {
    static const double kSteps[] = {1,      2,      5,      10,     15,      30,      60,       120,     300,
                                    600,    900,    1800,   3600,   7200,    10800,   21600,    43200,   kDay,
                                    2 * kDay, 7 * kDay, 14 * kDay, 30 * kDay, 91 * kDay, 182 * kDay, 365 * kDay};
    const double per_second = width_ / (view_end_ - view_begin_);
    for (double s : kSteps)
        if (s * per_second >= min_spacing) return s;
    return 365 * kDay * std::ceil(min_spacing / (365 * kDay * per_second));
}

std::vector<chart_tick_t> trend_chart_t::time_ticks(int min_spacing) const {
    std::vector<chart_tick_t> out;
    if (min_spacing < 1) return out;
    const double step = time_step(min_spacing);
    std::string last_date;
    for (double t = std::max(0.0, std::ceil(view_begin_ / step) * step); t <= view_end_ && t <= 4294967295.0;
         t += step) {
        const device_time_t d = device_time_from_seconds(uint32_t(t));
        char b[32];
        chart_tick_t tick;
        tick.pixel = int(std::lround(x_of(t)));
        tick.value = t;
        if (step >= kDay) {
            tick.label = date_text(d);
        } else {
            if (step < 60) std::snprintf(b, sizeof b, "%02u:%02u:%02u", unsigned(d.hour), unsigned(d.minute), unsigned(d.second));
            else std::snprintf(b, sizeof b, "%02u:%02u", unsigned(d.hour), unsigned(d.minute));
            tick.label = b;
            // The date under the first tick and wherever the day changes.
            std::string date = date_text(d);
            if (date != last_date) tick.label2 = date;
            last_date = date;
        }
        out.push_back(std::move(tick));
    }
    return out;
}

std::vector<chart_tick_t> trend_chart_t::conc_ticks(int min_spacing) const {
    return value_ticks(conc_min_, conc_max_, height_, min_spacing, &trend_chart_t::y_of_conc, *this);
}

std::vector<chart_tick_t> trend_chart_t::temp_ticks(int min_spacing) const {
    return value_ticks(temp_min_, temp_max_, height_, min_spacing, &trend_chart_t::y_of_temp, *this);
}

void trend_chart_t::visible_range(size_t& first, size_t& last) const {
    first = 0;
    last = times_.size();
    if (!sorted_ || times_.empty()) return;
    // One sample either side as well: the lines run on to the edges.
    const auto lo = std::lower_bound(times_.begin(), times_.end(), view_begin_,
                                     [](uint32_t t, double v) { return t < v; });
    const auto hi = std::upper_bound(times_.begin(), times_.end(), view_end_,
                                     [](double v, uint32_t t) { return v < t; });
    first = size_t(lo - times_.begin());
    last = size_t(hi - times_.begin());
    if (first > 0) --first;
    if (last < times_.size()) ++last;
}

std::vector<chart_column_t> trend_chart_t::columns(const std::vector<uint16_t>& values, double lo, double hi) const {
    std::vector<chart_column_t> cols(static_cast<size_t>(width_));
    if (values.empty() || !(hi > lo)) return cols;
    // Extents are gathered in fractional rows and rounded once per column at
    // the end: the loop over the samples does no more than it must.
    struct extent_t {
        double top, bottom;
    };
    constexpr double kNone = 1e300;
    std::vector<extent_t> ext(static_cast<size_t>(width_), extent_t{kNone, -kNone});
    const double bottom_row = top_ + height_ - 1;
    const double scale = (height_ - 1) / (hi - lo);
    const double xscale = width_ / (view_end_ - view_begin_);
    auto y_at = [&](double v) { return std::clamp(bottom_row - (v - lo) * scale, double(top_), bottom_row); };
    auto mark = [&](long c, double ya, double yb) {
        if (c < 0 || c >= width_) return;
        extent_t& e = ext[size_t(c)];
        if (ya > yb) std::swap(ya, yb);
        if (ya < e.top) e.top = ya;
        if (yb > e.bottom) e.bottom = yb;
    };
    size_t first, last;
    visible_range(first, last);
    const double gap = kGapSteps * typical_step_;
    double px = 0, py = 0;
    uint32_t pt = 0;
    for (size_t i = first; i < last; ++i) {
        // Column-relative x: column c covers [c, c + 1).
        const double x = (double(times_[i]) - view_begin_) * xscale, y = y_at(values[i]);
        const double dt = double(times_[i]) - double(pt);
        const bool joined = i > first && dt <= gap && dt >= -gap;
        if (!joined) {
            mark(long(std::floor(x)), y, y);
        } else {
            double xa = px, ya = py, xb = x, yb = y;
            if (xb < xa) {
                std::swap(xa, xb);
                std::swap(ya, yb);
            }
            const long ca = long(std::floor(xa)), cb = long(std::floor(xb));
            if (ca == cb) {
                mark(ca, ya, yb);
            } else {
                const double slope = (yb - ya) / (xb - xa);
                const long c0 = std::max(ca, 0L), c1 = std::min(cb, long(width_) - 1);
                for (long c = c0; c <= c1; ++c) {
                    const double x0 = std::max(xa, double(c)), x1 = std::min(xb, double(c + 1));
                    mark(c, ya + (x0 - xa) * slope, ya + (x1 - xa) * slope);
                }
            }
        }
        px = x;
        py = y;
        pt = times_[i];
    }
    for (size_t c = 0; c < cols.size(); ++c)
        if (ext[c].top != kNone) cols[c] = {true, int(std::lround(ext[c].top)), int(std::lround(ext[c].bottom))};
    return cols;
}

chart_hit_t trend_chart_t::hit(int x) const {
    chart_hit_t h;
    if (times_.empty() || x < left_ || x >= left_ + width_) return h;
    const double t = time_at(x + 0.5);
    size_t best = times_.size();
    double best_d = 0;
    auto consider = [&](size_t i) {
        if (times_[i] < view_begin_ || times_[i] > view_end_) return;
        const double d = std::fabs(double(times_[i]) - t);
        if (best == times_.size() || d < best_d) {
            best = i;
            best_d = d;
        }
    };
    if (sorted_) {
        const size_t i = size_t(std::lower_bound(times_.begin(), times_.end(), t,
                                                 [](uint32_t a, double v) { return a < v; }) -
                                times_.begin());
        if (i < times_.size()) consider(i);
        if (i > 0) consider(i - 1);
    } else {
        for (size_t i = 0; i < times_.size(); ++i) consider(i);
    }
    if (best == times_.size()) return h;
    h.found = true;
    h.index = best;
    h.x = left_ + int(std::floor((times_[best] - view_begin_) * width_ / (view_end_ - view_begin_)));
    h.time = times_[best];
    h.concentration = conc_[best];
    h.temperature = temp_[best];
    return h;
}

std::string trend_chart_t::time_text(uint32_t seconds) {
    const device_time_t d = device_time_from_seconds(seconds);
    char b[40];
    std::snprintf(b, sizeof b, "%04u.%02u.%02u %02u:%02u:%02u", d.year + 2000u, unsigned(d.month), unsigned(d.day),
                  unsigned(d.hour), unsigned(d.minute), unsigned(d.second));
    return b;
}

}  // namespace luma
