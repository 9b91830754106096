#include "toolkit/lists.h"

#include "platform/native_ui.h"

#include <algorithm>

#include "toolkit/app.h"

namespace UIK {

namespace {
const ustring_t kNoText;

bool draw_state_skin(GCanvas& c, int skin, int state, const GRect& r) {
    GBitmap* bmp = GResources::Skin(skin);
    if (!bmp) return false;
    c.DrawSkin(*bmp, GResources::SkinFrame(*bmp, state), r, kSkinMargin);
    return true;
}
}  // namespace

// ---- GItemsModel -------------------------------------------------------------------

GItemsModel::GItemsModel(GControl* self) : self_(self) {
    sel_.AttachChangeSetter([this](const int&) {
        self_->Invalidate();
        OnSelectionChanged(self_);
    });
}

const ustring_t& GItemsModel::Item(int i) const { return i >= 0 && i < Count() ? items_[size_t(i)] : kNoText; }

void GItemsModel::AddItem(const ustring_t& t) {
    items_.push_back(t);
    ItemsChanged(Count() - 1);
}

void GItemsModel::SetItem(int i, const ustring_t& t) {
    if (i < 0 || i >= Count() || items_[size_t(i)] == t) return;
    items_[size_t(i)] = t;
    ItemsChanged(i);
}

void GItemsModel::SetItems(const std::vector<ustring_t>& items) {
    items_ = items;
    ItemsChanged(-1);
}

// ---- GListBase --------------------------------------------------------------------

GListBase::GListBase(GControl* parent) : GControl(parent), GItemsModel(this), bar_(this) {
    bar_.Hide();
    bar_.SetSmallStep(20);
    bar_.OnPositionChanged.Set([this](GControl*) {
        if (syncing_) return;
        top_ = int(bar_.Position());
        Invalidate();
    });
}

GListBase::~GListBase() { *alive_ = false; }

void GListBase::ItemsChanged(int i) {
    if (i < 0) hot_ = pressed_ = -1;
    Recalc();
}

int GListBase::ItemHeight(int) const {
    GFont* f = Font();
    return (f ? f->LineHeight() : 16) + 6;
}

void GListBase::Recalc() {
    tops_.assign(1, 0);
    for (int i = 0; i < Count(); ++i) tops_.push_back(tops_.back() + ItemHeight(i) + gap_);
    int content = tops_.back() - (Count() ? gap_ : 0);
    int range = std::max(0, content - Height());
    syncing_ = true;
    bar_.SetBounds(Width() - kBarWidth, 0, kBarWidth, Height());
    bar_.SetLargeStep(std::max(Height() - 20, 20));
    bar_.SetRange(0, range);
    top_ = std::clamp(top_, 0, range);
    bar_.SetPosition(top_);
    syncing_ = false;
    bar_.SetVisible(range > 0);
    Invalidate();
}

void GListBase::Layout(const GRect& old) {
    GControl::Layout(old);
    Recalc();
}

GRect GListBase::ItemRect(int i) const {
    if (i < 0 || i >= Count() || size_t(i + 1) >= tops_.size()) return {};
    return {0, tops_[size_t(i)] - top_, ItemWidth(), tops_[size_t(i) + 1] - tops_[size_t(i)] - gap_};
}

int GListBase::ItemAt(int x, int y) const {
    if (x < 0 || x >= ItemWidth() || y < 0 || y >= Height()) return -1;
    int cy = y + top_;
    auto it = std::upper_bound(tops_.begin(), tops_.end(), cy);
    int i = int(it - tops_.begin()) - 1;
    if (i < 0 || i >= Count()) return -1;
    return ItemRect(i).Contains(x, y) ? i : -1;
}

void GListBase::ScrollToItem(int i) {
    GRect r = ItemRect(i);
    if (r.Empty()) return;
    int t = top_;
    if (r.top < 0) t += r.top;
    else if (r.Bottom() > Height()) t += r.Bottom() - Height();
    if (t != top_) bar_.SetPosition(t);
}

void GListBase::PostItemClick(int i) {
    if (!OnItemClick) return;
    std::weak_ptr<bool> alive = alive_;
    App::Defer([this, alive, i] {
        if (auto a = alive.lock(); a && *a) OnItemClick(this, i);
    });
}

void GListBase::HandleMouseDown(const GMouseEvent& e) {
    OnMouseDown(this, e);
    if (e.button != 1) return;
    pressed_ = ItemAt(e.x, e.y);
    Invalidate();
}

void GListBase::HandleMouseUp(const GMouseEvent& e) {
    OnMouseUp(this, e);
    int p = pressed_;
    pressed_ = -1;
    Invalidate();
    if (e.button != 1 || p < 0 || ItemAt(e.x, e.y) != p) return;
    SetSelectedIndex(p);
    PostItemClick(p);
}

void GListBase::HandleMouseMove(const GMouseEvent& e) {
    int h = ItemAt(e.x, e.y);
    if (h != hot_) {
        hot_ = h;
        Invalidate();
    }
}

void GListBase::HandleMouseLeave() {
    if (hot_ != -1) {
        hot_ = -1;
        Invalidate();
    }
}

void GListBase::HandleMouseWheel(const GMouseEvent& e) {
    if (OnMouseWheel) {
        OnMouseWheel(this, e);
        return;
    }
    if (e.wheel != 0 && bar_.IsVisible()) bar_.StepBy(-int64_t(e.wheel) * 3 * bar_.SmallStep());
}

void GListBase::HandleKeyDown(const GKeyEvent& e) {
    int n = Count(), s = SelectedIndex();
    int to = -2;
    switch (e.key) {
    case kKeyUp: to = (s < 0 || s >= n) ? n - 1 : std::max(s - 1, 0); break;
    case kKeyDown: to = (s < 0 || s >= n) ? 0 : std::min(s + 1, n - 1); break;
    case kKeyHome: to = 0; break;
    case kKeyEnd: to = n - 1; break;
    case kKeyEnter:
        if (s >= 0 && s < n) PostItemClick(s);
        return;
    default: OnKeyDown(this, e); return;
    }
    if (n == 0) return;
    SetSelectedIndex(to);
    ScrollToItem(to);
}

void GListBase::PaintBackground(GCanvas& c) {
    GColor b = BackColor();
    GRect all{0, 0, Width(), Height()};
    if (!b.Transparent()) c.FillRect(all, b);
    else if (GBitmap* skin = GResources::Skin(bmpAntipanelSkin))
        c.DrawSkin(*skin, {0, 0, skin->Width(), skin->Height()}, all, 3);
    else c.FillRect(all, kColorDark);
}

void GListBase::Paint(GCanvas& c) {
    PaintBackground(c);
    GRect clip = c.ClipRect();
    for (int i = 0; i < Count(); ++i) {
        GRect r = ItemRect(i);
        if (r.Bottom() <= clip.top) continue;
        if (r.top >= clip.Bottom()) break;
        int st = (i == pressed_ || i == SelectedIndex()) ? kStatePressed : (i == hot_ ? kStateHot : kStateNormal);
        GCanvas::State s = c.Save();
        c.ClipTo(r);
        PaintItem(c, i, r, st);
        c.Restore(s);
    }
}

// ---- GStrList ---------------------------------------------------------------------

void GStrList::PaintItem(GCanvas& c, int i, const GRect& r, int state) {
    bool enabled = IsEnabledThroughParents();
    if (state == kStatePressed) c.FillRect(r, enabled ? kColorLight : kColorMid);
    else if (state == kStateHot && enabled) c.FillRect(r, kColorMid);
    if (GFont* f = Font())
        c.DrawText(*f, Item(i).view(), {r.left + 6, r.top, r.width - 8, r.height}, kAlignLeft | kAlignMiddle, false,
                   TextColor());
}

// ---- GTxtBtList -------------------------------------------------------------------

GTxtBtList::GTxtBtList(GControl* parent) : GListBase(parent) {
    gap_ = 2;
    SetFont(kFontSmall);
}

int GTxtBtList::ItemHeight(int i) const {
    GFont* f = Font();
    int lh = f ? f->LineHeight() : 16;
    int lines = 1;
    for (char16_t ch : Item(i).view()) lines += ch == u'\n';
    return std::max(40, lines * lh + 12);
}

void GTxtBtList::PaintBackground(GCanvas& c) {
    GColor b = BackColor();
    if (!b.Transparent()) c.FillRect({0, 0, Width(), Height()}, b);
}

void GTxtBtList::PaintItem(GCanvas& c, int i, const GRect& r, int state) {
    bool enabled = IsEnabledThroughParents();
    int st = enabled ? state : kStateDisabled;
    if (!draw_state_skin(c, skin_, st, r)) c.FillRect(r, st == kStatePressed ? kColorDark : kColorLight);
    if (GFont* f = Font()) {
        int shift = st == kStatePressed ? 1 : 0;
        c.DrawText(*f, Item(i).view(), r.Inflate(-4).Offset(shift, shift), kAlignCenter | kAlignMiddle, false,
                   enabled ? kColorText : kColorDisabledText);
    }
}

// ---- GContextMenuForm2 ------------------------------------------------------------

GContextMenuForm2::GContextMenuForm2() : header_(this), list_(this) {
    header_.Hide();
    header_.SetBackColor(kColorDark);
    header_.SetForeColor(kColorDisabledText);
    header_.SetFont(kFontSmall);
    list_.SetBackColor(kColorMid);
    list_.SetFont(kFontSmall);
    list_.OnItemClick.Set([this](GControl*, int i) {
        Close();
        OnChoose(this, i);
    });
    OnDeactivate.Set([this](GForm*) { Close(); });
}

GContextMenuForm2::~GContextMenuForm2() = default;

uint32_t GContextMenuForm2::NativeStyle() const { return plat::ui::kStylePopup | plat::ui::kStyleMenu; }

void GContextMenuForm2::SetItems(const std::vector<ustring_t>& items) { list_.SetItems(items); }

void GContextMenuForm2::SetHeader(const ustring_t& h) {
    header_.SetText(h);
    header_.SetVisible(!h.empty());
}

void GContextMenuForm2::Popup(GControl* anchor, int selected) {
    if (IsVisible()) Close();
    GRect a = anchor ? anchor->ScreenRect() : GRect{0, 0, 200, 0};
    GFont* f = list_.Font();
    int ih = (f ? f->LineHeight() : 16) + 6;
    int n = std::clamp(list_.Count(), 1, kMaxVisibleItems);
    int hh = header_.IsVisible() ? ih : 0;
    int w = a.width;
    if (f)
        for (int i = 0; i < list_.Count(); ++i) w = std::max(w, f->Measure(list_.Item(i).view()).x + 32);
    int h = hh + n * ih + 2;
    GRect area = PlacementArea(a.left + a.width / 2, a.top + a.height / 2);
    int x = std::clamp(a.left, area.left, std::max(area.left, area.Right() - w));
    int y = a.Bottom();
    if (y + h > area.Bottom() && a.top - h >= area.top) y = a.top - h;
    y = std::clamp(y, area.top, std::max(area.top, area.Bottom() - h));
    SetRect({x, y, w, h});
    header_.SetBounds(1, 1, w - 2, hh);
    list_.SetBounds(1, 1 + hh, w - 2, h - hh - 2);
    list_.SetSelectedIndex(selected);
    list_.ScrollToItem(selected);
    SetBackColor(kColorLight);
    if (anchor && anchor->Form()) SetOwner(anchor->Form());
    // The native window carries a title even without a header line: the
    // window manager's lists name it.
    if (header_.IsVisible()) SetTitle(header_.Text());
    else if (Owner()) SetTitle(Owner()->Title());
    Show();
    BringToFront();
}

void GContextMenuForm2::HandleFormKey(const GKeyEvent& e) {
    if (e.key == kKeyEscape) {
        Close();
        return;
    }
    list_.HandleKeyDown(e);
}

// ---- GStringSelector --------------------------------------------------------------

GStringSelector::GStringSelector(GControl* parent) : GButtonBase(parent), GItemsModel(this) { SetFont(kFontSmall); }

GStringSelector::~GStringSelector() { *alive_ = false; }

void GStringSelector::HandleMouseUp(const GMouseEvent& e) {
    bool click = IsPressed() && e.button == 1 && GRect{0, 0, Width(), Height()}.Contains(e.x, e.y);
    GButtonBase::HandleMouseUp(e);
    if (!click) return;
    // Dropped after the mouse message, like a button's click.
    std::weak_ptr<bool> alive = alive_;
    App::Defer([this, alive] {
        if (auto a = alive.lock(); a && *a) DropDown();
    });
}

void GStringSelector::ItemsChanged(int i) {
    if (i < 0 || i == SelectedIndex()) Invalidate();
}

GContextMenuForm2* GStringSelector::DroppedMenu() const {
    return menu_ && menu_->IsVisible() ? menu_.get() : nullptr;
}

void GStringSelector::DropDown() {
    if (!IsUsable() || !Form()) return;
    if (!menu_) {
        menu_ = std::make_unique<GContextMenuForm2>();
        menu_->OnChoose.Set([this](GControl*, int i) { SetSelectedIndex(i); });
    }
    std::u16string_view cap = caption_.view();
    while (!cap.empty() && cap.front() == u' ') cap.remove_prefix(1);
    while (!cap.empty() && cap.back() == u' ') cap.remove_suffix(1);
    menu_->SetHeader(ustring_t(cap));
    menu_->SetItems(Items());
    menu_->Popup(this, SelectedIndex());
}

void GStringSelector::HandleKeyDown(const GKeyEvent& e) {
    int n = Count(), s = SelectedIndex();
    bool plain = !(e.mods & kModCtrl);
    if ((e.key == kKeyEnter || e.key == kKeySpace) && plain) {
        DropDown();
        return;
    }
    if (e.key == kKeyUp && n > 0) {
        SetSelectedIndex((s < 0 || s >= n) ? n - 1 : std::max(s - 1, 0));
        return;
    }
    if (e.key == kKeyDown && n > 0) {
        SetSelectedIndex((s < 0 || s >= n) ? 0 : std::min(s + 1, n - 1));
        return;
    }
    OnKeyDown(this, e);
}

void GStringSelector::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    int st = SkinState();
    if (DroppedMenu() && st != kStateDisabled) st = kStatePressed;
    if (!draw_state_skin(c, bmpButtonSkin_StringSelector, st, all))
        c.FillRect(all, st == kStatePressed ? kColorDark : kColorLight);
    bool enabled = st != kStateDisabled;
    // The drop-down arrow at the right.
    int aw = std::min(Height(), 28);
    GColor glyph = enabled ? kColorText : kColorDisabledText;
    int cx = Width() - aw / 2 - 4, cy = Height() / 2 - 2;
    for (int k = 0; k < 5; ++k) c.HLine(cx - 5 + k, cx + 5 - k, cy + k, glyph);
    c.VLine(Width() - aw - 2, 6, Height() - 7, enabled ? kColorDark : kColorMid);
    if (GFont* f = Font()) {
        DrawnCaption d;
        CaptionLayout(&d);
        c.DrawText(*f, d.text, d.area, kAlignLeft | kAlignMiddle, d.wrap, glyph);
    }
}

bool GStringSelector::CaptionLayout(DrawnCaption* out) const {
    const int aw = std::min(Height(), 28);
    out->text = std::u16string(ShownText().view());
    out->area = {8, 0, Width() - aw - 14, Height()};
    out->wrap = false;
    return true;
}

}  // namespace UIK
