#include "windows/thresholds_window.h"

#include <atomic>
#include <memory>

#include "model/app_state.h"
#include "model/mb_link.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr int kRowPitch = 42;

// Reads the four thresholds once per poll cycle of the link while the device
// is connected and no address range is being polled. Read errors are left to
// the poll cycle: the parameters keep their last values.
ITask* MakeThresholdReader(G_t& g) {
    // The cycle last served, kept beside the task.
    auto served = std::make_shared<std::atomic<uint64_t>>(0);
    G_t* gp = &g;
    return make_task([gp, served] {
        mb_link_t* l = gp->link.load();
        if (!l || gp->poll_mode.load() || !gp->is_connected()) return;
        const uint64_t cycle = l->completed_cycles();
        if (served->exchange(cycle) == cycle) return;
        ParamMap_t& p = gp->params;
        for (mb_param_t* t : {&p.Threshold_Warn, &p.Threshold_Alarm, &p.Threshold_BDSafe, &p.Threshold_Delta})
            (void)l->read_param(*t);
    });
}

}  // namespace

GBaseThresholds::GBaseThresholds() {
    SetName(u"GThresholds");
    SetBounds(0, 0, kWidth, kHeight);
    layout::Label(title_, *this, u"title_", u"Пороги", 160, 24, 248, 32);
    Place(table_, *this, u"table_", 8, 72, 552, 208);
    struct Row {
        GLabel* label;
        const char16_t* label_name;
        const char16_t* caption;
        GInputInt64Label* input;
        const char16_t* input_name;
    } rows[] = {
        {&GLabel2, u"GLabel2", u"Порог 1", &Threshold_Warn_, u"Threshold_Warn_"},
        {&GLabel4, u"GLabel4", u"Порог 2", &Threshold_Alarm_, u"Threshold_Alarm_"},
        {&GLabel5, u"GLabel5", u"Порог сохранения датчика", &Threshold_BDSafe_, u"Threshold_BDSafe_"},
        {&GLabel6, u"GLabel6", u"Гистерезис", &Threshold_Delta_, u"Threshold_Delta_"},
    };
    for (int i = 0; i < 4; ++i) {
        const Row& r = rows[i];
        const GColor back = i % 2 == 0 ? kColorLight : kColorMid;
        r.label->SetParent(&table_);
        r.label->SetName(r.label_name);
        r.label->SetText(r.caption);
        r.label->SetBounds(0, i * kRowPitch, 400, 40);
        r.label->SetAlignment(kAlignCenter | kAlignMiddle);
        r.label->SetBackColor(back);
        r.input->SetParent(&table_);
        r.input->SetName(r.input_name);
        r.input->SetBounds(402, i * kRowPitch, 150, 40);
        r.input->SetPrompt(r.caption);
        // The keypad takes whole numbers 0..100 only: a fraction or a value
        // past the range is refused with this range, never cut to fit.
        r.input->SetRange(GThresholds::kMin, GThresholds::kMax);
        r.input->SetBackColor(back);
    }
    bt_ss_enable_.Place(*this, 4, 2);
}

GThresholds::GThresholds(G_t& g) : g_(g) {
    reader_ = g_.add_periodic_task(MakeThresholdReader(g_));
    for (GInputInt64Label* in : {&Threshold_Warn_, &Threshold_Alarm_, &Threshold_BDSafe_, &Threshold_Delta_}) {
        in->OnValueEntered.Bind(this, &GThresholds::OnFilter);
        in->OnValueAccepted.Bind(this, &GThresholds::OnAccepted);
    }
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
    Refresh();
}

GThresholds::~GThresholds() {
    if (reader_) g_.remove_periodic_task(reader_);
}

std::vector<GControl*> GThresholds::InputControls() {
    return {&Threshold_Warn_, &Threshold_Alarm_, &Threshold_BDSafe_, &Threshold_Delta_};
}

const mb_param_t* GThresholds::ParamOf(const GControl* c) const {
    ParamMap_t& p = g_.params;
    if (c == &Threshold_Warn_) return &p.Threshold_Warn;
    if (c == &Threshold_Alarm_) return &p.Threshold_Alarm;
    if (c == &Threshold_BDSafe_) return &p.Threshold_BDSafe;
    if (c == &Threshold_Delta_) return &p.Threshold_Delta;
    return nullptr;
}

void GThresholds::OnFilter(GControl*, int64_t& v) {
    if (updating_ > 0) return;
    if (v < kMin) v = kMin;
    if (v > kMax) v = kMax;
}

void GThresholds::OnAccepted(GControl* c, int64_t v) {
    if (updating_ > 0) return;
    if (const mb_param_t* p = ParamOf(c)) SetParamAndSave(g_, *p, uint16_t(v));
}

void GThresholds::Refresh() {
    const bool connected = g_.is_connected();
    const bool on = g_.adjustment_mode_on();
    if (connected) {
        ++updating_;
        for (GInputInt64Label* in : {&Threshold_Warn_, &Threshold_Alarm_, &Threshold_BDSafe_, &Threshold_Delta_}) {
            const param_snapshot_t s = ParamOf(in)->snapshot();
            if (s.is_read()) in->SetValue(int64_t(s.u16()));
        }
        --updating_;
    }
    table_.SetEnabled(connected && on);
    bt_ss_enable_.Refresh(g_);
}
