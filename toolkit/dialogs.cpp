#include "toolkit/dialogs.h"

#include <algorithm>

#include "platform/native_ui.h"
#include "toolkit/app.h"

namespace UIK {

// ---- GDialogForm ------------------------------------------------------------------

GDialogForm::GDialogForm() : title_(this), close_(this) {
    SetDraggable(true);
    title_.SetFont(kFontSmall);
    title_.SetAlignment(kAlignLeft | kAlignMiddle);
    title_.SetBackColor(kColorDark);
    close_.SetIcon(bmpCustomButton_CloseForm);
    close_.SetSkin(bmpButtonSkin_FlatInvisible);
    close_.OnClick.Set([this](GControl*) { Close(); });
    SetClientSize(300, 200);
}

GDialogForm::~GDialogForm() = default;

uint32_t GDialogForm::NativeStyle() const { return plat::ui::kStylePopup; }

void GDialogForm::SetCaption(const ustring_t& t) {
    SetTitle(t);
    title_.SetText(ustring_t(u" ") + t);
}

void GDialogForm::SetClientSize(int w, int h) {
    Resize(w + 2 * kMargin, h + kTitleHeight + 2 * kMargin);
    title_.SetBounds(2, 2, Width() - 4 - kTitleHeight, kTitleHeight - 2);
    close_.SetBounds(Width() - kTitleHeight - 1, 2, kTitleHeight - 2, kTitleHeight - 2);
}

GRect GDialogForm::ClientArea() const {
    return {kMargin, kTitleHeight + kMargin, Width() - 2 * kMargin, Height() - kTitleHeight - 2 * kMargin};
}

void GDialogForm::Execute(GControl* place_over) {
    if (place_over && !place_over->AsForm() && !place_over->Form()) place_over = nullptr;
    PlaceOver(place_over);
    if (place_over && !Owner()) SetOwner(place_over->Form());
    ShowModal();
}

void GDialogForm::HandleFormKey(const GKeyEvent& e) {
    if (e.key == kKeyEscape) {
        close_.PerformClick();
        return;
    }
    GTabKeyForm::HandleFormKey(e);
}

// ---- GMsgBox ----------------------------------------------------------------------

namespace {
constexpr int kButtonW = 110, kButtonH = 40, kButtonGap = 8;
}

GMsgBox::GMsgBox(const ustring_t& text, unsigned flags, const ustring_t& title) : text_(this) {
    SetCaption(title);
    text_.SetText(text);
    text_.SetWordWrap(true);
    text_.SetAlignment(kAlignCenter | kAlignMiddle);
    text_.SetFont(kFontSmall);
    static const struct {
        unsigned flag;
        const char16_t* caption;
    } kButtons[] = {{kMsgClose, u"Закрыть"}, {kMsgNo, u"Нет"}, {kMsgYes, u"Да"}, {kMsgContinue, u"Продолжить"}};
    for (const auto& b : kButtons) {
        if (!(flags & b.flag)) continue;
        auto bt = std::make_unique<GTextButton>(this);
        bt->SetCaption(b.caption);
        bt->SetFont(kFontSmall);
        unsigned f = b.flag;
        bt->OnClick.Set([this, f](GControl*) {
            result_ = int(f);
            Close();
        });
        AddTabControl(bt.get());
        buttons_.push_back(std::move(bt));
        flags_.push_back(b.flag);
    }
    // Width from the text (wrapped at 460 points at most) and the buttons.
    int n = int(buttons_.size());
    int buttons_w = n * kButtonW + std::max(0, n - 1) * kButtonGap;
    GPoint ts = text_.PreferredSize(nullptr, 460);
    int w = std::clamp(std::max(ts.x + 24, buttons_w), 260, 480);
    ts = text_.PreferredSize(nullptr, w);
    int text_h = std::max(ts.y + 16, 48);
    SetClientSize(w, text_h + kButtonGap + kButtonH);
    GRect ca = ClientArea();
    text_.SetBounds(ca.left, ca.top, ca.width, text_h);
    int x = ca.left + (ca.width - buttons_w) / 2;
    for (auto& bt : buttons_) {
        bt->SetBounds(x, ca.Bottom() - kButtonH, kButtonW, kButtonH);
        x += kButtonW + kButtonGap;
    }
    // The first button made is the one Enter presses at once: "Закрыть" or "Нет",
    // the harmless answer.
    if (!buttons_.empty()) SetTabIndex(0);
}

GMsgBox::~GMsgBox() = default;

GTextButton* GMsgBox::Button(unsigned flag) {
    for (size_t i = 0; i < flags_.size(); ++i)
        if (flags_[i] == flag) return buttons_[i].get();
    return nullptr;
}

int GMsgBox::Run(GControl* place_over) {
    result_ = 0;
    Execute(place_over);
    return result_;
}

int GMsgBox::Show(const ustring_t& text, unsigned flags, GControl* place_over, const ustring_t& title) {
    GMsgBox box(text, flags, title);
    return box.Run(place_over);
}

GRect PlaceCentredAt(GPoint c, int w, int h, const GRect& area) {
    int x = c.x - w / 2, y = c.y - h / 2;
    if (x + w > area.Right()) x = area.Right() - w;
    if (x < area.left) x = area.left;
    if (y + h > area.Bottom()) y = area.Bottom() - h;
    if (y < area.top) y = area.top;
    return {x, y, w, h};
}

bool AskYesNo(const ustring_t& text, GControl* place_over) {
    GMsgBox box(text, kMsgYes | kMsgNo, u"Вопрос");
    if (Options().allow_ask_user_permission_at_mouse && plat::ui::IsAcquired()) {
        int mx = 0, my = 0;
        plat::ui::MousePosition(&mx, &my);
        GRect area = GForm::PlacementArea(mx, my);
        box.SetRect(PlaceCentredAt({mx, my}, box.Width(), box.Height(), area));
        if (place_over && place_over->Form()) box.SetOwner(place_over->Form());
        box.ShowModal();
        return box.Result() == kMsgYes;
    }
    return box.Run(place_over) == kMsgYes;
}

}  // namespace UIK
