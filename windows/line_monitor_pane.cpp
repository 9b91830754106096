#include "windows/line_monitor_pane.h"

#include "foundation/time_services.h"
#include "model/journal_export.h"
#include "model/mb_link.h"
#include "platform/time.h"

using namespace UIK;

namespace {
constexpr GFontRole kMonitorFont = kFontFixedSmall;  // the log pane's font
constexpr int kButtonWidth = 100;
const char16_t* const kSaveFilter = u"Текстовый файл (*.txt)|*.txt";
}  // namespace

GLineMonitorPane::GLineMonitorPane(G_t& g, GControl& host) : GFrame(&host), g_(g) {
    SetName(u"line_monitor_");
    SetBounds(0, 0, host.Width(), host.Height());
    SetAnchors(kAnchorAll);
    header_.SetParent(this);
    header_.SetName(u"line_monitor_header_");
    header_.SetFont(kMonitorFont);
    header_.SetWordWrap(true);
    bt_pause_.SetParent(this);
    bt_pause_.SetFont(kMonitorFont);
    bt_pause_.SetName(u"bt_line_monitor_pause_");
    bt_pause_.SetCaption(u"Пауза");
    bt_pause_.OnClick.Set([this](GControl*) { SetPaused(!paused_); });
    bt_copy_.SetParent(this);
    bt_copy_.SetFont(kMonitorFont);
    bt_copy_.SetName(u"bt_line_monitor_copy_");
    bt_copy_.SetCaption(u"Копировать");
    bt_copy_.OnClick.Set([this](GControl*) { Copy(); });
    bt_save_.SetParent(this);
    bt_save_.SetFont(kMonitorFont);
    bt_save_.SetName(u"bt_line_monitor_save_");
    bt_save_.SetCaption(u"Сохранить…");
    bt_save_.OnClick.Set([this](GControl*) { Save(); });
    box_.SetParent(this);
    box_.SetName(u"line_monitor_list_");
    text_.SetParent(&box_);
    text_.SetFont(kMonitorFont);
    text_.SetWordWrap(true);
    text_.SetAlignment(kAlignLeft | kAlignTop);
    Layout(Rect());

    timer_.OnTick.Set([this](GTimer*) { Refresh(); });
    host.OnShow.Set([this](GControl*) { StartWatching(); });
    host.OnHide.Set([this](GControl*) { StopWatching(); });
    if (host.IsVisible()) StartWatching();
}

GLineMonitorPane::~GLineMonitorPane() {
    timer_.Stop();
    if (mb_link_t* link = g_.link.load()) {
        link->set_line_observer(nullptr);
        // An exchange that began while we watched ends before the monitor goes.
        link->lock_master();
        link->unlock_master();
    }
}

void GLineMonitorPane::Layout(const GRect& old_rect) {
    GFrame::Layout(old_rect);
    const int w = Width(), h = Height();
    const int buttons = 3 * kButtonWidth;
    header_.SetBounds(0, 0, std::max(0, w - buttons), kHeaderHeight);
    bt_pause_.SetBounds(w - buttons, 0, kButtonWidth, kHeaderHeight);
    bt_copy_.SetBounds(w - 2 * kButtonWidth, 0, kButtonWidth, kHeaderHeight);
    bt_save_.SetBounds(w - kButtonWidth, 0, kButtonWidth, kHeaderHeight);
    box_.SetBounds(0, kHeaderHeight, w, std::max(0, h - kHeaderHeight));
    text_stale_ = true;
}

void GLineMonitorPane::StartWatching() {
    if (watching_) return;
    watching_ = true;
    monitor_.drain();  // what an earlier watch left in the ring belongs to it
    monitor_.reset_stats();
    monitor_.rebase_clock();
    if (mb_link_t* link = g_.link.load()) link->set_line_observer(&monitor_);
    timer_.Start();
    Refresh();
}

void GLineMonitorPane::StopWatching() {
    if (!watching_) return;
    watching_ = false;
    if (mb_link_t* link = g_.link.load()) link->set_line_observer(nullptr);
    timer_.Stop();
}

void GLineMonitorPane::Refresh() {
    if (monitor_.drain() > 0) text_stale_ = true;
    const ustring_t head = text::u16(monitor_.stats_text());
    if (header_.Text() != head) header_.SetText(head);
    if (text_stale_ && !paused_ && Tick64() - listed_at_ >= kListPeriodMs) FillText();
}

void GLineMonitorPane::FillText() {
    text_stale_ = false;
    listed_at_ = Tick64();
    const auto& lines = monitor_.lines();
    const size_t first = lines.size() > kShownLines ? lines.size() - kShownLines : 0;
    std::string all;
    for (size_t i = first; i < lines.size(); ++i) {
        all += lines[i];
        if (i + 1 < lines.size()) all += '\n';
    }
    text_.SetText(text::u16(all));
    // Measured for the width beside the scroll bar, which shows once the
    // text reaches below the box.
    const int width = std::max(0, box_.Width() - GScrollBox::kBarWidth);
    const GPoint size = text_.PreferredSize(nullptr, width);
    text_.SetBounds(0, 0, width, size.y);
    box_.UpdateScroll();
    box_.ScrollToEnd();
}

void GLineMonitorPane::SetPaused(bool paused) {
    paused_ = paused;
    bt_pause_.SetCaption(paused ? u"Продолжить" : u"Пауза");
    if (!paused) Refresh();
}

void GLineMonitorPane::Copy() {
    monitor_.drain();
    GControl::CopyToClipboard(text::u16(monitor_.text()));
}

void GLineMonitorPane::Save() {
    ustring_t path = ustring_t(u"luma10 line ") + FileStamp(plat::local_time());
    int filter_index = 1;
    GForm* form = Form();
    if (form) form->EnableWindow(false);
    const bool chosen = SaveFileDialog(form, kSaveFilter, path, filter_index);
    if (form) form->EnableWindow(true);
    if (chosen) SaveTo(path);
}

error_value_t GLineMonitorPane::SaveTo(const ustring_t& path) {
    monitor_.drain();
    const error_value_t e = luma::write_export_file(text::utf8(path), monitor_.stats_text() + "\n" + monitor_.text());
    if (e) {
        ustring_t m(u"Монитор линии не сохранён в файл\n");
        m += path;
        m += u"\n(";
        m += window_message_text(e);
        m += u")";
        g_.error_message(kErrorShowMs, m);
    }
    return e;
}
