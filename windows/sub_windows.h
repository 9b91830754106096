// The sub-window forms the main window opens: a form around each window's
// own logic class.
//
// A window-logic class W used with GForm_T provides:
//   explicit W(G_t& g);              made once at start, on the window thread;
//                                    g is the application state (parameter
//                                    map, link, worker posts, status line and
//                                    message panel texts, hold-off table)
//   UIK::GFrame& Frame();            the window's frame, filling the form
//   UIK::GLabel& Title();            its title_ label; the form's caption
//   std::vector<UIK::GControl*> InputControls();  appended to the Tab order
//   void Tick();                     every 100 ms while the form is shown
//   void Shown(); void Hidden();     called in front of the form's own handlers
//
// Keep the G_t& (a window lives as long as the application state); do not
// reach for the global G_ or the main window: texts for the user go through
// g.status_text(), g.info_message(), g.error_message() and g.clear_message().
//
// Each window is one row of the sub-window table in start_window.cpp (its
// name for `luma10 --open`, its form type, the controls that open it); its
// logic class has a header of its own, included at the end of this one.
#pragma once

#include <vector>

#include "toolkit/uik.h"

class G_t;

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
        SetMinimumSize(Rect().width, Rect().height);
        OnShow.ChainFront([this](UIK::GControl*) { window_.Shown(); });
        OnHide.ChainFront([this](UIK::GControl*) { window_.Hidden(); });
        for (UIK::GControl* c : window_.InputControls()) AddTabControl(c);
    }

    W& Window() { return window_; }
    void Tick() { window_.Tick(); }

private:
    W window_;
};

#include "windows/alarms_window.h"
#include "windows/calibration_window.h"
#include "windows/dac_window.h"
#include "windows/date_window.h"
#include "windows/journals_window.h"
#include "windows/poll55_window.h"
#include "windows/select_gas_window.h"
#include "windows/tests_window.h"
#include "windows/thresholds_window.h"
#include "windows/uplevel_window.h"

using GPoll55 = GForm_T<GPoll55Window>;
