#include "windows/sudo_window.h"

#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;

GSudo::GSudo(G_t& g, GControl* parent) : g_(g) {
    frame_.SetParent(parent);
    frame_.SetName(u"sudo_");
    frame_.SetBounds(0, 0, kWidth, parent ? parent->Height() : 62);
    const int h = frame_.Height();
    layout::Label(lb_ss_status_, frame_, u"lb_ss_status_", u"Режим наладки отключен", 0, 0, 180, h);
    lb_ss_status_.SetWordWrap(true);
    lb_ss_status_.SetBackColor(kColorLight);
    lb_ss_status_.SetFont(kFontSmall);
    layout::Button(bt_ss_toggle_, frame_, u"bt_ss_toggle_", u"Включить режим наладки", 184, 0, 124, h);
    bt_ss_toggle_.SetEnabled(false);
    bt_ss_toggle_.OnClick.Bind(this, &GSudo::OnToggle);
}

void GSudo::Refresh() {
    const bool on = g_.adjustment_mode_on();
    const bool off = g_.adjustment_mode_off();
    bt_ss_toggle_.SetCaption(on ? u"Отключить режим наладки" : u"Включить режим наладки");
    bt_ss_toggle_.SetEnabled(on || off);
    if (!g_.is_connected()) {
        lb_ss_status_.SetText(u"Нет соединения");
        return;
    }
    const param_snapshot_t owner = g_.params.adjustment_mode_owner.snapshot();
    if (owner.is_read()) lb_ss_status_.SetText(ustring_t(u"Режим наладки ") + codes::AdjustmentModeState(owner.u16()));
}

void GSudo::OnToggle(GControl*) {
    if (g_.adjustment_mode_off()) {
        EnableAdjustmentMode(g_);
    } else if (g_.adjustment_mode_on()) {
        // Leaving needs no report: the pending write goes out with the next
        // poll cycle and the owner register read after it shows the result.
        if (mb_link_t* l = g_.link.load()) l->queue_param(g_.params.command, codes::kCommandLeaveAdjustment);
    }
    Refresh();
}
