// The output tests window: the 4-20 mA current output driven at a chosen
// current, and the three discrete outputs set from check boxes. Each test is
// a device mode switched by a command; while it is on, the window sends the
// current or the output pattern.
//
// Threads: everything here runs on the window thread; values go out through
// the device link's pending-write map, the mode switches through SendCommand.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/code_bar.h"
#include "windows/sub_window.h"

class G_t;

// Layout: a frame of 600 x 480.
class GBaseTests : public UIK::GFrame {
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 480;

    GBaseTests();

    UIK::GLabel title_;
    UIK::GPanel GPanel1;
    UIK::GLabel GLabel1;
    GAdjustmentButton bt_ss_enable_;
    UIK::GTextButton bt_toggle_;
    // The test current in mA: the current the device drives and the one to set.
    GCodeBar code_;
    UIK::GPanel GPanel2;
    UIK::GLabel GLabel2;
    UIK::GTextButton bt_toggle2_;
    UIK::GControlsTable table2_;
    UIK::GCheckBoxCaptioned dout_1_;
    UIK::GCheckBoxCaptioned dout_2_;
    UIK::GCheckBoxCaptioned dout_fail_;
};

class GTests : public GBaseTests, public SubWindow<GTests> {
public:
    explicit GTests(G_t& g);

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { Unsync(); Refresh(); }
    void Hidden() { Unsync(); }

    void Refresh();
    // The keyboard control of the current table (the code field and the bar
    // are its controls that take the focus).
    void TableKey(UIK::GControl*, const UIK::GKeyEvent& e) { code_.Key(e); }

private:
    // The current field and the check boxes start every test from what the
    // device holds: until a refresh has loaded them after the test was seen
    // switched on, nothing they show is sent.
    void Unsync() { current_synced_ = outputs_synced_ = false; }
    void SyncCurrent();
    void SyncOutputs();
    // A move of the field or the bar by the user.
    void OnCurrentMoved(int64_t ma);

    G_t& g_;
    DeviceModeSwitch current_test_;
    DeviceModeSwitch outputs_test_;
    bool current_synced_ = false;
    bool outputs_synced_ = false;
};
