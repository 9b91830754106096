// The 4-20 mA output calibration window: with the device in DAC calibration
// mode the engineer moves the DAC code until an ammeter reads 4 mA (then
// 20 mA), remembers each code and saves both into the device's settings.
// Remembered codes live only in the window until saved or dropped.
//
// Threads: everything here runs on the window thread; code writes go through
// the device link's pending-write map, the mode switch and the saves through
// SendCommand and SetParamAndSave (worker 1).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/code_bar.h"
#include "windows/sub_window.h"

class G_t;

// A stored code (a 32-bit float of the device) as the integer shown: cut
// towards zero; nothing for a value that is not a number or lies beyond the
// 64-bit integers, so a corrupt register shows empty instead of a made-up code.
std::optional<int64_t> StoredCodeValue(float code);

// Layout: a frame of 600 x 480.
class GBaseDacCalibration : public UIK::GFrame {
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 480;

    GBaseDacCalibration();

    UIK::GLabel title_;
    UIK::GTextButton bt_save_;
    UIK::GTextButton bt_cancel_;
    // The DAC code: the code the device drives and the code to set.
    GCodeBar code_;
    UIK::GTextButton bt_toggle_;
    GAdjustmentButton bt_ss_enable_;
    UIK::GControlsTable GControlsTableDT2;
    UIK::GLabel GLabel2, GLabel1, GLabel3, GLabel5, GLabel6;
    UIK::GOutputInt64Label real_code_min_;
    UIK::GOutputInt64Label code_min_;
    UIK::GOutputInt64Label real_code_max_;
    UIK::GOutputInt64Label code_max_;
    UIK::GTextButton bt_remember_min_;
    UIK::GTextButton bt_remember_max_;
};

class GDacCalibration : public GBaseDacCalibration, public SubWindow<GDacCalibration> {
public:
    explicit GDacCalibration(G_t& g);

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { synced_ = false; Refresh(); }
    void Hidden() { synced_ = false; }

    void Refresh();
    // The keyboard control of the bar while the code field has the focus.
    void CodeKey(UIK::GControl*, const UIK::GKeyEvent& e) { code_.Key(e); }

    bool RememberedLow() const { return remembered_low_; }
    bool RememberedHigh() const { return remembered_high_; }

private:
    // Loads the code field and the bar from the device's code; false (and
    // nothing loaded) while that code is not known or lies outside 0..4095.
    bool SyncCode();
    // A move of the field or the bar by the user.
    void OnCodeMoved(int64_t code);
    void OnRememberMin(UIK::GControl*);
    void OnRememberMax(UIK::GControl*);
    void OnSave(UIK::GControl*);
    void OnCancel(UIK::GControl*);

    G_t& g_;
    DeviceModeSwitch dac_mode_;
    bool remembered_low_ = false;
    bool remembered_high_ = false;
    // The field and the bar hold the device's code as read after DAC
    // calibration mode was last seen switched on; until then no input writes.
    bool synced_ = false;
};
