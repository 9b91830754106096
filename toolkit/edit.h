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
    // Moves the caret and drops the selection.
    void SetCaret(size_t pos);
    // The selection runs from its anchor to the caret; typing, pasting,
    // Backspace and Delete replace it.
    bool HasSelection() const { return anchor_ != caret_; }
    void SelectAll();

    bool AcceptsFocus() const override { return true; }
    void HandleText(const std::u16string& t) override;
    // Backspace, Delete, Left, Right, Home, End edit and move (with Shift they
    // select); Enter raises OnEnter; Ctrl+A selects all, Ctrl+C copies the
    // selection (the whole text without one), Ctrl+V pastes; other keys go to
    // OnKeyDown.
    void HandleKeyDown(const GKeyEvent& e) override;
    void HandleMouseDown(const GMouseEvent& e) override;
    void Paint(GCanvas& c) override;

    Event OnChange;
    Event OnEnter;

private:
    void Changed();
    // Removes the selected text; false when nothing was selected.
    bool EraseSelection();
    void MoveCaret(size_t pos, bool select);
    std::u16string text_;
    size_t caret_ = 0;
    size_t anchor_ = 0;  // the selection's other end; equal to caret_ without one
    size_t max_ = 1024;
    int scroll_ = 0;  // pixels of text hidden at the left
};

}  // namespace UIK
