// A one-line text field. Typed text arrives through the native text input,
// so any keyboard layout (Cyrillic included) works.
#pragma once

#include <string>

#include "toolkit/control.h"

namespace UIK {

class GEdit : public GControl {
public:
    explicit GEdit(GControl* parent = nullptr);
    const std::u16string& Text() const { return text_; }
    // Replaces the text (cut at the maximum length) and puts the caret at its
    // end; raises OnChange when the text changed.
    void SetText(std::u16string_view t);
    size_t MaxLength() const { return max_; }
    void SetMaxLength(size_t n);
    size_t Caret() const { return caret_; }
    void SetCaret(size_t pos);

    bool AcceptsFocus() const override { return true; }
    void HandleText(const std::u16string& t) override;
    // Backspace, Delete, Left, Right, Home, End edit and move; Enter raises
    // OnEnter; Ctrl+C copies the text, Ctrl+V pastes; other keys go to OnKeyDown.
    void HandleKeyDown(const GKeyEvent& e) override;
    void HandleMouseDown(const GMouseEvent& e) override;
    void Paint(GCanvas& c) override;

    Event OnChange;
    Event OnEnter;

private:
    void Changed();
    std::u16string text_;
    size_t caret_ = 0;
    size_t max_ = 1024;
    int scroll_ = 0;  // pixels of text hidden at the left
};

}  // namespace UIK
