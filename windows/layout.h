// Small helpers the windows' layout constructors share.
#pragma once

#include "toolkit/uik.h"

namespace layout {

// The small font (Tahoma 12) of the windows' buttons and captions.
inline constexpr int kSmallFont = 2;

// A text button at its design-time place, in the small font.
inline void Button(UIK::GTextButton& b, UIK::GControl& parent, const char16_t* name, const char16_t* caption, int l,
                   int t, int w, int h) {
    b.SetParent(&parent);
    b.SetName(name);
    b.SetCaption(caption);
    b.SetBounds(l, t, w, h);
    b.SetFont(kSmallFont);
}

}  // namespace layout
