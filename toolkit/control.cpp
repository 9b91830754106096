#include "toolkit/control.h"

#include <algorithm>

#include "platform/native_ui.h"
#include "toolkit/app.h"
#include "toolkit/form.h"
#include "toolkit/resources.h"

namespace UIK {

struct GControl::Private_t {
    GProperty_T<ustring_t> name;
    GProperty_T<GControl*> parent;
    GProperty_T<bool> visible{true};
    GProperty_T<bool> enabled{true};
    GProperty_T<GRect> rect;
    GProperty_T<unsigned> anchors{kAnchorDefault};
    GProperty_T<int> font{0};
    GProperty_T<GColor> back{kNoColor};
    std::vector<GControl*> children;
    // Deferred calls check it, so a control deleted meanwhile is not called.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

GControl::GControl(GControl* parent) : d_(std::make_unique<Private_t>()) {
    d_->visible.AttachChangeSetter([this](const bool& v) { VisibilityChanged(v); });
    d_->enabled.AttachChangeSetter([this](const bool& e) { EnabledChanged(e); });
    d_->rect.AttachSetter([this](const GRect& r) {
        GRect old = d_->rect.Stored();
        if (old == r) return;
        d_->rect.Store(r);
        RectChanged(old);
    });
    d_->back.AttachChangeSetter([this](const GColor&) { Invalidate(); });
    d_->parent.AttachSetter([this](GControl* const& p) {
        GControl* old = d_->parent.Stored();
        if (old == p) return;
        Invalidate();
        if (old) {
            auto& v = old->d_->children;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
        d_->parent.Store(p);
        if (p) p->d_->children.push_back(this);
        Invalidate();
    });
    if (parent) SetParent(parent);
}

GControl::~GControl() {
    *d_->alive = false;
    if (GForm* f = Form(); f && f != static_cast<void*>(this)) f->ForgetControl(this);
    for (GControl* c : d_->children) c->d_->parent.Store(nullptr);
    d_->children.clear();
    if (GControl* p = d_->parent.Stored()) {
        Invalidate();
        auto& v = p->d_->children;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

// ---- properties -----------------------------------------------------------------

ustring_t GControl::Name() const { return d_->name.Get(); }
void GControl::SetName(const ustring_t& name) { d_->name.Set(name); }
GControl* GControl::Parent() const { return d_->parent.Get(); }
void GControl::SetParent(GControl* parent) { d_->parent.Set(parent); }
bool GControl::IsVisible() const { return d_->visible.Get(); }
void GControl::SetVisible(bool v) { d_->visible.Set(v); }
bool GControl::IsEnabled() const { return d_->enabled.Get(); }
void GControl::SetEnabled(bool e) { d_->enabled.Set(e); }
GRect GControl::Rect() const { return d_->rect.Get(); }
void GControl::SetRect(const GRect& r) { d_->rect.Set(r); }
void GControl::Move(int left, int top) {
    GRect r = Rect();
    SetRect({left, top, r.width, r.height});
}
void GControl::Resize(int width, int height) {
    GRect r = Rect();
    SetRect({r.left, r.top, width, height});
}
unsigned GControl::Anchors() const { return d_->anchors.Get(); }
void GControl::SetAnchors(unsigned a) { d_->anchors.Set(a); }
int GControl::FontIndex() const { return d_->font.Get(); }
void GControl::SetFont(GFontRole role) {
    d_->font.Set(int(role));
    Invalidate();
}
GFont* GControl::Font() const {
    GFont* f = GResources::Font(FontIndex());
    return f ? f : GResources::Font(kFontFixed);
}
GColor GControl::BackColor() const { return d_->back.Get(); }
void GControl::SetBackColor(GColor c) { d_->back.Set(c); }

GProperty_T<ustring_t>& GControl::NameProperty() { return d_->name; }
GProperty_T<bool>& GControl::VisibleProperty() { return d_->visible; }
GProperty_T<bool>& GControl::EnabledProperty() { return d_->enabled; }
GProperty_T<GRect>& GControl::RectProperty() { return d_->rect; }
GProperty_T<GColor>& GControl::BackColorProperty() { return d_->back; }

// ---- tree -----------------------------------------------------------------------

bool GControl::IsEnabledThroughParents() const {
    for (const GControl* c = this; c; c = c->Parent())
        if (!c->IsEnabled()) return false;
    return true;
}

bool GControl::IsShownThroughParents() const {
    // Up to the form, not including its own flag: a hidden form still paints
    // offscreen, and keys reach only shown forms anyway.
    for (const GControl* c = this; c && !const_cast<GControl*>(c)->AsForm(); c = c->Parent())
        if (!c->IsVisible()) return false;
    return true;
}

const std::vector<GControl*>& GControl::Children() const { return d_->children; }

GControl* GControl::FindChild(const ustring_t& name, bool deep) const {
    for (GControl* c : d_->children) {
        if (c->Name() == name) return c;
        if (deep)
            if (GControl* r = c->FindChild(name, true)) return r;
    }
    return nullptr;
}

GForm* GControl::Form() const {
    for (GControl* c = const_cast<GControl*>(this); c; c = c->Parent())
        if (GForm* f = c->AsForm()) return f;
    return nullptr;
}

GRect GControl::FormRect() const {
    if (const_cast<GControl*>(this)->AsForm()) return {0, 0, Width(), Height()};
    GRect r = Rect();
    for (GControl* p = Parent(); p && !p->AsForm(); p = p->Parent()) r = r.Offset(p->Left(), p->Top());
    return r;
}

GRect GControl::ScreenRect() const {
    GForm* f = Form();
    if (!f) return FormRect();
    return FormRect().Offset(f->Left(), f->Top());
}

GControl* GControl::HitTest(int x, int y) {
    for (auto it = d_->children.rbegin(); it != d_->children.rend(); ++it) {
        GControl* c = *it;
        if (!c->IsVisible()) continue;
        GRect r = c->Rect();
        if (r.Contains(x, y)) return c->HitTest(x - r.left, y - r.top);
    }
    return this;
}

// ---- painting -------------------------------------------------------------------

namespace {
// Visible up to (not including) the form: only then does a change show.
bool shows_in_form(const GControl* c) {
    for (; c && !const_cast<GControl*>(c)->AsForm(); c = c->Parent())
        if (!c->IsVisible()) return false;
    return true;
}
}  // namespace

void GControl::Invalidate() { Invalidate({0, 0, Width(), Height()}); }

void GControl::Invalidate(const GRect& part) {
    if (!shows_in_form(this)) return;
    GForm* f = Form();
    if (!f) return;
    GRect fr = FormRect();
    f->InvalidateRect(part.Offset(fr.left, fr.top));
}

void GControl::Paint(GCanvas& c) {
    GColor b = BackColor();
    if (!b.Transparent()) c.FillRect({0, 0, Width(), Height()}, b);
}

GColor GControl::TextColor() const { return IsEnabledThroughParents() ? kColorText : kColorDisabledText; }

// ---- input ----------------------------------------------------------------------

void GControl::HandleMouseDown(const GMouseEvent& e) { OnMouseDown(this, e); }

void GControl::HandleMouseUp(const GMouseEvent& e) {
    OnMouseUp(this, e);
    if (e.button == 1 && GRect{0, 0, Width(), Height()}.Contains(e.x, e.y)) {
        if (e.clicks >= 2 && OnDoubleClick) OnDoubleClick(this);
        else PostClick();
    }
}

void GControl::HandleMouseWheel(const GMouseEvent& e) {
    if (OnMouseWheel) {
        OnMouseWheel(this, e);
        return;
    }
    // Unhandled wheel goes to the parent (a scrolling container, say).
    if (GControl* p = Parent(); p && !AsForm()) {
        GMouseEvent pe = e;
        pe.x += Left();
        pe.y += Top();
        p->HandleMouseWheel(pe);
    }
}

void GControl::HandleKeyDown(const GKeyEvent& e) { OnKeyDown(this, e); }

bool GControl::HasFocus() const {
    GForm* f = Form();
    return f && f->FocusedControl() == this;
}

void GControl::PostClick() {
    if (!OnClick) return;
    std::weak_ptr<bool> alive = d_->alive;
    App::Defer([this, alive] {
        if (auto a = alive.lock(); a && *a) OnClick(this);
    });
}

// ---- changes --------------------------------------------------------------------

namespace {
void raise_shown(GControl* c, bool shown) {
    if (shown) c->OnShow(c);
    else c->OnHide(c);
    for (GControl* child : c->Children())
        if (child->IsVisible()) raise_shown(child, shown);
}
}  // namespace

void GControl::VisibilityChanged(bool visible) {
    // The area of the control changes whether it is now shown or hidden.
    if (GControl* p = Parent(); p && shows_in_form(p)) {
        if (GForm* f = Form()) {
            GRect fr = FormRect();
            f->InvalidateRect(fr.Inflate(3));  // the focus frame lies outside
        }
    }
    // Children that are visible themselves appear and disappear with it.
    raise_shown(this, visible);
}

void GControl::EnabledChanged(bool) { Invalidate(); }

void GControl::RectChanged(const GRect& old) {
    GRect now = Rect();
    if (GControl* p = Parent(); p && shows_in_form(this)) {
        GForm* f = Form();
        GRect pr = p->FormRect();
        if (f && !AsForm()) {
            f->InvalidateRect(old.Offset(pr.left, pr.top).Inflate(3));
            f->InvalidateRect(now.Offset(pr.left, pr.top).Inflate(3));
        }
    }
    if (old.width != now.width || old.height != now.height) {
        Layout(old);
        OnResize(this);
    }
    if (old.left != now.left || old.top != now.top) OnMove(this);
    if (!Options().smooth_controls_moving)
        if (GForm* f = Form()) f->Render();
}

void GControl::Layout(const GRect& old) {
    GRect now = Rect();
    if (old.width <= 0 || old.height <= 0) return;
    int dw = now.width - old.width, dh = now.height - old.height;
    for (GControl* c : d_->children) {
        GRect r = c->Rect();
        unsigned a = c->Anchors();
        if ((a & kAnchorLeft) && (a & kAnchorRight)) r.width += dw;
        else if (a & kAnchorRight) r.left += dw;
        else if (!(a & kAnchorLeft)) r.left += dw / 2;
        if ((a & kAnchorTop) && (a & kAnchorBottom)) r.height += dh;
        else if (a & kAnchorBottom) r.top += dh;
        else if (!(a & kAnchorTop)) r.top += dh / 2;
        c->SetRect(r);
    }
}

// ---- window thread and clipboard ------------------------------------------------

std::weak_ptr<bool> GControl::LifeToken() const { return d_->alive; }

bool GControl::_Synchronize(GControl* control, void (*fn)(void*), void* arg) {
    if (!control || !fn) return false;
    // Only the token is read here: it is set at construction and never
    // replaced, so copying it from a worker is safe while the control lives.
    std::weak_ptr<bool> alive = control->d_->alive;
    return App::Defer([fn, arg, alive] {
        if (auto a = alive.lock(); a && *a && arg) fn(arg);
    });
}

bool GControl::CopyToClipboard(const ustring_t& t) {
    if (!plat::ui::Acquire()) return false;
    bool ok = plat::ui::SetClipboardText(text::utf8(t));
    plat::ui::Release();
    return ok;
}

ustring_t GControl::ClipboardText() {
    if (!plat::ui::Acquire()) return {};
    ustring_t r = text::u16(plat::ui::ClipboardText());
    plat::ui::Release();
    return r;
}

}  // namespace UIK
