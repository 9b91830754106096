#include "toolkit/edit.h"

#include <algorithm>

#include "toolkit/form.h"
#include "toolkit/resources.h"

namespace UIK {

namespace {
constexpr int kPad = 6;
// Behind selected text: darker than the field, so white text stays readable.
constexpr GColor kSelectionColor = RGB(30, 70, 130);
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

GEdit::GEdit(GControl* parent) : GControl(parent) { SetFont(kFontSmall); }

void GEdit::Changed() {
    Invalidate();
    OnChange(this);
}

void GEdit::SetText(std::u16string_view t) {
    std::u16string n(t.substr(0, max_));
    caret_ = anchor_ = n.size();
    if (n == text_) {
        Invalidate();
        return;
    }
    text_ = std::move(n);
    Changed();
}

void GEdit::SetMaxLength(size_t n) {
    max_ = n;
    if (text_.size() > max_) SetText(text_);
}

void GEdit::SetCaret(size_t pos) { MoveCaret(pos, false); }

void GEdit::MoveCaret(size_t pos, bool select) {
    caret_ = std::min(pos, text_.size());
    if (!select) anchor_ = caret_;
    Invalidate();
}

void GEdit::SelectAll() {
    anchor_ = 0;
    caret_ = text_.size();
    Invalidate();
}

bool GEdit::EraseSelection() {
    if (!HasSelection()) return false;
    const size_t from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
    text_.erase(from, to - from);
    caret_ = anchor_ = from;
    return true;
}

void GEdit::HandleText(const std::u16string& t) {
    std::u16string add;
    for (char16_t ch : t)
        if (ch >= 0x20 && ch != 0x7F) add += ch;
    if (add.empty()) return;
    const bool erased = EraseSelection();
    size_t room = max_ > text_.size() ? max_ - text_.size() : 0;
    if (add.size() > room) add.resize(room);
    if (add.empty()) {
        if (erased) Changed();
        return;
    }
    text_.insert(caret_, add);
    caret_ += add.size();
    anchor_ = caret_;
    Changed();
}

void GEdit::HandleKeyDown(const GKeyEvent& e) {
    // A surrogate pair moves and goes as one character.
    auto prev = [&](size_t p) { return p >= 2 && is_low_surrogate(text_[p - 1]) ? p - 2 : (p ? p - 1 : 0); };
    auto next = [&](size_t p) {
        if (p >= text_.size()) return p;
        return p + 1 < text_.size() && is_low_surrogate(text_[p + 1]) ? p + 2 : p + 1;
    };
    const bool select = (e.mods & kModShift) != 0;
    if (e.mods & kModCtrl) {
        // The clipboard: Ctrl+C copies the selection (the whole text without
        // one), Ctrl+V inserts at the caret.
        if (e.key == 'a') {
            SelectAll();
        } else if (e.key == 'c') {
            const size_t from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
            CopyToClipboard(ustring_t(HasSelection() ? std::u16string_view(text_).substr(from, to - from)
                                                     : std::u16string_view(text_)));
        } else if (e.key == 'v') {
            HandleText(std::u16string(ClipboardText().view()));
        } else {
            OnKeyDown(this, e);
        }
        return;
    }
    switch (e.key) {
    case kKeyBackspace:
        if (EraseSelection()) {
            Changed();
        } else if (caret_ > 0) {
            size_t p = prev(caret_);
            text_.erase(p, caret_ - p);
            caret_ = anchor_ = p;
            Changed();
        }
        return;
    case kKeyDelete:
        if (EraseSelection()) {
            Changed();
        } else if (caret_ < text_.size()) {
            text_.erase(caret_, next(caret_) - caret_);
            Changed();
        }
        return;
    case kKeyLeft: MoveCaret(prev(caret_), select); return;
    case kKeyRight: MoveCaret(next(caret_), select); return;
    case kKeyHome: MoveCaret(0, select); return;
    case kKeyEnd: MoveCaret(text_.size(), select); return;
    case kKeyEnter: OnEnter(this); return;
    default: OnKeyDown(this, e); return;
    }
}

void GEdit::HandleMouseDown(const GMouseEvent& e) {
    OnMouseDown(this, e);
    GFont* f = Font();
    if (!f || e.button != 1) return;
    // The caret goes to the character boundary nearest to the click.
    int x = e.x - kPad + scroll_;
    size_t best = 0;
    int best_d = x < 0 ? -x : x;
    for (size_t i = 1; i <= text_.size(); ++i) {
        if (i < text_.size() && is_low_surrogate(text_[i])) continue;
        int w = f->Measure(std::u16string_view(text_).substr(0, i)).x;
        int d = w > x ? w - x : x - w;
        if (d < best_d) {
            best_d = d;
            best = i;
        }
    }
    SetCaret(best);
}

void GEdit::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    bool enabled = IsEnabledThroughParents();
    if (GBitmap* skin = GResources::Skin(bmpAntipanelSkin))
        c.DrawSkin(*skin, {0, 0, skin->Width(), skin->Height()}, all, 3);
    else c.FillRect(all, kColorDark);
    GFont* f = Font();
    if (!f) return;
    int inner = Width() - 2 * kPad;
    int caret_x = f->Measure(std::u16string_view(text_).substr(0, caret_)).x;
    // Keep the caret inside the field.
    if (caret_x - scroll_ > inner - 2) scroll_ = caret_x - inner + 2;
    if (caret_x - scroll_ < 0) scroll_ = caret_x;
    if (scroll_ < 0) scroll_ = 0;
    GCanvas::State s = c.Save();
    c.ClipTo({kPad, 2, inner, Height() - 4});
    int y = (Height() - f->LineHeight()) / 2;
    if (HasSelection()) {
        const size_t from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
        const int x0 = f->Measure(std::u16string_view(text_).substr(0, from)).x;
        const int x1 = f->Measure(std::u16string_view(text_).substr(0, to)).x;
        c.FillRect({kPad - scroll_ + x0, y, x1 - x0, f->LineHeight()}, kSelectionColor);
    }
    c.DrawTextLine(*f, text_, kPad - scroll_, y, enabled ? kColorText : kColorDisabledText);
    if (HasFocus() && enabled) c.FillRect({kPad - scroll_ + caret_x, y, 2, f->LineHeight()}, kColorText);
    c.Restore(s);
}

}  // namespace UIK
