// The gas selection window: which gas the detector's propane-set optical
// sensor measures, chosen only among gases whose correction coefficient the
// device holds, and the table of those coefficients.
//
// Window thread only; the writes run on worker 1 through SetParamAndSave.
#pragma once

#include <memory>
#include <vector>

#include "model/codes.h"
#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/sub_window.h"

class G_t;
class mb_param_t;

// The layout: a 640 x 400 frame with the title, the gas list at the top right
// and the scroll box for the coefficient table below.
class GBaseSelectGas : public UIK::GFrame {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 400;

    GBaseSelectGas();

    UIK::GLabel title_;
    UIK::GStringSelector list_;
    UIK::GLabel GLabel1;
    UIK::GAntiPanel GAntiPanel1;
    UIK::GScrollBox box_;
    GAdjustmentButton bt_ss_enable_;
};

class GSelectGas : public GBaseSelectGas, public SubWindow<GSelectGas> {
public:
    static constexpr uint32_t kHoldMs = 2000;

    explicit GSelectGas(G_t& g);
    ~GSelectGas() override;

    void Refresh();
    // The choice of gas index i, as the list raises it.
    void SelectGas(int index);
    // True when the coefficient of gas i (1..14) has been read and is above 0.
    bool CoefficientPresent(size_t index) const;

    UIK::GControlsTableExt& Table() { return *table_; }
    // The coefficient input of gas i (0..14).
    UIK::GInputDoubleLabel& Coefficient(size_t index) { return *inputs_[index]; }

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { Refresh(); }

private:
    void OnFilter(UIK::GControl* c, double& v);
    void OnAccepted(UIK::GControl* c, double v);

    G_t& g_;
    int updating_ = 0;
    // Set by the filter when it put an entry's present value back: nothing
    // is written then.
    bool refused_ = false;
    std::unique_ptr<UIK::GControlsTableExt> table_;
    std::unique_ptr<UIK::GInputDoubleLabel> inputs_[codes::kGasCount];
};
