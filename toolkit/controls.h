// The basic controls: frames, panels, labels, buttons, check boxes, scroll
// bars, progress bars and image frames.
#pragma once

#include "toolkit/control.h"
#include "toolkit/resources.h"

namespace UIK {

// The container control. Draws its background colour, if one is set.
class GFrame : public GControl {
public:
    explicit GFrame(GControl* parent = nullptr) : GControl(parent) {}
};

// A frame drawn with a skin (nine-slice over the whole rectangle).
class GSkinnedFrame : public GFrame {
public:
    GSkinnedFrame(GControl* parent, int skin) : GFrame(parent), skin_(skin) {}
    int SkinIndex() const { return skin_; }
    void SetSkin(int skin) { skin_ = skin; Invalidate(); }
    void Paint(GCanvas& c) override;

private:
    int skin_;
};

class GPanel : public GSkinnedFrame {
public:
    explicit GPanel(GControl* parent = nullptr) : GSkinnedFrame(parent, bmpPanelSkin) {}
};

class GAntiPanel : public GSkinnedFrame {
public:
    explicit GAntiPanel(GControl* parent = nullptr) : GSkinnedFrame(parent, bmpAntipanelSkin) {}
};

// Text in a rectangle. Alignment bits: 1 left, 2 centre, 4 right; 8 top,
// 16 middle, 32 bottom (default 1 | 16).
class GLabel : public GControl {
public:
    explicit GLabel(GControl* parent = nullptr);
    ustring_t Text() const { return text_.Get(); }
    void SetText(const ustring_t& t) { text_.Set(t); }
    unsigned Alignment() const { return align_; }
    void SetAlignment(unsigned a);
    bool WordWrap() const { return wrap_; }
    void SetWordWrap(bool w);
    // Text colour while enabled (default white).
    GColor ForeColor() const { return fore_; }
    void SetForeColor(GColor c);
    // Size the label needs for a text (current text when null) at a width
    // (current width when <= 0; only used with word wrap), padding included.
    GPoint PreferredSize(const ustring_t* text = nullptr, int width = 0) const;
    void Paint(GCanvas& c) override;
    bool CaptionLayout(DrawnCaption* out) const override;

    GProperty_T<ustring_t>& TextProperty() { return text_; }
    Event OnTextChanged;

protected:
    static constexpr int kPadding = 2;

private:
    GProperty_T<ustring_t> text_;
    unsigned align_ = kAlignLeft | kAlignMiddle;
    bool wrap_ = false;
    GColor fore_ = kColorText;
};

// Base of the push buttons: pressed and hot states, deferred click, Space or
// Enter press it while it has the focus.
class GButtonBase : public GControl {
public:
    explicit GButtonBase(GControl* parent = nullptr) : GControl(parent) {}
    bool IsPressed() const { return pressed_; }
    bool IsHot() const { return hot_; }
    // Clicks as if the user had: the click event runs after the current message.
    void PerformClick();
    bool AcceptsFocus() const override { return true; }
    int SkinState() const;

    void HandleMouseDown(const GMouseEvent& e) override;
    void HandleMouseUp(const GMouseEvent& e) override;
    void HandleMouseMove(const GMouseEvent& e) override;
    void HandleMouseEnter() override;
    void HandleMouseLeave() override;
    void HandleKeyDown(const GKeyEvent& e) override;

private:
    bool pressed_ = false;
    bool hot_ = false;
};

class GTextButton : public GButtonBase {
public:
    explicit GTextButton(GControl* parent = nullptr);
    const ustring_t& Caption() const { return caption_; }
    void SetCaption(const ustring_t& c);
    int SkinIndex() const { return skin_; }
    void SetSkin(int s) { skin_ = s; Invalidate(); }
    GColor ForeColor() const { return fore_; }
    void SetForeColor(GColor c) { fore_ = c; Invalidate(); }
    void Paint(GCanvas& c) override;
    bool CaptionLayout(DrawnCaption* out) const override;
    // Room kept free between the caption and the button's left and right edges.
    static constexpr int kCaptionMargin = 6;

private:
    ustring_t caption_;
    int skin_ = bmpButtonSkin_Vulgar1;
    GColor fore_ = kColorText;
};

// A button showing a picture: an icon skin over a button skin, or any bitmap.
class GImgButton : public GButtonBase {
public:
    explicit GImgButton(GControl* parent = nullptr) : GButtonBase(parent) {}
    void SetSkin(int s) { skin_ = s; Invalidate(); }
    void SetIcon(int skin_index) { icon_ = skin_index; image_ = nullptr; Invalidate(); }
    void SetImage(GBitmap* bmp) { image_ = bmp; icon_ = -1; Invalidate(); }
    void Paint(GCanvas& c) override;

private:
    int skin_ = bmpButtonSkin_Flat1;
    int icon_ = -1;
    GBitmap* image_ = nullptr;
};

class GCheckBoxCaptioned : public GControl {
public:
    explicit GCheckBoxCaptioned(GControl* parent = nullptr);
    const ustring_t& Caption() const { return caption_; }
    void SetCaption(const ustring_t& c) { caption_ = c; Invalidate(); }
    bool IsChecked() const { return checked_.Get(); }
    // Raises OnChange when the state changes, from code as from the user.
    void SetChecked(bool c) { checked_.Set(c); }
    bool AcceptsFocus() const override { return true; }
    void HandleMouseUp(const GMouseEvent& e) override;
    void HandleKeyDown(const GKeyEvent& e) override;
    void Paint(GCanvas& c) override;
    bool CaptionLayout(DrawnCaption* out) const override;

    GProperty_T<bool>& CheckedProperty() { return checked_; }
    Event OnChange;

private:
    ustring_t caption_;
    GProperty_T<bool> checked_;
};

// A scroll bar; vertical when taller than wide. The position stays within
// minimum and maximum; every change of it, from code or from input, raises
// OnPositionChanged once.
class GScrollBar : public GControl {
public:
    explicit GScrollBar(GControl* parent = nullptr);
    int64_t Position() const { return pos_.Get(); }
    void SetPosition(int64_t p) { pos_.Set(p); }
    int64_t Minimum() const { return min_; }
    int64_t Maximum() const { return max_; }
    void SetMinimum(int64_t v);
    void SetMaximum(int64_t v);
    void SetRange(int64_t lo, int64_t hi);
    int64_t SmallStep() const { return small_; }
    int64_t LargeStep() const { return large_; }
    void SetSmallStep(int64_t s) { small_ = s > 0 ? s : 1; }
    void SetLargeStep(int64_t s) { large_ = s > 0 ? s : 1; }
    bool IsVertical() const { return Height() > Width(); }
    // Steps of the arrows (small) and of the track (large), with sign.
    void StepBy(int64_t delta) { SetPosition(Position() + delta); }

    bool AcceptsFocus() const override { return true; }
    void HandleMouseDown(const GMouseEvent& e) override;
    void HandleMouseUp(const GMouseEvent& e) override;
    void HandleMouseMove(const GMouseEvent& e) override;
    void HandleMouseWheel(const GMouseEvent& e) override;
    void HandleKeyDown(const GKeyEvent& e) override;
    void Paint(GCanvas& c) override;

    GProperty_T<int64_t>& PositionProperty() { return pos_; }
    Event OnPositionChanged;

    // Geometry (control coordinates): the two arrow buttons, the track
    // between them and the thumb in it.
    GRect ArrowRect(bool first) const;
    GRect TrackRect() const;
    GRect ThumbRect() const;

private:
    int64_t Clamp(int64_t v) const;
    int64_t PositionAt(int x, int y) const;
    GProperty_T<int64_t> pos_;
    int64_t min_ = 0, max_ = 100, small_ = 1, large_ = 10;
    int pressed_part_ = 0;  // 0 none, 1 first arrow, 2 second arrow, 3 track, 4 thumb
    int drag_offset_ = 0;
};

class GProgressBar : public GControl {
public:
    explicit GProgressBar(GControl* parent = nullptr);
    int64_t Position() const { return pos_; }
    void SetPosition(int64_t p);
    int64_t Minimum() const { return min_; }
    int64_t Maximum() const { return max_; }
    void SetRange(int64_t lo, int64_t hi);
    void Paint(GCanvas& c) override;

private:
    int64_t pos_ = 0, min_ = 0, max_ = 100;
};

// A picture, drawn at the top-left corner (or stretched to the rectangle).
// With the designer-mode option a named image frame draws a dashed marking.
class GImageFrame : public GControl {
public:
    explicit GImageFrame(GControl* parent = nullptr) : GControl(parent) {}
    // A picture built into the program, by resource name ("IMG_MAIN").
    bool SetImageName(const char* name);
    void SetImage(GBitmap* bmp) { image_ = bmp; Invalidate(); }
    GBitmap* Image() const { return image_; }
    void SetStretch(bool s) { stretch_ = s; Invalidate(); }
    // Unstretched pictures are drawn at the top, centred across the width
    // (true) or from the left edge (false, the default).
    void SetCentred(bool c) { centred_ = c; Invalidate(); }
    // Where the picture's left edge is drawn, in the frame's coordinates.
    int ImageLeft() const { return image_ && centred_ && !stretch_ ? (Width() - image_->Width()) / 2 : 0; }
    void Paint(GCanvas& c) override;
    void PaintOver(GCanvas& c) override;

private:
    GBitmap* image_ = nullptr;
    bool stretch_ = false;
    bool centred_ = false;
};

}  // namespace UIK
