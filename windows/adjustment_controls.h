// Controls the setting windows share for the device's modes.
//
// GAdjustmentButton: «Включить режим наладки», shown while the device is seen
// out of adjustment mode; a click asks for the mode, then refreshes its window.
//
// DeviceModeSwitch: a device mode a window switches with a button (DAC
// calibration, the current test, the outputs test). The mode counts as on or
// off only from its register's reading while connected; while it is not
// known neither holds, the button is disabled and a click does nothing, so a
// click never switches a mode the window has not seen.
//
// Window thread only; the mode commands go through the procedures.
#pragma once

#include <functional>

#include "toolkit/uik.h"

class G_t;
class mb_param_t;

class GAdjustmentButton : public UIK::GTextButton {
public:
    // Under the name bt_ss_enable_ at (left, top) of parent, 124 wide, its
    // caption in the small font.
    void Place(UIK::GControl& parent, int left, int top, int height = 62);
    void Connect(G_t& g, std::function<void()> refresh);
    void Refresh(const G_t& g);
};

class DeviceModeSwitch {
public:
    using Procedure = void (*)(G_t&, bool on);

    DeviceModeSwitch(G_t& g, const mb_param_t& mode, Procedure procedure)
        : g_(g), mode_(mode), procedure_(procedure) {}

    bool On() const { return Seen(true); }
    bool Off() const { return Seen(false); }
    // Switches the mode to the opposite of what was seen.
    void Toggle() const;
    // The button: enabled while adjustment mode is on and this mode is
    // known, its caption what a click would do.
    void Show(UIK::GTextButton& button, bool adjustment_on, const char16_t* to_switch_on,
              const char16_t* to_switch_off) const;

private:
    bool Seen(bool on) const;

    G_t& g_;
    const mb_param_t& mode_;
    Procedure procedure_;
};
