#include "toolkit/value_labels.h"

#include <cmath>
#include <cstring>

#include "toolkit/app.h"
#include "toolkit/number_entry.h"
#include "toolkit/number_text.h"

namespace UIK {

// ---- GNumberLabelBase -------------------------------------------------------------

GNumberLabelBase::GNumberLabelBase(GControl* parent) : GLabel(parent) {
    SetAlignment(kAlignCenter | kAlignMiddle);
}

GNumberLabelBase::~GNumberLabelBase() { *alive_ = false; }

void GNumberLabelBase::SetDisplayFormat(const ustring_t& f) {
    format_ = f;
    UpdateText();
}

void GNumberLabelBase::SetEmptyText(const ustring_t& t) {
    empty_ = t;
    UpdateText();
}

// ---- input labels -----------------------------------------------------------------

template <typename T>
bool GInputValueLabel_T<T>::OpenEntry() {
    if (!editable_ || !IsUsable()) return false;
    T v = has_ ? value_ : T{};
    bool ok;
    auto run = [&](auto& f) {
        f.SetPrompt(prompt_);
        f.SetScale(scale_);
        if (ranged_) f.SetRange(min_, max_);
        open_form_ = &f;
        const bool accepted = f.Execute(v, this);
        open_form_ = nullptr;
        return accepted;
    };
    if constexpr (std::is_same_v<T, double>) {
        GInpDblForm f;
        ok = run(f);
    } else {
        GInpInt64Form f;
        ok = run(f);
    }
    if (ok) Enter(v);
    return ok;
}

template <typename T>
void GInputValueLabel_T<T>::OpenLater() {
    // After the message that asked for it, like a button's click.
    std::weak_ptr<bool> alive = alive_;
    App::Defer([this, alive] {
        if (auto a = alive.lock(); a && *a) OpenEntry();
    });
}

template <typename T>
void GInputValueLabel_T<T>::HandleMouseUp(const GMouseEvent& e) {
    GNumberLabelBase::HandleMouseUp(e);
    if (e.button == 1 && GRect{0, 0, Width(), Height()}.Contains(e.x, e.y) && editable_) OpenLater();
}

template <typename T>
void GInputValueLabel_T<T>::HandleKeyDown(const GKeyEvent& e) {
    if ((e.key == kKeyEnter || e.key == kKeySpace) && !(e.mods & kModCtrl) && editable_) {
        OpenLater();
        return;
    }
    GNumberLabelBase::HandleKeyDown(e);
}

template <typename T>
void GInputValueLabel_T<T>::Paint(GCanvas& c) {
    GRect all{0, 0, Width(), Height()};
    if (!BackColor().Transparent()) c.FillRect(all, BackColor());
    GBitmap* skin = editable_ ? GResources::Skin(bmpInputNumberLabelSkin) : nullptr;
    if (skin) c.DrawSkin(*skin, {0, 0, skin->Width(), skin->Height()}, all.Inflate(-1), kSkinMargin);
    GFont* f = Font();
    if (!f || Text().empty()) return;
    GColor col = IsEnabledThroughParents() ? ForeColor() : kColorDisabledText;
    DrawnCaption d;
    CaptionLayout(&d);
    c.DrawText(*f, d.text, d.area, Alignment(), d.wrap, col);
}

template <typename T>
bool GInputValueLabel_T<T>::CaptionLayout(DrawnCaption* out) const {
    out->text = std::u16string(Text().view());
    out->area = GRect{0, 0, Width(), Height()}.Inflate(-kPadding - 2);
    out->wrap = WordWrap();
    return true;
}

template class GInputValueLabel_T<double>;
template class GInputValueLabel_T<int64_t>;

GInputDoubleLabel::GInputDoubleLabel(GControl* parent) : GInputValueLabel_T<double>(parent) {
    format_ = u" %.3lf";
}

GInputInt64Label::GInputInt64Label(GControl* parent) : GInputValueLabel_T<int64_t>(parent) {
    format_ = u" %I64d";
}

// ---- GOutputInt64Label ------------------------------------------------------------

GOutputInt64Label::GOutputInt64Label(GControl* parent) : GNumberLabelBase(parent) { format_ = u"%I64d"; }

void GOutputInt64Label::SetValue(int64_t v) {
    value_ = v;
    has_ = true;
    UpdateText();
}

void GOutputInt64Label::ClearValue() {
    has_ = false;
    UpdateText();
}

ustring_t GOutputInt64Label::FormatValue() const { return FormatNumber(format_, value_); }

}  // namespace UIK
