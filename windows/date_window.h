// The device clock window: the detector's clock shown and followed until the
// user edits one of its six fields, then written as BCD through the save
// procedure; or the computer's local time written at one press.
//
// Window thread only; the write runs on worker 1.
#pragma once

#include <vector>

#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/sub_window.h"
#include "procedures/settings_procedures.h"

class G_t;

// The layout: a 552 x 200 frame with the title, a table of two rows (date and
// time, three fields each) and the buttons under it.
class GBaseDateTime : public UIK::GFrame {
public:
    static constexpr int kWidth = 552;
    static constexpr int kHeight = 200;

    GBaseDateTime();

    UIK::GLabel title_;
    UIK::GControlsTable table_;
    UIK::GLabel GLabel1, GLabel2;
    UIK::GInputInt64Label in_year_, in_month_, in_day_, in_hour_, in_minute_, in_second_;
    UIK::GTextButton bt_apply_local_time_, bt_apply_, bt_cancel_;
    GAdjustmentButton bt_ss_enable_;
};

class GDate : public GBaseDateTime, public SubWindow<GDate> {
public:
    explicit GDate(G_t& g);

    void Refresh();
    // The button actions.
    void Apply();
    void Cancel();
    void ApplyLocalTime();

    bool Editing() const { return editing_; }
    clock_fields_t Fields() const;

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { Refresh(); }

private:
    void Write(uint64_t bytes);
    // Puts a clock value (bytes: year-2000, month, day, hour, minute, second) into the fields.
    void ShowClock(uint64_t bytes);
    void OnAccepted(UIK::GControl*, int64_t);

    G_t& g_;
    bool editing_ = false;
    int updating_ = 0;
    uint64_t written_ = 0;  // the clock last written
};
