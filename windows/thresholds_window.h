// The thresholds window: the detector's two alarm thresholds, the sensor's
// protection threshold and the hysteresis, each 0..100, shown from the device
// and written through SetParamAndSave when the user enters a value.
//
// Window thread only, apart from the threshold reader, a periodic task on
// worker 1 that reads the four registers while the device is connected.
#pragma once

#include <vector>

#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/sub_window.h"

class G_t;
class mb_param_t;
class ITask;

// The layout: a 568 x 280 frame with the title, the adjustment-mode button
// and a table of four rows, caption on the left and input on the right.
class GBaseThresholds : public UIK::GFrame {
public:
    static constexpr int kWidth = 568;
    static constexpr int kHeight = 280;

    GBaseThresholds();

    UIK::GLabel title_;
    UIK::GControlsTable table_;
    UIK::GLabel GLabel2, GLabel4, GLabel5, GLabel6;
    UIK::GInputInt64Label Threshold_Warn_, Threshold_Alarm_, Threshold_BDSafe_, Threshold_Delta_;
    GAdjustmentButton bt_ss_enable_;
};

class GThresholds : public GBaseThresholds, public SubWindow<GThresholds> {
public:
    static constexpr int64_t kMin = 0;
    static constexpr int64_t kMax = 100;

    explicit GThresholds(G_t& g);
    ~GThresholds() override;

    // Shows the values read and enables the table by the adjustment mode.
    void Refresh();

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { Refresh(); }

    // The parameter an input of the table writes; null for any other control.
    const mb_param_t* ParamOf(const UIK::GControl* input) const;

private:
    void OnFilter(UIK::GControl* c, int64_t& v);
    void OnAccepted(UIK::GControl* c, int64_t v);

    G_t& g_;
    int updating_ = 0;
    ITask* reader_ = nullptr;
};
