// The adjustment-mode strip of the main window: who holds the device's
// adjustment mode, and a button that asks for it or gives it back.
#pragma once

#include "toolkit/uik.h"

class G_t;

class GSudo {
public:
    static constexpr int kWidth = 308;

    // Builds the strip inside parent at its top-left corner.
    GSudo(G_t& g, UIK::GControl* parent);

    // Window thread, from the main window's timer.
    void Refresh();

    UIK::GFrame& Frame() { return frame_; }
    UIK::GLabel& Status() { return lb_ss_status_; }
    UIK::GTextButton& Toggle() { return bt_ss_toggle_; }

private:
    void OnToggle(UIK::GControl*);

    G_t& g_;
    UIK::GFrame frame_;
    UIK::GLabel lb_ss_status_;
    UIK::GTextButton bt_ss_toggle_;
};
