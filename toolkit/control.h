// The control model: GControl, the base of every control and form.
//
// A control has a parent (a frame or a form), children, properties and events.
// Properties, in order: name, parent, visible, enabled, rectangle (inside the
// parent), anchors, font (index into the font table), background colour.
// Setting a property from code raises the same events as a change by the user.
// Controls live on the window thread only.
#pragma once

#include <memory>
#include <vector>

#include "foundation/ustring.h"
#include "toolkit/canvas.h"
#include "toolkit/types.h"

namespace UIK {

class GForm;

// Anchor bits: the edges of the parent a control keeps its distance to when
// the parent is resized. Left and right together stretch the width, top and
// bottom together the height; right alone (bottom alone) moves the control.
enum GAnchor : unsigned {
    kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8,
    kAnchorDefault = kAnchorLeft | kAnchorTop,
    kAnchorAll = 15,
};

struct GMouseEvent {
    int x = 0, y = 0;  // relative to the control
    int button = 0;    // 1 left, 2 middle, 3 right
    int clicks = 1;    // 2 on a double click
    int wheel = 0;     // notches, positive away from the user
    unsigned mods = 0;
};

// Keys: the plat::ui::Key codes (kKeyTab, kKeyEscape, ...) or the lower-case
// ASCII code of a letter or digit.
struct GKeyEvent {
    int key = 0;
    unsigned mods = 0;  // kModShift 1, kModCtrl 2, kModAlt 4
};
enum GKeyMod : unsigned { kModShift = 1, kModCtrl = 2, kModAlt = 4 };
enum GKey : int {
    kKeyBackspace = 8, kKeyTab = 9, kKeyEnter = 13, kKeyEscape = 27, kKeySpace = 32, kKeyDelete = 127,
    kKeyLeft = 0x1000, kKeyRight, kKeyUp, kKeyDown, kKeyHome, kKeyEnd, kKeyPageUp, kKeyPageDown, kKeyInsert,
    kKeyF1 = 0x1100,
};

class GControl {
public:
    using Event = GDelegate_T<GControl*>;
    using MouseEvent = GDelegate_T<GControl*, const GMouseEvent&>;
    using KeyEvent = GDelegate_T<GControl*, const GKeyEvent&>;

    explicit GControl(GControl* parent = nullptr);
    virtual ~GControl();
    GControl(const GControl&) = delete;
    GControl& operator=(const GControl&) = delete;

    // ---- properties ----
    ustring_t Name() const;
    void SetName(const ustring_t& name);
    GControl* Parent() const;
    // Moves the control to another parent (null detaches it). The parent does
    // not own its children: whoever made a control deletes it; a control
    // deleted before its children detaches them.
    void SetParent(GControl* parent);
    bool IsVisible() const;
    void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool IsEnabled() const;
    void SetEnabled(bool e);
    GRect Rect() const;
    void SetRect(const GRect& r);
    void SetBounds(int left, int top, int width, int height) { SetRect({left, top, width, height}); }
    void Move(int left, int top);
    void Resize(int width, int height);
    int Left() const { return Rect().left; }
    int Top() const { return Rect().top; }
    int Width() const { return Rect().width; }
    int Height() const { return Rect().height; }
    int Right() const { return Rect().Right(); }
    int Bottom() const { return Rect().Bottom(); }
    unsigned Anchors() const;
    void SetAnchors(unsigned anchors);
    int FontIndex() const;
    void SetFont(GFontRole role);
    GFont* Font() const;  // the font of FontIndex, or font 0
    GColor BackColor() const;  // kNoColor: the control is transparent
    void SetBackColor(GColor c);

    // The properties themselves, for owners that attach getters and setters.
    GProperty_T<ustring_t>& NameProperty();
    GProperty_T<bool>& VisibleProperty();
    GProperty_T<bool>& EnabledProperty();
    GProperty_T<GRect>& RectProperty();
    GProperty_T<GColor>& BackColorProperty();

    // ---- state through the parents ----
    // Enabled only if the control and all its parents are enabled.
    bool IsEnabledThroughParents() const;
    // Visible, and every parent up to the form visible.
    bool IsShownThroughParents() const;
    // Visible and enabled through all parents: may take the focus and input.
    bool IsUsable() const { return IsShownThroughParents() && IsEnabledThroughParents(); }

    const std::vector<GControl*>& Children() const;
    GControl* FindChild(const ustring_t& name, bool deep = true) const;
    // The form that holds the control (itself for a form), or null.
    GForm* Form() const;
    virtual GForm* AsForm() { return nullptr; }
    // Rectangle in the coordinates of its form, and on the screen.
    GRect FormRect() const;
    GRect ScreenRect() const;
    // The deepest visible child (or the control itself) under a point given
    // relative to this control.
    GControl* HitTest(int x, int y);

    // ---- painting ----
    // Marks the control's area (or a part of it, relative) for repainting.
    void Invalidate();
    void Invalidate(const GRect& part);
    // Draws the control itself (not its children) with the canvas origin at
    // its top-left corner. The default fills the background colour, if any.
    virtual void Paint(GCanvas& c);
    // The text a control draws as its caption, the rectangle it is drawn in
    // (control coordinates) and whether it wraps between words; the controls
    // paint from it, and tests check with it that every caption fits.
    struct DrawnCaption {
        std::u16string text;
        GRect area;
        bool wrap = false;
    };
    // False for a control that draws no caption.
    virtual bool CaptionLayout(DrawnCaption* out) const { return false; }
    // Drawn after the children (borders over the content, focus marks).
    virtual void PaintOver(GCanvas& c) {}
    // Colour for text: white, or the disabled colour when not enabled through
    // the parents.
    GColor TextColor() const;

    // ---- input (window thread; called by the form) ----
    virtual void HandleMouseDown(const GMouseEvent& e);
    virtual void HandleMouseUp(const GMouseEvent& e);
    virtual void HandleMouseMove(const GMouseEvent& e) {}
    virtual void HandleMouseWheel(const GMouseEvent& e);
    virtual void HandleMouseEnter() {}
    virtual void HandleMouseLeave() {}
    virtual void HandleKeyDown(const GKeyEvent& e);
    virtual void HandleText(const std::u16string& text) {}
    // True when the control wants the focus frame and keys (buttons, inputs).
    virtual bool AcceptsFocus() const { return false; }
    bool HasFocus() const;

    // ---- events ----
    Event OnShow;          // became visible
    Event OnHide;          // became hidden
    Event OnResize;        // rectangle size changed
    Event OnMove;          // rectangle position changed
    Event OnClick;         // left button released over the control it was pressed on (deferred)
    Event OnDoubleClick;
    MouseEvent OnMouseDown;
    MouseEvent OnMouseUp;
    MouseEvent OnMouseWheel;
    KeyEvent OnKeyDown;

    // ---- misc ----
    // Runs fn(arg) on the window thread after the message being handled, from
    // any thread, and never on the calling one: the control tree is not
    // walked here. The caller keeps control alive during the call; if the
    // control is deleted before the window thread gets to the call, or arg
    // is null, fn is not called. False when nothing was queued.
    static bool _Synchronize(GControl* control, void (*fn)(void*), void* arg);
    // Expires when the control is deleted. The token may be copied on any
    // thread; it is checked on the window thread.
    std::weak_ptr<bool> LifeToken() const;
    // Puts text on the clipboard; reads it back (empty when none).
    static bool CopyToClipboard(const ustring_t& text);
    static ustring_t ClipboardText();

    // Lays out the children after a size change according to their anchors.
    virtual void Layout(const GRect& old_rect);

protected:
    // Called when the visible (enabled) state changed: invalidates, raises
    // the show or hide event. Overridden by forms (native windows).
    virtual void VisibilityChanged(bool visible);
    virtual void EnabledChanged(bool enabled);
    virtual void RectChanged(const GRect& old_rect);
    // Raises the click event after the current input message has been
    // handled completely.
    void PostClick();

public:
    struct Private_t;

private:
    friend class GForm;
    std::unique_ptr<Private_t> d_;
};

}  // namespace UIK
