#include "chart/trend_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace chart {

namespace {

using plat::ui::Rect;
using plat::ui::Surface;

constexpr int kPad = 6;
constexpr int kTickLength = 4;
// Axis texts keep this much room between neighbours.
constexpr int kTimeSpacing = 110;
constexpr int kValueSpacing = 36;

int text_width(const look_t& look, std::string_view s) {
    if (!look.font) return 0;
    int w = 0, h = 0;
    look.font->Measure(s, &w, &h);
    return w;
}
int line_height(const look_t& look) { return look.font ? look.font->LineHeight() : 14; }

// Drawing in chart coordinates, clipped to the chart's area.
struct Pen {
    Surface& s;
    Rect area;
    const look_t& look;

    void fill(int x, int y, int w, int h, argb_t c) const { s.Fill({area.x + x, area.y + y, w, h}, c); }
    void hline(int x0, int x1, int y, argb_t c) const { fill(x0, y, x1 - x0 + 1, 1, c); }
    void vline(int x, int y0, int y1, argb_t c) const { fill(x, y0, 1, y1 - y0 + 1, c); }
    // A line of dashes: on pixels out of every period.
    void dashed(int x0, int x1, int y, argb_t c, int on, int period) const {
        for (int x = x0; x <= x1; x += period) fill(x, y, std::min(on, x1 - x + 1), 1, c);
    }
    void text(std::string_view t, int x, int y, argb_t c) const {
        if (look.font && !t.empty()) s.DrawText(*look.font, t, area.x + x, area.y + y, c);
    }
    // Text with its right edge at x.
    void text_right(std::string_view t, int x, int y, argb_t c) const { text(t, x - text_width(look, t), y, c); }
    // Centred on x, but kept inside the chart.
    void text_centred(std::string_view t, int x, int y, argb_t c) const {
        const int w = text_width(look, t);
        text(t, std::clamp(x - w / 2, 2, std::max(2, area.w - 2 - w)), y, c);
    }
};

std::string number(unsigned v) { return std::to_string(v); }

void paint_curve(const Pen& p, const std::vector<luma::chart_column_t>& cols, int left, argb_t c, bool thick) {
    for (size_t i = 0; i < cols.size(); ++i) {
        if (!cols[i].has) continue;
        p.fill(left + int(i), cols[i].top, 1, cols[i].bottom - cols[i].top + 1 + (thick ? 1 : 0), c);
    }
}

}  // namespace

void lay_out(luma::trend_chart_t& chart, int width, int height, const look_t& look) {
    const int lh = line_height(look);
    const int axis_w = std::max(text_width(look, "000"), 18) + kTickLength + kPad;
    const int left = kPad + axis_w;
    const int right = kPad + axis_w;
    // Above: the axis titles and the readout; below: times, dates, legend.
    const int top = kPad + lh + kPad;
    const int bottom = kTickLength + 2 * lh + kPad + lh + kPad;
    chart.set_plot_area(left, top, width - left - right, height - top - bottom);
}

void paint(Surface& s, const Rect& area, luma::trend_chart_t& chart, const look_t& look,
           const luma::chart_hit_t* hover, std::string_view empty_note) {
    if (area.w <= 0 || area.h <= 0) return;
    const Rect old_clip = s.Clip();
    // Only inside the area and the clip the caller had.
    Rect clip{std::max(old_clip.x, area.x), std::max(old_clip.y, area.y), 0, 0};
    clip.w = std::min(old_clip.x + old_clip.w, area.x + area.w) - clip.x;
    clip.h = std::min(old_clip.y + old_clip.h, area.y + area.h) - clip.y;
    if (clip.w <= 0 || clip.h <= 0) return;
    s.SetClip(clip);

    const Pen p{s, area, look};
    const int lh = line_height(look);
    lay_out(chart, area.w, area.h, look);
    const int L = chart.plot_left(), T = chart.plot_top(), W = chart.plot_width(), H = chart.plot_height();
    const int R = L + W - 1, B = T + H - 1;

    p.fill(0, 0, area.w, area.h, look.border);
    p.fill(1, 1, area.w - 2, area.h - 2, look.background);
    p.fill(L, T, W, H, look.plot_background);

    // Axis titles above the axes.
    p.text("Концентрация, %НКПР", kPad, kPad, look.concentration);
    p.text_right("Температура, °C", area.w - kPad, kPad, look.temperature);

    if (chart.sample_count() == 0) {
        p.text_centred(empty_note, L + W / 2, T + H / 2 - lh / 2, look.text);
        s.SetClip(old_clip);
        return;
    }

    // Grid and ticks.
    for (const luma::chart_tick_t& t : chart.conc_ticks(kValueSpacing)) {
        p.hline(L, R, t.pixel, look.grid);
        p.hline(L - kTickLength, L - 1, t.pixel, look.frame);
        p.text_right(t.label, L - kTickLength - 2, t.pixel - lh / 2, look.concentration);
    }
    for (const luma::chart_tick_t& t : chart.temp_ticks(kValueSpacing)) {
        p.hline(R + 1, R + kTickLength, t.pixel, look.frame);
        p.text(t.label, R + kTickLength + 3, t.pixel - lh / 2, look.temperature);
    }
    for (const luma::chart_tick_t& t : chart.time_ticks(kTimeSpacing)) {
        if (t.pixel < L || t.pixel > R) continue;
        p.vline(t.pixel, T, B, look.grid);
        p.vline(t.pixel, B + 1, B + kTickLength, look.frame);
        p.text_centred(t.label, t.pixel, B + kTickLength + 1, look.text);
        if (!t.label2.empty()) p.text_centred(t.label2, t.pixel, B + kTickLength + 1 + lh, look.dim_text);
    }

    // Threshold lines (within the plot only), the hysteresis as dashes where
    // a threshold's state clears again.
    const luma::chart_thresholds_t& th = chart.thresholds();
    {
        Rect pc{std::max(clip.x, area.x + L), std::max(clip.y, area.y + T), 0, 0};
        pc.w = std::min(clip.x + clip.w, area.x + L + W) - pc.x;
        pc.h = std::min(clip.y + clip.h, area.y + T + H) - pc.y;
        if (pc.w <= 0 || pc.h <= 0) {
            s.SetClip(old_clip);
            return;
        }
        s.SetClip(pc);
    }
    auto level = [&](bool has, double v, argb_t c, const char* name) {
        if (!has || v > chart.conc_max()) return;
        const int y = int(std::lround(chart.y_of_conc(v)));
        p.hline(L, R, y, c);
        p.text(name, L + 4, y - lh, c);
    };
    auto release = [&](bool has, double v, argb_t c) {
        if (!has || !th.has_hysteresis || th.hysteresis == 0 || v - th.hysteresis < 0 || v > chart.conc_max()) return;
        p.dashed(L, R, int(std::lround(chart.y_of_conc(v - th.hysteresis))), c, 3, 6);
    };
    release(th.has_warn, th.warn, look.warn);
    release(th.has_alarm, th.alarm, look.alarm);
    level(th.has_save, th.save, look.save, "Порог сохранения датчика");
    level(th.has_alarm, th.alarm, look.alarm, "Порог 2");
    level(th.has_warn, th.warn, look.warn, "Порог 1");

    // The curves: temperature under concentration.
    paint_curve(p, chart.temp_columns(), L, look.temperature, false);
    paint_curve(p, chart.conc_columns(), L, look.concentration, true);

    if (hover && hover->found) {
        p.vline(hover->x, T, B, look.cursor);
        const int yc = int(std::lround(chart.y_of_conc(hover->concentration)));
        const int yt = int(std::lround(chart.y_of_temp(hover->temperature)));
        p.fill(hover->x - 2, yt - 2, 5, 5, look.temperature);
        p.fill(hover->x - 2, yc - 2, 5, 5, look.concentration);
    }
    s.SetClip(clip);

    p.fill(L - 1, T - 1, W + 2, 1, look.frame);
    p.fill(L - 1, B + 1, W + 2, 1, look.frame);
    p.fill(L - 1, T, 1, H, look.frame);
    p.fill(R + 1, T, 1, H, look.frame);

    // The readout of the sample under the pointer, between the axis titles.
    if (hover && hover->found) {
        const std::string r = luma::trend_chart_t::time_text(hover->time) + "   " + number(hover->concentration) +
                              " %НКПР   " + number(hover->temperature) + " °C";
        p.text_centred(r, area.w / 2, kPad, look.text);
    }

    // Legend: the thresholds as read (or that they are not known).
    std::string legend;
    auto item = [&](const char* name, bool has, unsigned v) {
        if (!legend.empty()) legend += "    ";
        legend += name;
        legend += has ? number(v) : std::string("—");
    };
    item("Порог 1: ", th.has_warn, th.warn);
    item("Порог 2: ", th.has_alarm, th.alarm);
    item("Порог сохранения: ", th.has_save, th.save);
    item("Гистерезис: ", th.has_hysteresis, th.hysteresis);
    p.text(legend, L, area.h - kPad - lh, look.dim_text);
    char count[48];
    std::snprintf(count, sizeof count, "Записей: %zu", chart.sample_count());
    p.text_right(count, R, area.h - kPad - lh, look.dim_text);

    s.SetClip(old_clip);
}

bool png_bytes(const luma::trend_chart_t& chart, const look_t& look, std::string* out) {
    luma::trend_chart_t copy = chart;
    Surface s(kFileWidth, kFileHeight);
    if (!s.Valid()) return false;
    s.ClearClip();
    // The same range at the file's width.
    const double begin = copy.view_begin(), end = copy.view_end();
    lay_out(copy, kFileWidth, kFileHeight, look);
    copy.set_view(begin, end);
    paint(s, {0, 0, kFileWidth, kFileHeight}, copy, look);
    return s.EncodePng(out);
}

}  // namespace chart
