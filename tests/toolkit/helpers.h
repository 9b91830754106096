// Shared helpers of the toolkit tests: synthesised input to a shown form.
#pragma once

#include "platform/native_ui.h"
#include "toolkit/uik.h"

namespace uik_test {

// Left click at a point of the form (client coordinates), handled at once.
inline void Click(UIK::GForm& f, int x, int y) {
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseDown, x, y, 1);
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseUp, x, y, 1);
    UIK::App::ProcessPending();
}

inline void Key(UIK::GForm& f, int key, unsigned mods = 0) {
    plat::ui::PushKey(f.NativeWindowId(), key, mods);
    UIK::App::ProcessPending();
}

// Centre of a control in its form's coordinates.
inline UIK::GPoint Centre(const UIK::GControl& c) {
    UIK::GRect r = c.FormRect();
    return {r.left + r.width / 2, r.top + r.height / 2};
}

}  // namespace uik_test
