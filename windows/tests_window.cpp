#include "windows/tests_window.h"

#include "model/app_state.h"
#include "model/codes.h"
#include "model/mb_link.h"
#include "procedures/device_procedures.h"
#include "procedures/write_procedures.h"
#include "windows/layout.h"

using namespace UIK;
using layout::Place;

namespace {

constexpr int64_t kCurrentLargeStep = 4;

}  // namespace

GBaseTests::GBaseTests()
    : code_(GCodeBar::Keys::kAsTheBar,
            {.reported = u"Текущий ток ЦАП",
             .wanted = u"Заданный ток ЦАП (0..24 мА)",
             .out_of_range = u"Ток должен быть от 0 до 24 мА",
             .caption_align = kAlignLeft | kAlignMiddle},
            codes::kTestCurrentMin, codes::kTestCurrentMax) {
    SetName(u"GTests");
    Resize(kWidth, kHeight);

    layout::Label(title_, *this, u"title_", u"Тесты", 0, 3, 600, 24);

    Place(GPanel1, *this, u"GPanel1", 0, 48, 600, 244);
    layout::Label(GLabel1, GPanel1, u"GLabel1", u"Тест ЦАП", 207, 8, 184, 20);
    bt_ss_enable_.Place(GPanel1, 5, 4);
    layout::Button(bt_toggle_, GPanel1, u"bt_toggle_", u"Включить управление током", 463, 4, 124, 62);
    code_.Place(GPanel1, 47, 72);
    code_.bar.SetLargeStep(kCurrentLargeStep);

    Place(GPanel2, *this, u"GPanel2", 0, 296, 600, 184);
    layout::Label(GLabel2, GPanel2, u"GLabel2", u"Тест дискретных выходов", 171, 4, 264, 20);
    layout::Button(bt_toggle2_, GPanel2, u"bt_toggle2_", u"Включить тест", 463, 9, 124, 62);
    Place(table2_, GPanel2, u"table2_", 144, 40, 300, 94);
    Place(dout_1_, table2_, u"dout_1_", 0, 0, 300, 30);
    dout_1_.SetCaption(u"Выход \"Порог 1\"");
    Place(dout_2_, table2_, u"dout_2_", 0, 32, 300, 30);
    dout_2_.SetCaption(u"Выход \"Порог 2\"");
    Place(dout_fail_, table2_, u"dout_fail_", 0, 64, 300, 30);
    dout_fail_.SetCaption(u"Выход \"Отказ\"");
}

GTests::GTests(G_t& g)
    : g_(g),
      current_test_(g, g.params.dac_test_enabled, device_modes::SwitchCurrentTest),
      outputs_test_(g, g.params.dout_test_enabled, device_modes::SwitchOutputsTest) {
    bt_ss_enable_.Connect(g, [this] { Refresh(); });
    bt_toggle_.OnClick.Set([this](GControl*) {
        current_test_.Toggle();
        Refresh();
    });
    bt_toggle2_.OnClick.Set([this](GControl*) {
        outputs_test_.Toggle();
        Refresh();
    });
    // The bar's own keys already move it in this window's sense; the code
    // field takes the same mapping (Enter and Space open its entry form).
    code_.Connect(g, [this](int64_t ma) { OnCurrentMoved(ma); });
    Refresh();
}

std::vector<GControl*> GTests::InputControls() {
    return {&bt_ss_enable_, &bt_toggle_, &code_.field, &code_.bar, &bt_toggle2_, &dout_1_, &dout_2_, &dout_fail_};
}

void GTests::Refresh() {
    const bool mode_on = g_.adjustment_mode_on();
    const bool current_on = current_test_.On();
    const bool outputs_on = outputs_test_.On();
    // A test seen off (or not known) starts again from the device when it is
    // next seen on: a tick or a current left from an earlier test, session or
    // connection must never reach a device.
    if (!current_on) current_synced_ = false;
    if (!outputs_on) outputs_synced_ = false;

    const GCodeBar::Guard quiet = code_.Quiet();
    if (current_on && !current_synced_) SyncCurrent();
    if (outputs_on && !outputs_synced_) SyncOutputs();
    if (current_on) {
        const param_snapshot_t v = g_.params.dac_test_value.snapshot();
        if (v.is_read()) code_.reported.SetValue(v.u16());
    }
    if (outputs_on) {
        // The check boxes lead: a pattern that differs from the device's is
        // sent (again at every refresh until the device shows it).
        const uint16_t pattern = uint16_t((dout_1_.IsChecked() ? codes::kDoutThreshold1 : 0) |
                                          (dout_2_.IsChecked() ? codes::kDoutThreshold2 : 0) |
                                          (dout_fail_.IsChecked() ? codes::kDoutFail : 0));
        const param_snapshot_t st = g_.params.dout_test_state.snapshot();
        // Only the three outputs count: a bit the window has no box for
        // never makes it write.
        const uint16_t device = st.u16() & (codes::kDoutThreshold1 | codes::kDoutThreshold2 | codes::kDoutFail);
        if (!st.is_read()) {
            // Nothing to compare with: wait for the device's pattern.
        } else if (pattern != device) {
            if (mb_link_t* l = g_.link.load()) l->queue_param(g_.params.dout_test_state, pattern);
        } else {
            dout_1_.SetChecked(device & codes::kDoutThreshold1);
            dout_2_.SetChecked(device & codes::kDoutThreshold2);
            dout_fail_.SetChecked(device & codes::kDoutFail);
        }
    }

    bt_ss_enable_.Refresh(g_);
    current_test_.Show(bt_toggle_, mode_on, u"Включить тест", u"Отключить тест");
    outputs_test_.Show(bt_toggle2_, mode_on, u"Включить", u"Отключить тест");
    code_.table.SetEnabled(mode_on && current_on && current_synced_);
    table2_.SetEnabled(mode_on && outputs_on && outputs_synced_);
}

// The field and the bar take the current the device drives; a value it does
// not hold (never read, or outside 0..24 mA) starts them at 4 mA. Nothing is
// sent: a load is the program's move.
void GTests::SyncCurrent() {
    const param_snapshot_t v = g_.params.dac_test_value.snapshot();
    const bool held = v.is_read() && v.u16() >= code_.bar.Minimum() && v.u16() <= code_.bar.Maximum();
    const int64_t ma = held ? int64_t(v.u16()) : codes::kTestCurrentStart;
    code_.Load(ma);
    if (v.is_read()) code_.reported.SetValue(v.u16());
    else code_.reported.ClearValue();
    current_synced_ = true;
}

// The check boxes take the device's pattern, all off while it is not known.
void GTests::SyncOutputs() {
    const param_snapshot_t st = g_.params.dout_test_state.snapshot();
    const uint16_t device = st.is_read() ? st.u16() : 0;
    dout_1_.SetChecked(device & codes::kDoutThreshold1);
    dout_2_.SetChecked(device & codes::kDoutThreshold2);
    dout_fail_.SetChecked(device & codes::kDoutFail);
    outputs_synced_ = true;
}

void GTests::OnCurrentMoved(int64_t ma) {
    // Only a move by the user, on a bar loaded from the device, is sent.
    if (!current_synced_ || !current_test_.On()) return;
    if (mb_link_t* l = g_.link.load()) l->queue_param(g_.params.dac_test_value, uint64_t(ma));
}
