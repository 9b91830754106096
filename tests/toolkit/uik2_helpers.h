// Helpers of the tests of lists, number entry and dialogs: input pushed into
// a modal form once it is on the screen.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>

#include "helpers.h"

namespace uik2_test {

inline UIK::GForm* TopForm() {
    auto v = UIK::GForm::ShownForms();
    return v.empty() ? nullptr : v.back();
}

// Runs fn with the top form once a form of type T is on top (inside its
// modal loop); gives up after many turns.
template <typename T>
void WhenShown(std::function<void(T&)> fn, int turns = 2000) {
    UIK::App::Defer([fn, turns] {
        if (T* f = dynamic_cast<T*>(TopForm())) fn(*f);
        else if (turns > 0) WhenShown<T>(fn, turns - 1);
    });
}

inline void PushClick(UIK::GForm& f, const UIK::GControl& c) {
    UIK::GPoint p = uik_test::Centre(c);
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseDown, p.x, p.y, 1);
    plat::ui::PushMouse(f.NativeWindowId(), plat::ui::EventType::MouseUp, p.x, p.y, 1);
}

inline void PushKeys(UIK::GForm& f, std::initializer_list<int> keys) {
    for (int k : keys) plat::ui::PushKey(f.NativeWindowId(), k, 0);
}

// A shown host form for controls under test.
struct Host {
    UIK::GTabKeyForm form;
    Host() {
        form.SetBounds(50, 50, 640, 480);
        form.Show();
        UIK::App::ProcessPending();
    }
};

}  // namespace uik2_test
