// The sub-window table: every window the main window opens, one row each.
// A row is the one place that gives a window's name for `luma10 --open`, its
// form, and the button of the main window that opens it: the button's name,
// caption and place in one of the two button columns, when it is enabled and
// whether Tab reaches it. The main window makes its buttons, its forms, its
// Tab order and its enable rules from the rows.
//
// A new window is its file pair (a class derived from SubWindow<W>, see
// windows/sub_window.h) and one row in sub_windows.cpp.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "windows/sub_window.h"

class GBaseStart;

struct SubWindowRow {
    // The button columns of the main window: the left one is pressed together
    // evenly when the window is too low for it; the right one keeps to the
    // window's right edge.
    enum Column { kLeft, kRight };
    // kWhenPresent: enabled only while a detector answers on an open port.
    enum Enable { kWhenPresent, kAlways };
    struct Place {
        Column column;
        int top, height;  // inside the detector picture
    };
    // A control of the main window.
    using Control = UIK::GControl& (*)(GBaseStart&);

    const char* name;            // for `luma10 --open`
    const char16_t* button_name;  // the button's control name
    const char16_t* caption;
    Place place;
    Enable enable = kWhenPresent;
    bool in_tab_order = true;
    // Other controls of the main window a left press on which opens it.
    Control presses[2] = {};

    // Set by the table from the form type.
    std::unique_ptr<UIK::GForm> (*make)(G_t&) = nullptr;
    void (*tick)(UIK::GForm&) = nullptr;
    const void* form_type = nullptr;
};

// The rows in the order the main window makes the forms and its timer
// updates them.
std::span<const SubWindowRow> SubWindowTable();

// A tag unique to a form type F: the row whose form_type is FormTypeOf<F>()
// makes an F, so its form may be cast to one.
template <class F>
inline constexpr char kFormTypeTag = 0;
template <class F>
constexpr const void* FormTypeOf() {
    return &kFormTypeTag<F>;
}
