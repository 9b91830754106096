// A sub-window of the main window: a window-logic class and the form around it.
//
// A window-logic class W derives from SubWindow<W> and provides:
//   explicit W(G_t& g);              made once at start, on the window thread;
//                                    g is the application state (parameter
//                                    map, link, worker posts, status line and
//                                    message panel texts, hold-off table)
// and overrides (hides) only what it does of:
//   UIK::GFrame& Frame();            the window's frame, filling the form;
//                                    by default W itself (a frame)
//   UIK::GLabel& Title();            the form's caption; by default W's title_
//   std::vector<UIK::GControl*> InputControls();  appended to the Tab order;
//                                    none by default
//   void Tick();                     every 100 ms while the form is shown
//   void Shown(); void Hidden();     called in front of the form's own handlers
// The form calls them statically: a window's own member hides the default.
//
// Keep the G_t& (a window lives as long as the application state); do not
// reach for the global G_ or the main window: texts for the user go through
// g.status_text(), g.info_message(), g.error_message() and g.clear_message().
//
// The main window opens a sub-window through its row of the sub-window table
// (windows/sub_windows.cpp).
#pragma once

#include <vector>

#include "toolkit/uik.h"

class G_t;

template <class W>
class SubWindow {
public:
    UIK::GFrame& Frame() { return static_cast<W&>(*this); }
    UIK::GLabel& Title() { return static_cast<W&>(*this).title_; }
    std::vector<UIK::GControl*> InputControls() { return {}; }
    void Tick() {}
    void Shown() {}
    void Hidden() {}
};

template <class W>
class GForm_T : public UIK::GBaseForm {
public:
    explicit GForm_T(G_t& g) : window_(g) {
        UIK::GFrame& frame = window_.Frame();
        SetTitle(window_.Title().Text());
        SetBounds(0, 0, frame.Width(), frame.Height());
        frame.SetParent(this);
        frame.SetBounds(0, 0, frame.Width(), frame.Height());
        frame.SetAnchors(UIK::kAnchorAll);
        SetMinimumSize(Width(), Height());
        OnShow.ChainFront([this](UIK::GControl*) { window_.Shown(); });
        OnHide.ChainFront([this](UIK::GControl*) { window_.Hidden(); });
        for (UIK::GControl* c : window_.InputControls()) AddTabControl(c);
    }

    W& Window() { return window_; }
    void Tick() { window_.Tick(); }

private:
    W window_;
};
