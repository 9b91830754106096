// The sub-window forms the main window opens, and the windows whose own logic
// comes later: each of those holds an empty frame with its title for now.
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
// name for `luma10 --open`, its form type, the controls that open it). To
// build a window, replace its placeholder line below by an #include of its
// own header declaring a class of the same name; its row stays as it is.
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
        initial_ = Rect();
        SetMinimumSize(initial_.width, initial_.height);
        OnShow.ChainFront([this](UIK::GControl*) { window_.Shown(); });
        OnHide.ChainFront([this](UIK::GControl*) { window_.Hidden(); });
        for (UIK::GControl* c : window_.InputControls()) AddTabControl(c);
    }

    W& Window() { return window_; }
    void Tick() { window_.Tick(); }
    // The first bounds: re-opening restores this size.
    const UIK::GRect& InitialBounds() const { return initial_; }

private:
    W window_;
    UIK::GRect initial_;
};

// A window whose controls come later: its frame and title only.
class GPlaceholderWindow {
public:
    GPlaceholderWindow(const char16_t* title, int width, int height);
    UIK::GFrame& Frame() { return frame_; }
    UIK::GLabel& Title() { return title_; }
    std::vector<UIK::GControl*> InputControls() { return {}; }
    void Tick() {}
    void Shown() {}
    void Hidden() {}

private:
    UIK::GPanel frame_;
    UIK::GLabel title_;
};

#define LUMA_PLACEHOLDER_WINDOW(Name, title, w, h)            \
    class Name : public GPlaceholderWindow {                  \
    public:                                                   \
        explicit Name(G_t&) : GPlaceholderWindow(title, w, h) {} \
    };

#include "windows/dac_window.h"
#include "windows/calibration_window.h"
LUMA_PLACEHOLDER_WINDOW(GUplevelConnection, u"Настройка RS485, WiFi и HART", 600, 440)
LUMA_PLACEHOLDER_WINDOW(GDate, u"Дата / Время", 552, 320)
LUMA_PLACEHOLDER_WINDOW(GJournals, u"Журналы", 800, 600)
#include "windows/tests_window.h"
LUMA_PLACEHOLDER_WINDOW(GThresholds, u"Пороги", 568, 360)
LUMA_PLACEHOLDER_WINDOW(GAlarms, u"Текущие аварии и предупреждения", 640, 440)
LUMA_PLACEHOLDER_WINDOW(GSelectGas, u"Выбор газа для пропанового оптического датчика", 568, 440)
LUMA_PLACEHOLDER_WINDOW(GPoll55Window, u"Концентрации 55", 600, 440)

#undef LUMA_PLACEHOLDER_WINDOW

using GPoll55 = GForm_T<GPoll55Window>;
