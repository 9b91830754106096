#include "toolkit/controls.h"

#include <algorithm>

#include "toolkit/app.h"

namespace UIK {

namespace {

// Draws one state frame of a stateful skin over r; false when the skin is missing.
bool draw_state_skin(GCanvas& c, int skin, int state, const GRect& r) {
    GBitmap* bmp = GResources::Skin(skin);
    if (!bmp) return false;
    c.DrawSkin(*bmp, GResources::SkinFrame(*bmp, state), r, kSkinMargin);
    return true;
}

void draw_centered(GCanvas& c, const GBitmap& bmp, const GRect& r, int shift) {
    c.DrawBitmap(bmp, r.left + (r.width - bmp.Width()) / 2 + shift, r.top + (r.height - bmp.Height()) / 2 + shift);
}

}  // namespace

// ---- frames -------------------------------------------------------------------------

void GSkinnedFrame::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    if (!BackColor().Transparent()) {
        c.FillRect(all, BackColor());
        return;
    }
    if (GBitmap* bmp = GResources::Skin(skin_)) c.DrawSkin(*bmp, {0, 0, bmp->Width(), bmp->Height()}, all, kSkinMargin);
    else c.FillRect(all, kColorMid);
}

// ---- GLabel -------------------------------------------------------------------------

GLabel::GLabel(GControl* parent) : GControl(parent) {
    text_.AttachChangeSetter([this](const ustring_t&) {
        Invalidate();
        OnTextChanged(this);
    });
}

void GLabel::SetAlignment(unsigned a) {
    align_ = a;
    Invalidate();
}
void GLabel::SetWordWrap(bool w) {
    wrap_ = w;
    Invalidate();
}
void GLabel::SetForeColor(GColor c) {
    if (fore_ == c) return;
    fore_ = c;
    Invalidate();
}

GPoint GLabel::PreferredSize(const ustring_t* text, int width) const {
    GFont* f = Font();
    if (!f) return {2 * kPadding, 2 * kPadding};
    const ustring_t t = text ? *text : Text();
    int w = (width > 0 ? width : Width()) - 2 * kPadding;
    GPoint s = GCanvas::MeasureText(*f, t.view(), w, wrap_);
    if (t.empty()) s.y = f->LineHeight();
    return {s.x + 2 * kPadding, s.y + 2 * kPadding};
}

void GLabel::Paint(GCanvas& c) {
    GControl::Paint(c);
    GFont* f = Font();
    const ustring_t t = Text();
    if (!f || t.empty()) return;
    GColor col = IsEnabledThroughParents() ? fore_ : kColorDisabledText;
    DrawnCaption d;
    CaptionLayout(&d);
    c.DrawText(*f, d.text, d.area, align_, d.wrap, col);
}

bool GLabel::CaptionLayout(DrawnCaption* out) const {
    out->text = std::u16string(Text().view());
    // The padding keeps text off the sides; a single line may use the whole
    // height, its line box holding more than the letters.
    out->area = {kPadding, 0, Width() - 2 * kPadding, Height()};
    out->wrap = wrap_;
    return true;
}

// ---- buttons ------------------------------------------------------------------------

int GButtonBase::SkinState() const {
    if (!IsEnabledThroughParents()) return kStateDisabled;
    if (pressed_ && hot_) return kStatePressed;
    if (hot_ || pressed_) return kStateHot;
    return kStateNormal;
}

void GButtonBase::PerformClick() {
    if (IsUsable()) PostClick();
}

void GButtonBase::HandleMouseDown(const GMouseEvent& e) {
    if (e.button == 1) {
        pressed_ = true;
        hot_ = true;
        Invalidate();
    }
    OnMouseDown(this, e);
}

void GButtonBase::HandleMouseMove(const GMouseEvent& e) {
    bool inside = GRect{0, 0, Width(), Height()}.Contains(e.x, e.y);
    if (inside != hot_) {
        hot_ = inside;
        Invalidate();
    }
}

void GButtonBase::HandleMouseUp(const GMouseEvent& e) {
    bool inside = GRect{0, 0, Width(), Height()}.Contains(e.x, e.y);
    bool click = pressed_ && inside && e.button == 1;
    if (e.button == 1) {
        pressed_ = false;
        hot_ = inside;
        Invalidate();
    }
    OnMouseUp(this, e);
    // The click runs after this message has been handled completely.
    if (click) PostClick();
}

void GButtonBase::HandleMouseEnter() {
    hot_ = true;
    Invalidate();
}

void GButtonBase::HandleMouseLeave() {
    hot_ = false;
    Invalidate();
}

void GButtonBase::HandleKeyDown(const GKeyEvent& e) {
    if ((e.key == kKeySpace || e.key == kKeyEnter) && !(e.mods & kModCtrl)) {
        PerformClick();
        return;
    }
    OnKeyDown(this, e);
}

GTextButton::GTextButton(GControl* parent) : GButtonBase(parent) {}

void GTextButton::SetCaption(const ustring_t& c) {
    if (caption_ == c) return;
    caption_ = c;
    Invalidate();
}

void GTextButton::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    int st = SkinState();
    if (!draw_state_skin(c, skin_, st, all)) c.FillRect(all, st == kStatePressed ? kColorDark : kColorLight);
    GFont* f = Font();
    if (!f || caption_.empty()) return;
    int shift = st == kStatePressed ? 1 : 0;
    GColor col = st == kStateDisabled ? kColorDisabledText : fore_;
    DrawnCaption d;
    CaptionLayout(&d);
    c.DrawText(*f, d.text, d.area.Offset(shift, shift), kAlignCenter | kAlignMiddle, d.wrap, col);
}

// Captions longer than the button wrap at word boundaries rather than being cut off.
bool GTextButton::CaptionLayout(DrawnCaption* out) const {
    out->text = std::u16string(caption_.view());
    // Clear of the edges drawn by the skin on either side.
    out->area = GRect{kCaptionMargin, 3, Width() - 2 * kCaptionMargin, Height() - 6};
    out->wrap = true;
    return true;
}

void GImgButton::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    int st = SkinState();
    if (skin_ >= 0) draw_state_skin(c, skin_, st, all);
    int shift = st == kStatePressed ? 1 : 0;
    GBitmap* pic = image_ ? image_ : (icon_ >= 0 ? GResources::Skin(icon_) : nullptr);
    if (pic) draw_centered(c, *pic, all, shift);
}

// ---- GCheckBoxCaptioned -------------------------------------------------------------

GCheckBoxCaptioned::GCheckBoxCaptioned(GControl* parent) : GControl(parent) {
    checked_.AttachChangeSetter([this](const bool&) {
        Invalidate();
        OnChange(this);
    });
}

void GCheckBoxCaptioned::HandleMouseUp(const GMouseEvent& e) {
    OnMouseUp(this, e);
    if (e.button == 1 && GRect{0, 0, Width(), Height()}.Contains(e.x, e.y)) SetChecked(!IsChecked());
}

void GCheckBoxCaptioned::HandleKeyDown(const GKeyEvent& e) {
    if (e.key == kKeySpace && !(e.mods & kModCtrl)) {
        SetChecked(!IsChecked());
        return;
    }
    OnKeyDown(this, e);
}

void GCheckBoxCaptioned::Paint(GCanvas& c) {
    GControl::Paint(c);
    bool enabled = IsEnabledThroughParents();
    int box = 16;
    int y = (Height() - box) / 2;
    if (GBitmap* bmp = GResources::Skin(bmpCustomButton_Checkbox)) {
        int frame = (enabled ? 0 : 2) + (IsChecked() ? 1 : 0);
        box = bmp->Height();
        y = (Height() - box) / 2;
        c.DrawBitmap(*bmp, {frame * box, 0, box, box}, 2, y);
    } else {
        c.FrameRect({2, y, box, box}, TextColor());
        if (IsChecked()) c.FillRect({6, y + 4, box - 8, box - 8}, TextColor());
    }
    if (GFont* f = Font()) {
        DrawnCaption d;
        CaptionLayout(&d);
        c.DrawText(*f, d.text, d.area, kAlignLeft | kAlignMiddle, d.wrap, TextColor());
    }
}

bool GCheckBoxCaptioned::CaptionLayout(DrawnCaption* out) const {
    const GBitmap* bmp = GResources::Skin(bmpCustomButton_Checkbox);
    const int box = bmp ? bmp->Height() : 16;
    out->text = std::u16string(caption_.view());
    out->area = {box + 8, 0, Width() - box - 8, Height()};
    out->wrap = false;
    return true;
}

// ---- GScrollBar ---------------------------------------------------------------------

GScrollBar::GScrollBar(GControl* parent) : GControl(parent) {
    pos_.AttachSetter([this](const int64_t& v) {
        int64_t p = Clamp(v);
        if (p == pos_.Stored()) return;
        pos_.Store(p);
        Invalidate();
        OnPositionChanged(this);
    });
}

int64_t GScrollBar::Clamp(int64_t v) const { return std::clamp(v, min_, std::max(min_, max_)); }

void GScrollBar::SetMinimum(int64_t v) { SetRange(v, std::max(v, max_)); }
void GScrollBar::SetMaximum(int64_t v) { SetRange(std::min(min_, v), v); }

void GScrollBar::SetRange(int64_t lo, int64_t hi) {
    if (hi < lo) hi = lo;
    min_ = lo;
    max_ = hi;
    Invalidate();
    // Keeping the position in range is a change like any other.
    SetPosition(pos_.Stored());
}

GRect GScrollBar::ArrowRect(bool first) const {
    if (IsVertical()) {
        int s = std::min(Width(), Height() / 2);
        return first ? GRect{0, 0, Width(), s} : GRect{0, Height() - s, Width(), s};
    }
    int s = std::min(Height(), Width() / 2);
    return first ? GRect{0, 0, s, Height()} : GRect{Width() - s, 0, s, Height()};
}

GRect GScrollBar::TrackRect() const {
    GRect a = ArrowRect(true), b = ArrowRect(false);
    if (IsVertical()) return {0, a.Bottom(), Width(), b.top - a.Bottom()};
    return {a.Right(), 0, b.left - a.Right(), Height()};
}

GRect GScrollBar::ThumbRect() const {
    GRect t = TrackRect();
    int len = IsVertical() ? t.height : t.width;
    int64_t range = max_ - min_;
    int thumb = len;
    if (range > 0) {
        double share = double(large_) / double(range + large_);
        thumb = std::clamp(int(len * share), std::min(12, len), len);
    }
    int off = range > 0 ? int(double(len - thumb) * double(pos_.Stored() - min_) / double(range)) : 0;
    if (IsVertical()) return {0, t.top + off, t.width, thumb};
    return {t.left + off, 0, thumb, t.height};
}

int64_t GScrollBar::PositionAt(int x, int y) const {
    GRect t = TrackRect(), th = ThumbRect();
    int len = IsVertical() ? t.height - th.height : t.width - th.width;
    int at = IsVertical() ? y - t.top : x - t.left;
    if (len <= 0) return min_;
    double f = std::clamp(double(at) / len, 0.0, 1.0);
    return min_ + int64_t(f * double(max_ - min_) + 0.5);
}

void GScrollBar::HandleMouseDown(const GMouseEvent& e) {
    OnMouseDown(this, e);
    if (e.button != 1) return;
    GRect th = ThumbRect();
    if (ArrowRect(true).Contains(e.x, e.y)) {
        pressed_part_ = 1;
        StepBy(-small_);
    } else if (ArrowRect(false).Contains(e.x, e.y)) {
        pressed_part_ = 2;
        StepBy(small_);
    } else if (th.Contains(e.x, e.y)) {
        pressed_part_ = 4;
        drag_offset_ = IsVertical() ? e.y - th.top : e.x - th.left;
    } else if (TrackRect().Contains(e.x, e.y)) {
        pressed_part_ = 3;
        bool before = IsVertical() ? e.y < th.top : e.x < th.left;
        StepBy(before ? -large_ : large_);
    }
    Invalidate();
}

void GScrollBar::HandleMouseMove(const GMouseEvent& e) {
    if (pressed_part_ != 4) return;
    if (IsVertical()) SetPosition(PositionAt(0, e.y - drag_offset_));
    else SetPosition(PositionAt(e.x - drag_offset_, 0));
}

void GScrollBar::HandleMouseUp(const GMouseEvent& e) {
    pressed_part_ = 0;
    Invalidate();
    OnMouseUp(this, e);
}

void GScrollBar::HandleMouseWheel(const GMouseEvent& e) {
    // Turning the wheel away from the user moves towards the minimum.
    if (e.wheel != 0) StepBy(-int64_t(e.wheel) * small_);
}

void GScrollBar::HandleKeyDown(const GKeyEvent& e) {
    switch (e.key) {
    case kKeyUp: case kKeyLeft: StepBy(-small_); return;
    case kKeyDown: case kKeyRight: StepBy(small_); return;
    case kKeyPageUp: StepBy(-large_); return;
    case kKeyPageDown: StepBy(large_); return;
    case kKeyHome: SetPosition(min_); return;
    case kKeyEnd: SetPosition(max_); return;
    default: OnKeyDown(this, e);
    }
}

void GScrollBar::Paint(GCanvas& c) {
    bool enabled = IsEnabledThroughParents();
    GRect t = TrackRect();
    if (GBitmap* strip = GResources::Skin(bmpScrollStripSkin))
        c.DrawSkin(*strip, {0, 0, strip->Width(), strip->Height()}, t, 3);
    else c.FillRect(t, kColorDark);
    bool v = IsVertical();
    auto part_state = [&](int part) {
        return !enabled ? kStateDisabled : (pressed_part_ == part ? kStatePressed : kStateNormal);
    };
    draw_state_skin(c, v ? bmpButtonSkin_MiniScrollUp : bmpButtonSkin_MiniScrollLeft, part_state(1), ArrowRect(true));
    draw_state_skin(c, v ? bmpButtonSkin_MiniScrollDown : bmpButtonSkin_MiniScrollRight, part_state(2),
                    ArrowRect(false));
    if (!draw_state_skin(c, bmpButtonSkin_ScrollThumb, part_state(4), ThumbRect()))
        c.FillRect(ThumbRect(), kColorLight);
}

// ---- GProgressBar -------------------------------------------------------------------

GProgressBar::GProgressBar(GControl* parent) : GControl(parent) {}

void GProgressBar::SetPosition(int64_t p) {
    p = std::clamp(p, min_, std::max(min_, max_));
    if (p == pos_) return;
    pos_ = p;
    Invalidate();
}

void GProgressBar::SetRange(int64_t lo, int64_t hi) {
    min_ = lo;
    max_ = std::max(lo, hi);
    pos_ = std::clamp(pos_, min_, max_);
    Invalidate();
}

void GProgressBar::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    if (GBitmap* bmp = GResources::Skin(bmpAntipanelSkin))
        c.DrawSkin(*bmp, {0, 0, bmp->Width(), bmp->Height()}, all, 3);
    else c.FillRect(all, kColorDark);
    int64_t range = max_ - min_;
    if (range <= 0 || pos_ <= min_) return;
    GRect in = all.Inflate(-2);
    int w = int(double(in.width) * double(pos_ - min_) / double(range));
    GRect bar{in.left, in.top, w, in.height};
    bool enabled = IsEnabledThroughParents();
    c.FillRect(bar, enabled ? kColorLight : kColorDisabledText);
    if (enabled && w > 0) c.HLine(bar.left, bar.Right() - 1, bar.top, RGB(140, 182, 226));
}

// ---- GImageFrame --------------------------------------------------------------------

bool GImageFrame::SetImageName(const char* name) {
    image_ = GResources::Image(name);
    Invalidate();
    return image_ != nullptr;
}

void GImageFrame::Paint(GCanvas& c) {
    GControl::Paint(c);
    if (!image_) return;
    if (stretch_) c.StretchBitmap(*image_, {0, 0, image_->Width(), image_->Height()}, {0, 0, Width(), Height()});
    else c.DrawBitmap(*image_, ImageLeft(), 0);
}

void GImageFrame::PaintOver(GCanvas& c) {
    if (!Options().designer_mode || Name().empty()) return;
    // Design-time marking: a dashed yellow outline.
    const GColor mark = RGB(255, 220, 0);
    int w = Width(), h = Height();
    for (int x = 0; x < w; x += 8) {
        c.FillRect({x, 0, std::min(4, w - x), 1}, mark);
        c.FillRect({x, h - 1, std::min(4, w - x), 1}, mark);
    }
    for (int y = 0; y < h; y += 8) {
        c.FillRect({0, y, 1, std::min(4, h - y)}, mark);
        c.FillRect({w - 1, y, 1, std::min(4, h - y)}, mark);
    }
}

}  // namespace UIK
