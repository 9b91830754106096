#include "windows/main_frame.h"

#include <set>

#include "foundation/time_services.h"

using namespace UIK;

// ---- process-wide log ----------------------------------------------------------

namespace Log {
namespace {

struct LogHub {
    std::mutex lock;
    std::set<INotify*> receivers;
};

LogHub& hub() {
    static LogHub h;  // made on first use, thread-safe
    return h;
}

}  // namespace

void Register(INotify* n) {
    std::lock_guard<std::mutex> g(hub().lock);
    hub().receivers.insert(n);
}

void Unregister(INotify* n) {
    std::lock_guard<std::mutex> g(hub().lock);
    hub().receivers.erase(n);
}

void Write(const ustring_t& line) {
    std::lock_guard<std::mutex> g(hub().lock);
    for (INotify* n : hub().receivers) n->Line(line);
}

}  // namespace Log

// ---- logbuf_t -------------------------------------------------------------------

void logbuf_t::push(const ustring_t& line) {
    lines_.push_back(line);
    while (lines_.size() > limit_) lines_.pop_front();
}

bool logbuf_t::peek(ustring_t* out) const {
    if (lines_.empty()) return false;
    if (out) *out = lines_.front();
    return true;
}

bool logbuf_t::pop() {
    if (lines_.empty()) return false;
    lines_.pop_front();
    return true;
}

bool logbuf_t::take(ustring_t* out) {
    if (!peek(out)) return false;
    lines_.pop_front();
    return true;
}

// ---- GStandardMainFrame2 ----------------------------------------------------------

namespace {
constexpr int kCloseWidth = 80;
// Room for the scroll bar when the log text is measured.
constexpr int kLogScrollRoom = 42;
constexpr GFontRole kLogFont = kFontFixedSmall;
}  // namespace

GStandardMainFrame2::GStandardMainFrame2(GControl* parent) : GFrame(parent) {
    SetBounds(0, 0, 600, 400);
    content_.SetParent(this);
    content_.SetName(u"content_");
    message_.SetParent(this);
    message_.SetName(u"message_panel_");
    message_.Hide();
    message_text_.SetParent(&message_);
    message_text_.SetWordWrap(true);
    message_text_.SetBackColor(kClosedColor);
    message_text_.SetForeColor(kColorText);
    close_.SetParent(&message_);
    close_.SetName(u"bt_message_close_");
    close_.SetCaption(u"Закрыть");
    close_.OnClick.Bind(this, &GStandardMainFrame2::OnCloseClick);
    close_.OnMouseDown.Bind(this, &GStandardMainFrame2::OnCloseMouseDown);

    log_pane_.SetParent(this);
    log_pane_.SetName(u"log_pane_");
    log_pane_.Hide();
    log_text_.SetParent(&log_pane_);
    log_text_.SetFont(kLogFont);
    log_text_.SetWordWrap(true);
    log_text_.SetAlignment(kAlignLeft | kAlignTop);
    log_toggle_.SetParent(this);
    log_toggle_.SetName(u"bt_log_toggle_");
    log_toggle_.SetCaption(u"Показать журнал");
    log_toggle_.SetBounds(0, 0, 140, 30);
    log_toggle_.OnClick.Bind(this, &GStandardMainFrame2::OnToggleClick);

    ArrangePanels();
    timer_.OnTick.Set([this](GTimer*) { TimerTick(Tick64()); });
    timer_.Start();
    Log::Register(&log_cb_);
}

GStandardMainFrame2::~GStandardMainFrame2() {
    Log::Unregister(&log_cb_);
    timer_.Stop();
}

void GStandardMainFrame2::Layout(const GRect& old_rect) {
    GFrame::Layout(old_rect);
    ArrangePanels();
}

void GStandardMainFrame2::ArrangePanels() {
    const int w = Width(), h = Height();
    int bottom = h;
    if (message_.IsVisible()) {
        message_.SetBounds(0, bottom - kMessageHeight, w, kMessageHeight);
        bottom -= kMessageHeight;
    }
    message_text_.SetBounds(0, 0, w - kCloseWidth, kMessageHeight);
    close_.SetBounds(w - kCloseWidth, 0, kCloseWidth, kMessageHeight);
    if (log_pane_.IsVisible()) {
        log_pane_.SetBounds(0, bottom - kLogHeight, w, kLogHeight);
        bottom -= kLogHeight;
    }
    content_.SetBounds(0, 0, w, bottom);
}

void GStandardMainFrame2::ShowMessage(const ustring_t& text, uint32_t ms, GColor back) {
    message_text_.SetBackColor(back);
    message_text_.SetForeColor(kColorText);
    message_text_.SetText(text);
    deadline_ = ms ? Tick64() + ms : 0;
    if (!message_.IsVisible()) {
        message_.Show();
        ArrangePanels();
    }
}

void GStandardMainFrame2::ShowNotice(const ustring_t& text, uint32_t ms) { ShowMessage(text, ms, kNoticeColor); }

void GStandardMainFrame2::ShowError(const ustring_t& text, uint32_t ms) { ShowMessage(text, ms, kErrorColor); }

void GStandardMainFrame2::CloseMessage() {
    message_text_.SetText(ustring_t());
    message_text_.SetBackColor(kClosedColor);
    message_text_.SetForeColor(kColorText);
    OnCloseClick(&close_);
}

void GStandardMainFrame2::OnCloseClick(GControl*) {
    if (!message_.IsVisible()) return;
    message_.Hide();
    ArrangePanels();
}

// A right-button press on the close button keeps the message until it is closed.
void GStandardMainFrame2::OnCloseMouseDown(GControl*, const GMouseEvent& e) {
    if (e.button == 3) {
        deadline_ = 0;
        close_.SetCaption(u"Закрыть");
    }
}

void GStandardMainFrame2::TimerTick(uint64_t now) {
    if (!message_.IsVisible()) return;
    if (deadline_ && now >= deadline_) {
        deadline_ = 0;
        close_.SetCaption(u"Закрыть");
        OnCloseClick(&close_);
        return;
    }
    if (deadline_) close_.SetCaption(text::format(64, "Закрыть\n(%u)", unsigned((deadline_ - now) / 1000)));
    else close_.SetCaption(u"Закрыть");
}

// ---- log pane ----------------------------------------------------------------------

void GStandardMainFrame2::LogCB::Line(const ustring_t& line) {
    {
        std::lock_guard<std::mutex> g(frame_->log_lock_);
        frame_->pending_.push(line);
    }
    GControl::_Synchronize(frame_, &GStandardMainFrame2::UpdateLogThunk, frame_);
}

void GStandardMainFrame2::UpdateLogThunk(void* self) { static_cast<GStandardMainFrame2*>(self)->UpdateLog(); }

size_t GStandardMainFrame2::PendingLogLines() {
    std::lock_guard<std::mutex> g(log_lock_);
    return pending_.count();
}

void GStandardMainFrame2::UpdateLog() {
    ustring_t all = log_text_.Text();
    {
        std::lock_guard<std::mutex> g(log_lock_);
        ustring_t line;
        while (pending_.take(&line)) {
            all += line;
            all += u"\n";
        }
    }
    log_text_.SetText(all);
    const int width = log_pane_.Width() - kLogScrollRoom;
    const GPoint size = log_text_.PreferredSize(nullptr, width);
    // Scrolled to the end: the label's last line sits at the pane's bottom.
    const int top = std::min(0, log_pane_.Height() - size.y);
    log_text_.SetBounds(0, top, width > 0 ? width : 0, size.y);
}

void GStandardMainFrame2::OnToggleClick(GControl*) {
    // The pointer is put back on the toggle's centre: the click was there.
    toggle_pointer_ = {log_toggle_.Width() / 2, log_toggle_.Height() / 2};
    log_pane_.SetVisible(!log_pane_.IsVisible());
    ArrangePanels();
    log_toggle_.SetCaption(log_pane_.IsVisible() ? u"Скрыть журнал" : u"Показать журнал");
    // Keep the pointer over the toggle after the layout moved it. The layout is
    // done by now, so the pointer is moved at once: a deferred move could
    // outlive the frame.
    if (GForm* f = Form()) {
        const GRect r = log_toggle_.FormRect();
        f->WarpMouse(r.left + toggle_pointer_.x, r.top + toggle_pointer_.y);
    }
}
