// Paints the trend chart (model/trend_chart.h) on a surface of the native
// layer: the plot area with its grid, the concentration axis on the left and
// the temperature axis on the right, the time axis with dates below, the
// threshold lines, both curves, a legend of the thresholds and, for the
// sample under the pointer, a cursor with its time and values. The window's
// chart control paints through it on the form's surface, luma10ctl --plot
// into a picture of its own, so both show the same chart.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/trend_chart.h"
#include "platform/native_ui.h"

namespace chart {

using plat::ui::argb_t;

// Colours and font of the chart. The default colours are the program's:
// the anti-panel of the text pages as background, white texts.
struct look_t {
    const plat::ui::Font* font = nullptr;  // every text; nothing is written without
    argb_t border = 0xFF1E3E64;
    argb_t background = 0xFF2C588A;
    argb_t plot_background = 0xFF244C7C;
    argb_t grid = 0xFF3A6EA5;
    argb_t frame = 0xFF5A8EC5;
    argb_t text = 0xFFFFFFFF;
    argb_t dim_text = 0xFFD6E6F7;
    argb_t concentration = 0xFF78F078;
    argb_t temperature = 0xFF7FD8FF;
    argb_t warn = 0xFFFAD23C;
    argb_t alarm = 0xFFFF6A5A;
    argb_t save = 0xFFE68CF0;
    argb_t cursor = 0xC0FFFFFF;
};

// The face and size of the chart's font: the toolkit's small font.
inline constexpr const char* kFontFace = "Tahoma";
inline constexpr int kFontHeight = -12;

// Size of a chart written to a file.
inline constexpr int kFileWidth = 1200;
inline constexpr int kFileHeight = 600;

// Sets the chart's plot area for a chart of width x height (chart
// coordinates: 0, 0 is its top-left corner), leaving room for the axis texts
// in the look's font.
void lay_out(luma::trend_chart_t& chart, int width, int height, const look_t& look);

// Lays the chart out in area and paints it there (clipped to area and to the
// surface's clip). hover: the sample under the pointer, or null. empty_note:
// the text shown when the chart has no samples.
void paint(plat::ui::Surface& s, const plat::ui::Rect& area, luma::trend_chart_t& chart, const look_t& look,
           const luma::chart_hit_t* hover = nullptr, std::string_view empty_note = "Нет записей тренда");

// The PNG file bytes of the chart, of kFileWidth x kFileHeight, showing the
// same range as the chart. The chart itself is left as it was.
bool png_bytes(const luma::trend_chart_t& chart, const look_t& look, std::string* out);

}  // namespace chart
