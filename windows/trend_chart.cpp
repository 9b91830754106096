#include "windows/trend_chart.h"

#include <cmath>
#include <tuple>

#include "chart/trend_plot.h"
#include "foundation/task.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "model/params.h"
#include "platform/native_ui.h"
#include "windows/journals_window.h"

using namespace UIK;

namespace {

constexpr int kButtonSkin = bmpButtonSkin_Vulgar1;
constexpr int kDownButtonSkin = bmpButtonSkin_Vulgar3;
// Room the switch takes from the progress bar.
constexpr int kSwitchButtonWidth = 56;
constexpr int kSwitchGap = 4;

const char kNotLoaded[] = "Журнал не загружен: график строится по загруженным записям";
const char kNoRecords[] = "Нет записей тренда";

chart::look_t Look() {
    chart::look_t look;
    if (GFont* f = GResources::Font(kFontSmall)) look.font = &f->font();
    return look;
}

}  // namespace

// ---- the chart control ----------------------------------------------------------

GTrendChartView::GTrendChartView(GControl* parent) : GControl(parent), empty_note_(kNoRecords) {
    chart_.set_samples(nullptr, 0);
}

void GTrendChartView::SetThresholds(const luma::chart_thresholds_t& t) {
    const luma::chart_thresholds_t& now = chart_.thresholds();
    if (t.has_warn == now.has_warn && t.has_alarm == now.has_alarm && t.has_save == now.has_save &&
        t.has_hysteresis == now.has_hysteresis && t.warn == now.warn && t.alarm == now.alarm &&
        t.save == now.save && t.hysteresis == now.hysteresis)
        return;
    chart_.set_thresholds(t);
    Invalidate();
}

void GTrendChartView::SetEmptyNote(const std::string& utf8) {
    if (utf8 == empty_note_) return;
    empty_note_ = utf8;
    Invalidate();
}

bool GTrendChartView::PngBytes(std::string* out) const { return chart::png_bytes(chart_, Look(), out); }

void GTrendChartView::Paint(GCanvas& c) {
    const GCanvas::State st = c.Save();
    if (st.clip.Empty()) return;
    plat::ui::Surface& s = c.Target().surface();
    s.SetClip({st.clip.left, st.clip.top, st.clip.width, st.clip.height});
    chart::paint(s, {st.origin.x, st.origin.y, Width(), Height()}, chart_, Look(), &hover_, empty_note_);
}

void GTrendChartView::UpdateHover(int x) {
    pointer_x_ = x;
    chart::lay_out(chart_, Width(), Height(), Look());
    const luma::chart_hit_t h = chart_.hit(x);
    if (h.found != hover_.found || h.index != hover_.index || h.x != hover_.x) {
        hover_ = h;
        Invalidate();
    }
}

void GTrendChartView::HandleMouseDown(const GMouseEvent& e) {
    GControl::HandleMouseDown(e);
    if (e.button != 1) return;
    dragging_ = true;
    drag_x_ = e.x;
}

void GTrendChartView::HandleMouseUp(const GMouseEvent& e) {
    dragging_ = false;
    GControl::HandleMouseUp(e);
}

void GTrendChartView::HandleMouseMove(const GMouseEvent& e) {
    if (dragging_ && e.x != drag_x_) {
        // The samples follow the pointer: dragging right brings earlier times.
        chart::lay_out(chart_, Width(), Height(), Look());
        chart_.pan_pixels(drag_x_ - e.x);
        drag_x_ = e.x;
        hover_ = {};
        Invalidate();
    }
    UpdateHover(e.x);
}

void GTrendChartView::HandleMouseLeave() {
    pointer_x_ = -1;
    if (!hover_.found) return;
    hover_ = {};
    Invalidate();
}

void GTrendChartView::HandleMouseWheel(const GMouseEvent& e) {
    if (e.wheel == 0) return;
    chart::lay_out(chart_, Width(), Height(), Look());
    // Away from the user zooms in.
    chart_.zoom_at(e.x, std::pow(luma::trend_chart_t::kWheelZoom, -e.wheel));
    hover_ = {};
    Invalidate();
    UpdateHover(e.x);
}

void GTrendChartView::HandleKeyDown(const GKeyEvent& e) {
    using K = luma::trend_chart_t;
    K::key_t k;
    switch (e.key) {
    case '+': case '=': k = K::key_zoom_in; break;
    case '-': k = K::key_zoom_out; break;
    case kKeyLeft: k = K::key_left; break;
    case kKeyRight: k = K::key_right; break;
    case kKeyHome: k = K::key_home; break;
    default: GControl::HandleKeyDown(e); return;
    }
    chart::lay_out(chart_, Width(), Height(), Look());
    chart_.key(k);
    hover_ = {};
    Invalidate();
    if (pointer_x_ >= 0) UpdateHover(pointer_x_);
}

// ---- the trend page's chart -----------------------------------------------------

GTrendChartPage::GTrendChartPage(G_t& g, GJournal<6>& page) : g_(g), page_(page) {
    // The switch sits at the right end of the progress bar, which gives up
    // its room.
    GRect bar = page.progress_.Rect();
    bar.width -= 2 * kSwitchButtonWidth + kSwitchGap;
    page.progress_.SetRect(bar);
    int left = bar.Right() + kSwitchGap;
    for (auto [b, name, caption] : {std::tuple{&bt_text_, u"bt_text_", u"Текст"}, {&bt_chart_, u"bt_chart_", u"График"}}) {
        b->SetParent(&page);
        b->SetName(name);
        b->SetBounds(left, page.bt_load_.Top(), kSwitchButtonWidth, page.bt_load_.Height());
        b->SetAnchors(kAnchorTop | kAnchorRight);
        b->SetCaption(caption);
        b->SetFont(kFontSmall);
        left += kSwitchButtonWidth;
    }
    bt_text_.OnClick.Set([this](GControl*) { ShowChart(false); });
    bt_chart_.OnClick.Set([this](GControl*) { ShowChart(true); });

    // The chart takes the place of the text and its scroll bar.
    const GRect text = page.GAntiPanel1.Rect();
    view_.SetParent(&page);
    view_.SetName(u"chart_");
    view_.SetBounds(text.left, text.top, page.Width() - text.left, text.height);
    view_.SetAnchors(kAnchorAll);
    view_.Hide();
    page.records_changed = [this] {
        if (chart_shown_) TakeRecords();
        else stale_ = true;
    };
    page.picture.png = [this](std::string* out) {
        // Also from the text view: the records and thresholds as they stand.
        if (stale_) TakeRecords();
        view_.SetThresholds(luma::chart_thresholds_from_params(g_.params));
        return view_.PngBytes(out);
    };
    page.picture.shown = [this] { return chart_shown_; };
    ShowChart(false);
}

GTrendChartPage::~GTrendChartPage() {
    page_.records_changed = nullptr;
    page_.picture = {};
}

void GTrendChartPage::ShowChart(bool on) {
    chart_shown_ = on;
    bt_text_.SetSkin(on ? kButtonSkin : kDownButtonSkin);
    bt_chart_.SetSkin(on ? kDownButtonSkin : kButtonSkin);
    page_.GAntiPanel1.SetVisible(!on);
    page_.sb_.SetVisible(!on);
    view_.SetVisible(on);
    if (!on) return;
    // The range zoomed to stays while the records are the same.
    if (stale_) TakeRecords();
    Tick();
    // The thresholds once now, for a chart shown before their reader ran.
    g_.post_to_worker1(make_task([g = &g_] {
        mb_link_t* link = g->link.load();
        if (link == nullptr || g->poll_mode.load() || !g->is_connected()) return;
        ParamMap_t& p = g->params;
        for (mb_param_t* t : {&p.Threshold_Warn, &p.Threshold_Alarm, &p.Threshold_BDSafe, &p.Threshold_Delta})
            link->read_param(*t);
    }));
}

void GTrendChartPage::TakeRecords() {
    stale_ = false;
    view_.SetEmptyNote(page_.loaded ? kNoRecords : kNotLoaded);
    view_.SetRecords(page_.records);
}

void GTrendChartPage::Tick() {
    if (chart_shown_) view_.SetThresholds(luma::chart_thresholds_from_params(g_.params));
}
