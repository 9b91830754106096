#include "windows/adjustment_controls.h"

#include <utility>

#include "model/app_state.h"
#include "model/codes.h"
#include "model/params.h"
#include "procedures/device_procedures.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;

void GAdjustmentButton::Place(GControl& parent, int left, int top, int height) {
    layout::Button(*this, parent, u"bt_ss_enable_", u"Включить режим наладки", left, top, 124, height);
}

void GAdjustmentButton::Connect(G_t& g, std::function<void()> refresh) {
    OnClick.Set([&g, refresh = std::move(refresh)](GControl*) {
        EnableAdjustmentMode(g);
        refresh();
    });
}

void GAdjustmentButton::Refresh(const G_t& g) { SetVisible(g.adjustment_mode_off()); }

bool DeviceModeSwitch::Seen(bool on) const {
    const param_snapshot_t s = mode_.snapshot();
    return g_.is_connected() && s.is_read() && (s.u16() != codes::kModeOff) == on;
}

void DeviceModeSwitch::Toggle() const {
    if (On()) procedure_(g_, false);
    else if (Off()) procedure_(g_, true);
}

void DeviceModeSwitch::Show(GTextButton& button, bool adjustment_on, const char16_t* to_switch_on,
                            const char16_t* to_switch_off) const {
    const bool on = On();
    button.SetEnabled(adjustment_on && (on || Off()));
    button.SetCaption(on ? to_switch_off : to_switch_on);
}
