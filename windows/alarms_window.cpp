#include "windows/alarms_window.h"

#include "model/alarm_report.h"
#include "model/app_state.h"
#include "windows/layout.h"

using namespace UIK;

namespace {

constexpr GColor kTitleBack = kColorLight;
constexpr GColor kListBack = kColorMid;

void Label(GLabel& l, GControl& parent, const char16_t* name, const char16_t* text, int x, int y, int w, int h,
           GColor back) {
    layout::Label(l, parent, name, text, x, y, w, h, kAlignLeft | kAlignMiddle);
    if (back != kNoColor) l.SetBackColor(back);
}

}  // namespace

GBaseWarnings::GBaseWarnings(GControl* parent) : GFrame(parent) {
    SetName(u"GAlarms");
    SetBounds(0, 0, kWidth, kHeight);
    Label(title_, *this, u"title_", u"Текущие аварии и предупреждения", 0, 0, 640, 32, kNoColor);
    title_.SetAlignment(kAlignCenter | kAlignMiddle);
    title_.SetWordWrap(true);
    Label(alarms_title_, *this, u"alarms_title_", u"Аварии", 8, 39, 624, 30, kTitleBack);
    Label(alarms_, *this, u"alarms_", u"------------", 8, 71, 624, 40, kListBack);
    Label(warnings_title_, *this, u"warnings_title_", u"Предупреждения", 8, 126, 624, 30, kTitleBack);
    Label(warnings_, *this, u"warnings_", u"", 8, 158, 624, 50, kListBack);
    // A list text longer than the width wraps, and the list grows to hold it.
    for (GLabel* l : {&alarms_, &warnings_}) {
        l->SetWordWrap(true);
        l->SetAlignment(kAlignLeft | kAlignTop);
    }
}

GAlarms::GAlarms(G_t& g) : g_(g) {
    // A frame that changes size lays its lists out anew.
    OnResize.Set([this](GControl*) { Refresh(); });
}

void GAlarms::Refresh() {
    const luma::alarm_report_t r = luma::alarm_report(g_.params, g_.is_connected());
    alarms_title_.SetText(r.alarms_title);
    warnings_title_.SetText(r.warnings_title);

    // Top to bottom: each list under its title bar, as tall as its text.
    const int width = alarms_title_.Width();
    alarms_.SetText(r.alarms);
    alarms_.SetBounds(alarms_.Left(), alarms_title_.Bottom() + kListGap, width,
                      alarms_.PreferredSize(nullptr, width).y);
    warnings_title_.Move(warnings_title_.Left(), alarms_.Bottom() + kGroupGap);
    warnings_.SetText(r.warnings);
    warnings_.SetBounds(warnings_.Left(), warnings_title_.Bottom() + kListGap, width,
                        warnings_.PreferredSize(nullptr, width).y);
}
