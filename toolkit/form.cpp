#include "toolkit/form.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>

#include "platform/native_ui.h"
#include "toolkit/app.h"
#include "toolkit/internal.h"
#include "toolkit/resources.h"

namespace UIK {

namespace {

std::set<GForm*> g_forms;            // every form alive
std::vector<GForm*> g_shown;         // shown forms, in showing order
std::map<uint32_t, GForm*> g_by_id;  // native window id -> form

// Beyond this many dirty rectangles they are merged into one.
constexpr size_t kMaxDirty = 24;

}  // namespace

struct GForm::Private_t {
    ustring_t title;
    GForm* owner = nullptr;
    std::vector<GForm*> child_forms;
    bool modal = false;
    int min_w = 0, min_h = 0;
    std::unique_ptr<plat::ui::Window> window;
    uint32_t window_id = 0;
    // Read by _Synchronize on any thread.
    std::atomic<bool> native{false};
    bool window_enabled = true;
    uint32_t style = 0;
    std::unique_ptr<GBitmap> surface;
    std::vector<GRect> dirty;
    GControl* focus = nullptr;
    GControl* hover = nullptr;
    GControl* capture = nullptr;
    bool draggable = false;
    bool dragging = false;
    // Set at each showing of a framed window until the manager has placed
    // it: where its client area was asked to go.
    bool placing = false;
    int asked_x = 0, asked_y = 0;
    GPoint drag_offset;
    bool resources = false;
    GBitmap* icon = nullptr;
};

GForm::GForm() : f_(std::make_unique<Private_t>()) {
    f_->resources = GResources::Acquire();
    g_forms.insert(this);
    VisibleProperty().Store(false);
    RectProperty().Store({0, 0, 300, 300});
}

GForm::~GForm() {
    if (f_->native) DestroyNative();
    f_->window.reset();
    g_shown.erase(std::remove(g_shown.begin(), g_shown.end(), this), g_shown.end());
    if (f_->owner) {
        auto& v = f_->owner->f_->child_forms;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    for (GForm* c : f_->child_forms) c->f_->owner = nullptr;
    for (GForm* f : g_forms)
        if (f->f_->owner == this) f->f_->owner = nullptr;
    g_forms.erase(this);
    // Children must not find this form while it is being torn down.
    while (!Children().empty()) Children().back()->SetParent(nullptr);
    f_->surface.reset();
    if (f_->resources) GResources::Release();
}

const ustring_t& GForm::Title() const { return f_->title; }
void GForm::SetTitle(const ustring_t& t) {
    f_->title = t;
    if (f_->window) f_->window->SetTitle(text::utf8(t));
}
GForm* GForm::Owner() const { return f_->owner; }
void GForm::SetOwner(GForm* owner) {
    if (owner == this) return;
    f_->owner = owner;
}
const std::vector<GForm*>& GForm::ChildForms() const { return f_->child_forms; }
bool GForm::IsModal() const { return f_->modal; }
void GForm::SetModal(bool m) { f_->modal = m; }
void GForm::SetMinimumSize(int w, int h) {
    f_->min_w = w;
    f_->min_h = h;
    if (f_->window) f_->window->SetMinimumSize(w, h);
}

void GForm::ShowModal() {
    bool was = f_->modal;
    f_->modal = true;
    Show();
    f_->modal = was;
}

bool GForm::IsWindowEnabled() const { return f_->window_enabled; }
void GForm::EnableWindow(bool on) { f_->window_enabled = on; }
bool GForm::HasNativeWindow() const { return f_->native.load(); }
uint32_t GForm::NativeWindowId() const { return f_->window_id; }
uint32_t GForm::NativeStyle() const {
    const GOptions& o = Options();
    uint32_t s = plat::ui::kStylePopup;
    if (o.show_native_window_title) s |= plat::ui::kStyleTitle;
    if (o.all_forms_have_size_box) s |= plat::ui::kStyleSizeBox;
    return s;
}

// ---- showing and closing ----------------------------------------------------------

// The native window is made at the first showing and kept, hidden, while the
// form is closed: re-creating it at each showing left other parts of the
// native layer (its own wake-up messages, the window manager's frame offsets)
// pointing at a window that no longer existed.
void GForm::CreateNative() {
    if (f_->native) return;
    if (!f_->resources) f_->resources = GResources::Acquire();
    if (!f_->window) {
        f_->style = NativeStyle();
        f_->window = plat::ui::Window::Create(text::utf8(f_->title), f_->style);
        if (!f_->window) return;
        if (f_->min_w > 0 || f_->min_h > 0) f_->window->SetMinimumSize(f_->min_w, f_->min_h);
    }
    GRect r = Rect();
    f_->window->SetBounds({r.left, r.top, r.width, r.height});
    if (f_->owner && f_->owner->f_->window && f_->modal) f_->window->SetModalFor(f_->owner->f_->window.get());
    if (f_->icon) f_->window->SetIcon(f_->icon->surface());
    f_->window_id = f_->window->Id();
    g_by_id[f_->window_id] = this;
    f_->placing = (f_->style & plat::ui::kStyleTitle) != 0;
    f_->asked_x = r.left;
    f_->asked_y = r.top;
    f_->window->Show();
    f_->window->StartTextInput();
    f_->native = true;
    f_->window_enabled = true;
    f_->dirty.clear();
    InvalidateRect({0, 0, r.width, r.height});
}

// Hides the native window; it is destroyed with the form.
void GForm::DestroyNative() {
    if (!f_->native) return;
    g_by_id.erase(f_->window_id);
    f_->window->Hide();
    f_->window_id = 0;
    f_->native = false;
    f_->capture = f_->hover = nullptr;
    f_->dragging = false;
}

void GForm::VisibilityChanged(bool visible) {
    if (visible) {
        if (f_->owner) {
            auto& v = f_->owner->f_->child_forms;
            if (std::find(v.begin(), v.end(), this) == v.end()) v.push_back(this);
        }
        CreateNative();
        g_shown.push_back(this);
        GControl::VisibilityChanged(true);
        if (f_->modal && IsVisible()) RunModal();
    } else {
        if (f_->owner) {
            auto& v = f_->owner->f_->child_forms;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
        g_shown.erase(std::remove(g_shown.begin(), g_shown.end(), this), g_shown.end());
        DestroyNative();
        GControl::VisibilityChanged(false);
        OnClose(this);
    }
}

void GForm::RunModal() {
    // Disable every other visible form, and re-enable exactly those after.
    std::vector<GForm*> disabled;
    for (GForm* f : g_shown)
        if (f != this && f->IsWindowEnabled()) {
            f->EnableWindow(false);
            disabled.push_back(f);
        }
    App::RunMessageLoop(this);
    for (GForm* f : disabled)
        if (g_forms.count(f)) f->EnableWindow(true);
    if (f_->owner && g_forms.count(f_->owner) && f_->owner->f_->native) f_->owner->f_->window->Raise();
}

void GForm::RectChanged(const GRect& old) {
    GRect now = Rect();
    if (f_->window) {
        plat::ui::Rect b = f_->window->Bounds();
        if (b.x != now.left || b.y != now.top || b.w != now.width || b.h != now.height)
            f_->window->SetBounds({now.left, now.top, now.width, now.height});
    }
    if (old.width != now.width || old.height != now.height) {
        InvalidateRect({0, 0, now.width, now.height});
        Layout(old);
        OnResize(this);
    }
    if (old.left != now.left || old.top != now.top) OnMove(this);
}

// A window manager places a framed window mapped from hidden by its frame:
// the frame's corner goes where the window was asked to be, so the client
// area lands a frame's width lower and to the right. Remembering that place
// would make a window reopen that much further down at every opening; the
// first move after showing is answered by moving it back where it was asked
// for, now that the frame is known. Only a shift the size of a frame is
// taken back: without a manager the first move is the user's own.
void GForm::NativeMoved(int x, int y) {
    const GRect r = Rect();
    if (f_->placing) {
        f_->placing = false;
        const int dx = x - f_->asked_x, dy = y - f_->asked_y;
        constexpr int kMostFrame = 64;
        if ((dx != 0 || dy != 0) && dx >= 0 && dy >= 0 && dx <= kMostFrame && dy <= kMostFrame && f_->window) {
            f_->window->SetBounds({f_->asked_x, f_->asked_y, r.width, r.height});
            return;
        }
    }
    RectProperty().Store({x, y, r.width, r.height});
}

// ---- placement --------------------------------------------------------------------

GRect GForm::PlacementArea(int x, int y) {
    if (!plat::ui::IsAcquired()) return {0, 0, 1024, 768};
    plat::ui::Rect r = plat::ui::MonitorArea(x, y, Options().default_fullscreen_forms);
    return {r.x, r.y, r.w, r.h};
}

void GForm::PlaceOver(GControl* control) {
    GRect me = Rect();
    GRect target;
    if (control) {
        target = control->ScreenRect();
    } else {
        target = PlacementArea(me.left + me.width / 2, me.top + me.height / 2);
    }
    GRect area = PlacementArea(target.left + target.width / 2, target.top + target.height / 2);
    if (!control) target = area;
    int x = target.left + (target.width - me.width) / 2;
    int y = target.top + (target.height - me.height) / 2;
    if (x < area.left) x = area.left;
    else if (x + me.width > area.Right()) x = area.Right() - me.width;
    if (y < area.top) y = area.top;
    else if (y + me.height > area.Bottom()) y = area.Bottom() - me.height;
    SetRect({x, y, me.width, me.height});
}

void GForm::FlashTitle() {
    if (f_->native) f_->window->Flash();
}
void GForm::BringToFront() {
    if (f_->native) f_->window->Raise();
}
GPoint GForm::CursorPos() {
    GPoint p;
    if (plat::ui::IsAcquired()) plat::ui::MousePosition(&p.x, &p.y);
    return p;
}
void GForm::WarpMouse(int x, int y) {
    if (f_->native) f_->window->WarpMouse(x, y);
}
void GForm::SetDraggable(bool on) { f_->draggable = on; }
void GForm::SetIcon(GBitmap* icon) {
    f_->icon = icon;
    if (f_->window && icon) f_->window->SetIcon(icon->surface());
}

// ---- focus ------------------------------------------------------------------------

GControl* GForm::FocusedControl() const { return f_->focus; }

void GForm::SetFocus(GControl* c) {
    if (c == f_->focus) return;
    if (f_->focus) f_->focus->Invalidate(GRect{0, 0, f_->focus->Width(), f_->focus->Height()}.Inflate(3));
    f_->focus = c;
    if (c) c->Invalidate(GRect{0, 0, c->Width(), c->Height()}.Inflate(3));
}

void GForm::ForgetControl(GControl* c) {
    if (f_->focus == c) f_->focus = nullptr;
    if (f_->hover == c) f_->hover = nullptr;
    if (f_->capture == c) f_->capture = nullptr;
}

// ---- painting ---------------------------------------------------------------------

namespace {

void paint_tree(GCanvas& c, GControl* ctl, bool is_root) {
    GCanvas::State s = c.Save();
    c.Enter(is_root ? GRect{0, 0, ctl->Width(), ctl->Height()} : ctl->Rect());
    if (!c.ClipRect().Empty()) {
        ctl->Paint(c);
        for (GControl* child : ctl->Children())
            if (child->IsVisible()) paint_tree(c, child, false);
        // Marks over the content may reach outside the control (focus frame).
        c.Restore(s);
        c.Enter(is_root ? GRect{0, 0, ctl->Width(), ctl->Height()} : ctl->Rect());
        ctl->PaintOver(c);
    }
    c.Restore(s);
}

}  // namespace

void GForm::Paint(GCanvas& c) {
    GColor b = BackColor();
    if (!b.Transparent()) {
        c.FillRect({0, 0, Width(), Height()}, b);
    } else if (GBitmap* skin = GResources::Skin(bmpFormSkin)) {
        c.DrawSkin(*skin, {0, 0, skin->Width(), skin->Height()}, {0, 0, Width(), Height()}, kSkinMargin);
    } else {
        c.FillRect({0, 0, Width(), Height()}, kColorDark);
    }
}

void GForm::PaintOver(GCanvas& c) {
    GControl* f = FocusedControl();
    if (!f || f == this || !f->IsUsable()) return;
    // The mark lies 2 points outside the control, drawn over the parents.
    GRect r = f->FormRect().Inflate(2);
    c.FrameRect(r, kColorFocus, 1);
}

void GForm::InvalidateRect(const GRect& r0) {
    GRect r = r0.Intersect({0, 0, Width(), Height()});
    if (r.Empty()) return;
    auto& d = f_->dirty;
    for (const GRect& x : d)
        if (x.Intersect(r) == r) return;  // already covered
    d.push_back(r);
    if (d.size() > kMaxDirty) {
        GRect all;
        for (const GRect& x : d) all = all.Union(x);
        d.assign(1, all);
    }
}

std::vector<GRect> GForm::DirtyRects() const { return f_->dirty; }

void GForm::Render() {
    if (!f_->native || f_->dirty.empty()) return;
    int w = Width(), h = Height();
    if (!f_->surface || f_->surface->Width() != w || f_->surface->Height() != h) {
        f_->surface = std::make_unique<GBitmap>(std::max(w, 1), std::max(h, 1));
        f_->dirty.assign(1, GRect{0, 0, w, h});
    }
    std::vector<GRect> dirty;
    dirty.swap(f_->dirty);
    GCanvas c(*f_->surface);
    std::vector<plat::ui::Rect> out;
    for (const GRect& r : dirty) {
        GCanvas::State s = c.Save();
        c.ClipTo(r);
        paint_tree(c, this, true);
        c.Restore(s);
        out.push_back({r.left, r.top, r.width, r.height});
    }
    f_->window->Present(f_->surface->surface(), out);
}

std::unique_ptr<GBitmap> GForm::RenderToBitmap() {
    GResourcesUser res;
    auto bmp = std::make_unique<GBitmap>(std::max(Width(), 1), std::max(Height(), 1));
    GCanvas c(*bmp);
    paint_tree(c, this, true);
    return bmp;
}

bool GForm::RenderToPng(const char* path) {
    auto bmp = RenderToBitmap();
    return bmp && bmp->SavePng(path);
}

// ---- input ------------------------------------------------------------------------

void GForm::HandleFormKey(const GKeyEvent& e) {
    GControl* f = FocusedControl();
    if (f && f != this && f->IsUsable()) f->HandleKeyDown(e);
    else OnKeyDown(this, e);
}

namespace {
GMouseEvent relative(const GMouseEvent& e, GControl* c) {
    GRect r = c->FormRect();
    GMouseEvent m = e;
    m.x -= r.left;
    m.y -= r.top;
    return m;
}
}  // namespace

void GForm::DispatchMouse(int type, const GMouseEvent& e) {
    using plat::ui::EventType;
    auto t = EventType(type);
    if (t == EventType::MouseMove && f_->dragging) {
        int gx, gy;
        plat::ui::MousePosition(&gx, &gy);
        Move(gx - f_->drag_offset.x, gy - f_->drag_offset.y);
        return;
    }
    GControl* hit = HitTest(e.x, e.y);
    switch (t) {
    case EventType::MouseDown: {
        if (!hit->IsEnabledThroughParents()) return;
        f_->capture = hit;
        if (hit->AcceptsFocus()) SetFocus(hit);
        if (hit == this && f_->draggable && e.button == 1) {
            int gx, gy;
            plat::ui::MousePosition(&gx, &gy);
            f_->dragging = true;
            f_->drag_offset = {gx - Left(), gy - Top()};
        }
        hit->HandleMouseDown(relative(e, hit));
        break;
    }
    case EventType::MouseUp: {
        f_->dragging = false;
        GControl* target = f_->capture ? f_->capture : hit;
        f_->capture = nullptr;
        if (!target->IsEnabledThroughParents()) return;
        target->HandleMouseUp(relative(e, target));
        break;
    }
    case EventType::MouseMove: {
        if (f_->capture) {
            f_->capture->HandleMouseMove(relative(e, f_->capture));
            return;
        }
        if (hit != f_->hover) {
            if (f_->hover) f_->hover->HandleMouseLeave();
            f_->hover = hit;
            if (hit->IsEnabledThroughParents()) hit->HandleMouseEnter();
        }
        if (hit->IsEnabledThroughParents()) hit->HandleMouseMove(relative(e, hit));
        break;
    }
    case EventType::MouseWheel:
        if (hit->IsEnabledThroughParents()) hit->HandleMouseWheel(relative(e, hit));
        break;
    default:
        break;
    }
}

void GForm::DispatchText(const std::u16string& t) {
    GControl* f = FocusedControl();
    if (f && f != this && f->IsUsable()) f->HandleText(t);
}

GForm* GForm::FromWindowId(uint32_t id) {
    auto it = g_by_id.find(id);
    return it == g_by_id.end() ? nullptr : it->second;
}

std::vector<GForm*> GForm::ShownForms() { return g_shown; }

namespace detail {

void DispatchNativeEvent(const plat::ui::Event& ev) {
    using plat::ui::EventType;
    GForm* f = GForm::FromWindowId(ev.window);
    if (!f) return;
    switch (ev.type) {
    case EventType::WindowClose:
        if (f->IsWindowEnabled()) f->HandleCloseRequest();
        break;
    case EventType::WindowResized:
        if (ev.x != f->Width() || ev.y != f->Height()) f->SetRect({f->Left(), f->Top(), ev.x, ev.y});
        break;
    case EventType::WindowMoved:
        f->NativeMoved(ev.x, ev.y);
        break;
    case EventType::WindowExposed:
        f->InvalidateRect({0, 0, f->Width(), f->Height()});
        break;
    case EventType::WindowFocus:
        f->OnActivate(f);
        break;
    case EventType::WindowFocusLost:
        f->OnDeactivate(f);
        break;
    case EventType::WindowLeave:
        f->DispatchMouse(int(EventType::MouseMove), GMouseEvent{-1, -1});
        break;
    case EventType::MouseDown:
    case EventType::MouseUp:
    case EventType::MouseMove:
    case EventType::MouseWheel: {
        if (!f->IsWindowEnabled()) return;
        GMouseEvent m{ev.x, ev.y, ev.button, ev.clicks > 0 ? ev.clicks : 1, ev.wheel, ev.mods};
        f->DispatchMouse(int(ev.type), m);
        break;
    }
    case EventType::KeyDown:
        if (f->IsWindowEnabled()) f->HandleFormKey(GKeyEvent{ev.key, ev.mods});
        break;
    case EventType::Text:
        if (f->IsWindowEnabled()) f->DispatchText(ev.text);
        break;
    default:
        break;
    }
}

void RenderAllForms() {
    for (GForm* f : GForm::ShownForms()) f->Render();
}

}  // namespace detail

// ---- GTabKeyForm --------------------------------------------------------------------

void GTabKeyForm::AddTabControl(GControl* c) {
    if (!c) return;
    tab_.push_back(c);
    if (tab_.size() == 1) SetTabIndex(0);
}

void GTabKeyForm::ClearTabOrder() {
    tab_.clear();
    index_ = 0;
    SetFocus(nullptr);
}

void GTabKeyForm::SetTabIndex(int i) {
    index_ = i;
    GForm::SetFocus(i >= 0 && i < int(tab_.size()) ? tab_[i] : nullptr);
}

void GTabKeyForm::SetFocus(GControl* c) {
    auto it = std::find(tab_.begin(), tab_.end(), c);
    if (it != tab_.end()) index_ = int(it - tab_.begin());
    GForm::SetFocus(c);
}

GControl* GTabKeyForm::CurrentControl() const {
    return index_ >= 0 && index_ < int(tab_.size()) ? tab_[index_] : nullptr;
}

void GTabKeyForm::MoveFocus(int step) {
    int n = int(tab_.size());
    if (n == 0) return;
    if (index_ < 0 || index_ >= n) index_ = 0;
    for (int k = 1; k < n; ++k) {
        int i = ((index_ + step * k) % n + n) % n;
        if (tab_[i]->IsUsable()) {
            SetTabIndex(i);
            return;
        }
    }
}

void GTabKeyForm::HandleFormKey(const GKeyEvent& e) {
    if (e.key == kKeyTab && !(e.mods & kModCtrl)) {
        MoveFocus(e.mods & kModShift ? -1 : 1);
        return;
    }
    GControl* c = CurrentControl();
    if (c && c->IsUsable()) c->HandleKeyDown(e);
    OnFormKey(this, e);
}

void GTabKeyForm::ForgetControl(GControl* c) {
    GForm::ForgetControl(c);
    auto it = std::find(tab_.begin(), tab_.end(), c);
    if (it == tab_.end()) return;
    int pos = int(it - tab_.begin());
    tab_.erase(it);
    if (pos < index_) --index_;
}

void GBaseForm::HandleFormKey(const GKeyEvent& e) {
    if (e.key == kKeyEscape) {
        Hide();
        return;
    }
    GTabKeyForm::HandleFormKey(e);
}

}  // namespace UIK
