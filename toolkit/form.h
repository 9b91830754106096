// Forms: top-level controls with one native window while they are shown.
#pragma once

#include <vector>

#include "toolkit/control.h"

namespace UIK {

class GForm : public GControl {
public:
    GForm();
    ~GForm() override;
    GForm* AsForm() override { return this; }

    const ustring_t& Title() const;
    void SetTitle(const ustring_t& title);
    GForm* Owner() const;
    // The owner becomes the native parent while shown and lists the form among
    // its child forms.
    void SetOwner(GForm* owner);
    const std::vector<GForm*>& ChildForms() const;
    bool IsModal() const;
    void SetModal(bool modal);
    void SetMinimumSize(int w, int h);
    // The form's rectangle is in screen coordinates. SetVisible(true) shows
    // it (for a modal form this returns only after the form is closed);
    // SetVisible(false) closes it.
    void Close() { SetVisible(false); }
    // Shows the form modally regardless of its modal flag.
    void ShowModal();

    // Input of the native window. A modal form disables the other forms.
    bool IsWindowEnabled() const;
    void EnableWindow(bool on);
    bool HasNativeWindow() const;
    uint32_t NativeWindowId() const;  // 0 when none
    // Window style bits used for the native window (plat::ui::WindowStyle):
    // by the toolkit options; forms that draw their own title line and
    // drop-down forms override it.
    virtual uint32_t NativeStyle() const;

    // Placement rectangle of the monitor holding the point (work area, or
    // the whole monitor when forms are full-screen by option).
    static GRect PlacementArea(int x, int y);
    // Centres the form on the control's screen rectangle (on the placement
    // area when control is null) and keeps it inside the placement area.
    void PlaceOver(GControl* control);
    void CenterOnScreen() { PlaceOver(nullptr); }
    void FlashTitle();
    void BringToFront();
    // The mouse pointer on the screen.
    static GPoint CursorPos();
    // Moves the mouse pointer to a point of the form (client coordinates).
    void WarpMouse(int x, int y);
    // A press on the form's background drags the form.
    void SetDraggable(bool on);
    // Picture of the native window's icon (kept by the caller), applied now
    // and each time the form is shown.
    void SetIcon(GBitmap* icon);

    // ---- focus ----
    GControl* FocusedControl() const;
    virtual void SetFocus(GControl* control);

    // ---- painting ----
    // Repaints what changed and copies it to the native window.
    void Render();
    // Paints the whole form into a new bitmap (no native window needed).
    std::unique_ptr<GBitmap> RenderToBitmap();
    bool RenderToPng(const char* path);
    // Area waiting to be repainted (form coordinates); for tests and benchmarks.
    std::vector<GRect> DirtyRects() const;
    void InvalidateRect(const GRect& form_rect);

    // ---- input from the native layer ----
    virtual void HandleFormKey(const GKeyEvent& e);
    void DispatchMouse(int type, const GMouseEvent& e);
    void DispatchText(const std::u16string& text);
    // Closing from the native window's close box: hides the form.
    virtual void HandleCloseRequest() { Close(); }

    void Paint(GCanvas& c) override;
    void PaintOver(GCanvas& c) override;

    GDelegate_T<GForm*> OnClose;       // after the form was closed
    GDelegate_T<GForm*> OnActivate;    // the native window got the keyboard focus
    GDelegate_T<GForm*> OnDeactivate;  // ... and lost it (drop-down lists close on it)

    // A control of the form is being deleted: forget focus, capture and
    // hover references to it (called by GControl's destructor).
    virtual void ForgetControl(GControl* c);

    // The form of a native window id, or null.
    static GForm* FromWindowId(uint32_t id);
    // Every shown form, in showing order.
    static std::vector<GForm*> ShownForms();

protected:
    void VisibilityChanged(bool visible) override;
    void RectChanged(const GRect& old_rect) override;

public:
    struct Private_t;

private:
    std::unique_ptr<Private_t> f_;
    void CreateNative();
    void DestroyNative();
    void RunModal();

public:
    // The native layer says where the window now is (its client area).
    void NativeMoved(int x, int y);
};

// A form with a keyboard focus order. Tab (without Ctrl) moves to the next
// usable control of the list, Shift+Tab to the previous, wrapping around;
// other keys (and keys with Ctrl) go to the current control if it is usable.
// The current control is marked by a green frame 2 points outside its bounds.
class GTabKeyForm : public GForm {
public:
    void AddTabControl(GControl* c);
    void ClearTabOrder();
    const std::vector<GControl*>& TabOrder() const { return tab_; }
    int TabIndex() const { return index_; }
    void SetTabIndex(int i);
    GControl* CurrentControl() const;
    void HandleFormKey(const GKeyEvent& e) override;
    void ForgetControl(GControl* c) override;
    // Focusing a control of the list (by a click) makes it the current one.
    void SetFocus(GControl* c) override;

    // Extra key handler of the form, for keys the current control did not take.
    GDelegate_T<GForm*, const GKeyEvent&> OnFormKey;

protected:
    // Moves by step (+1 or -1) to the next usable control; stays when none.
    void MoveFocus(int step);

private:
    std::vector<GControl*> tab_;
    int index_ = 0;
};

// A sub-window form: Escape hides it; other keys go on as in GTabKeyForm.
class GBaseForm : public GTabKeyForm {
public:
    void HandleFormKey(const GKeyEvent& e) override;
};

}  // namespace UIK
