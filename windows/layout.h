// Small helpers the windows' layout constructors share: each puts a control
// at its design-time place (left, top, width, height inside its parent) under
// its name, and sets what that kind of control needs besides.
#pragma once

#include "toolkit/uik.h"

namespace layout {

// Leave the control's anchors as they are.
inline constexpr unsigned kKeepAnchors = ~0u;

inline void Place(UIK::GControl& c, UIK::GControl& parent, const char16_t* name, int l, int t, int w, int h,
                  unsigned anchors = kKeepAnchors) {
    c.SetParent(&parent);
    c.SetName(name);
    c.SetBounds(l, t, w, h);
    if (anchors != kKeepAnchors) c.SetAnchors(anchors);
}

// A label with its text, centred unless told otherwise.
inline void Label(UIK::GLabel& c, UIK::GControl& parent, const char16_t* name, const char16_t* text, int l, int t,
                  int w, int h, unsigned align = UIK::kAlignCenter | UIK::kAlignMiddle) {
    Place(c, parent, name, l, t, w, h);
    c.SetText(text);
    c.SetAlignment(align);
}

// A text button in the small font.
inline void Button(UIK::GTextButton& b, UIK::GControl& parent, const char16_t* name, const char16_t* caption, int l,
                   int t, int w, int h) {
    Place(b, parent, name, l, t, w, h);
    b.SetCaption(caption);
    b.SetFont(UIK::kFontSmall);
}

// A picture built into the program, by its resource name.
inline void Image(UIK::GImageFrame& img, UIK::GControl& parent, const char16_t* name, const char* resource, int l,
                  int t, int w, int h) {
    Place(img, parent, name, l, t, w, h);
    img.SetImageName(resource);
}

// A row of a caption and a value in the small font on two shades of the
// panel colour: the caption at the left, the value at the right edge.
inline void Row(UIK::GFrame& f, UIK::GControl& parent, const char16_t* name, int l, int t, int w, int h,
                UIK::GLabel& caption, const char16_t* caption_name, const char16_t* caption_text, int caption_w,
                UIK::GLabel& value, const char16_t* value_name, const char16_t* value_text, int value_w) {
    Place(f, parent, name, l, t, w, h);
    Label(caption, f, caption_name, caption_text, 0, 0, caption_w, h);
    caption.SetBackColor(UIK::kColorMid);
    caption.SetFont(UIK::kFontSmall);
    Label(value, f, value_name, value_text, w - value_w, 0, value_w, h);
    value.SetBackColor(UIK::kColorLight);
    value.SetFont(UIK::kFontSmall);
}

}  // namespace layout
