// The sensor calibration window: zero correction with air or nitrogen and the
// second-point (span) calibration with a test gas of known concentration. The
// device runs the calibration; the window writes the concentration and the
// point, starts it, shows the device's state with the seconds elapsed, and can
// abort it.
//
// Threads: the controls, the refresh and the handlers run on the window
// thread. The start tasks and the status watcher run on worker 1 (see
// procedures/device_procedures.h); the watcher's start tick is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/sub_window.h"
#include "procedures/device_procedures.h"

class G_t;

// Layout: a frame of 800 x 346.
class GBaseCalibration : public UIK::GFrame {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 346;

    GBaseCalibration();

    UIK::GLabel title_;
    UIK::GTextButton bt_cancel_;
    UIK::GLabel lb_finished_;
    UIK::GFrame fr_air_;
    UIK::GLabel lb_give_air_;
    UIK::GTextButton bt_air_is_on_;
    UIK::GFrame fr_gas_;
    UIK::GLabel lb_give_gas_;
    UIK::GInputDoubleLabel calibration_gas_concentration_;
    UIK::GTextButton bt_gas_is_on_;
    GAdjustmentButton bt_ss_enable_;
};

class GCalibration : public GBaseCalibration, public SubWindow<GCalibration> {
public:
    explicit GCalibration(G_t& g);
    ~GCalibration() override;

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { Refresh(); }

    // Enabled states and the state text from the application state.
    void Refresh();
    // The moment the device's state turned to 1 or 2 (0: none).
    uint32_t StartTick() const { return watcher_->start_tick(); }

    // The state label's colour when a calibration ended in an error.
    static constexpr UIK::GColor kFailureColor = UIK::RGB(255, 0, 0);
    static constexpr const char16_t* kAbortingText = u"Прерывание настройки...";

private:
    void OnAirIsOn(UIK::GControl*);
    void OnGasIsOn(UIK::GControl*);
    void OnCancel(UIK::GControl*);
    void OnConcentrationEntered(UIK::GControl*, double& value);
    void OnConcentrationAccepted(UIK::GControl*, double value);

    G_t& g_;
    int32_t refresh_depth_ = 0;
    // The abort was asked for and the device still runs the calibration.
    bool aborting_ = false;
    // The device's state at the last refresh (0: not read): an end in an
    // error is told once, as it happens.
    uint16_t last_state_ = 0;
    std::shared_ptr<calibration::status_watcher_t> watcher_ = std::make_shared<calibration::status_watcher_t>();
    ITask* watcher_task_ = nullptr;
    // Set from a start button's press until its start task and the command it
    // queues have run (worker 1 clears it), so the refresh does not offer the
    // start buttons again meanwhile and a second press cannot queue a second start.
    std::shared_ptr<std::atomic<bool>> starting_ = std::make_shared<std::atomic<bool>>(false);
};
