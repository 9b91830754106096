// The standard dialogs: the base of the toolkit's own dialog forms, the
// message box and the yes/no question.
#pragma once

#include "toolkit/controls.h"
#include "toolkit/form.h"

namespace UIK {

// A dialog form drawn by the toolkit: a title line with the close button
// (skin bmpCustomButton_CloseForm) at its right, a client area below it, and
// dragging by the background. Escape presses the close button.
class GDialogForm : public GTabKeyForm {
public:
    GDialogForm();
    ~GDialogForm() override;
    // Title of the native window and of the drawn title line.
    void SetCaption(const ustring_t& t);
    GImgButton& CloseButton() { return close_; }
    // Sizes the form so that its client area (below the title line) has this size.
    void SetClientSize(int w, int h);
    GRect ClientArea() const;
    // Shows the form modally over owner (over a control, or centred on the
    // screen when null) and returns when it has been closed.
    void Execute(GControl* place_over);
    void HandleFormKey(const GKeyEvent& e) override;
    void HandleCloseRequest() override { close_.PerformClick(); }
    // The title line is drawn here: the native window has no frame of its own.
    uint32_t NativeStyle() const override;

    static constexpr int kTitleHeight = 30;
    static constexpr int kMargin = 8;

protected:
    GLabel title_;
    GImgButton close_;
};

// Flags of the message box buttons; the result of a message box is the flag
// of the button pressed, 0 when it was closed otherwise (close box, Escape
// without a "Закрыть" button).
enum GMsgBoxFlag : unsigned { kMsgYes = 1, kMsgNo = 2, kMsgClose = 4, kMsgContinue = 8 };

class GMsgBox : public GDialogForm {
public:
    // Buttons are made in the order 4 "Закрыть", 2 "Нет", 1 "Да", 8 "Продолжить".
    GMsgBox(const ustring_t& text, unsigned flags, const ustring_t& title = u"Сообщение");
    ~GMsgBox() override;
    // Shows the box modally (over place_over, or centred on the screen) and
    // returns the flag pressed.
    int Run(GControl* place_over = nullptr);
    int Result() const { return result_; }
    // The button of a flag, or null.
    GTextButton* Button(unsigned flag);
    ustring_t Text() const { return text_.Text(); }

    static int Show(const ustring_t& text, unsigned flags, GControl* place_over = nullptr,
                    const ustring_t& title = u"Сообщение");

private:
    GLabel text_;
    std::vector<std::unique_ptr<GTextButton>> buttons_;
    std::vector<unsigned> flags_;
    int result_ = 0;
};

// Asks a question with "Да" and "Нет"; true exactly when "Да" was pressed.
// With the option "uik.allow_ask_user_permission_at_mouse" the box is
// centred on the mouse pointer and kept inside the screen; otherwise it is
// placed over place_over (centred on the screen when null).
bool AskYesNo(const ustring_t& text, GControl* place_over = nullptr);

// Where a form of the given size goes when centred on a point and kept
// inside an area (the area's left/top edge wins when the form is larger).
GRect PlaceCentredAt(GPoint centre, int width, int height, const GRect& area);

}  // namespace UIK
