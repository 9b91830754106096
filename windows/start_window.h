// The main device window: the detector's live state drawn over its picture,
// the connect button, the buttons that open every other window, the WiFi and
// alarm-lock commands, the status line and the adjustment-mode strip.
//
// Window thread only. The 100 ms timer redraws everything from the parameter
// values the poll cycle publishes; nothing here talks to the device directly.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/mb_link.h"
#include "toolkit/uik.h"
#include "windows/connection_form.h"
#include "windows/sub_windows.h"
#include "windows/sudo_window.h"

class G_t;

// The layout: every control of the main window at its design-time place.
class GBaseStart : public UIK::GFrame {
public:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;
    static constexpr int kOverImageWidth = 316;

    explicit GBaseStart(UIK::GControl* parent = nullptr);

    // Keeps frame_over_img_ centred on the picture, which is drawn centred
    // in img_main_, so the two move as one; below the design size the button
    // column and the detector column give way to keep clear of the status line.
    void CentreOverImage();

    // The button that opens the sub-window of row i of the sub-window table,
    // or of that name (which must have a row).
    UIK::GTextButton& WindowButton(size_t i) const { return *window_buttons_[i]; }
    UIK::GTextButton& WindowButton(std::string_view name) const;

    UIK::GLabel title_;
    UIK::GImageFrame img_main_;
    UIK::GFrame GFrameDT2;

private:
    // One for each row of the sub-window table, in its order; made from the
    // rows and placed in their columns by the layout.
    std::vector<std::unique_ptr<UIK::GTextButton>> window_buttons_;

public:
    // The sub-window buttons the program and its tests name.
    UIK::GTextButton &bt_alarms_, &bt_calibration_, &bt_thresholds_, &bt_dac_calibration_, &bt_uplevel_connection_,
        &bt_datetime_, &bt_tests_, &bt_journals_, &bt_select_gas_, &bt_connection_settings_, &bt_poll55_;
    UIK::GTextButton bt_connect_, bt_wifi_, bt_reset_alarm_block_;
    UIK::GFrame frame_modbus_id_, frame_modbus_speed_;
    UIK::GLabel GLabel6, reg_1002_modbus_id_, GLabel7, reg_1003_speed_;
    UIK::GLabel status_bar_;
    UIK::GFrame frame_over_img_;
    UIK::GFrame frame_factory_id_, frame_version_, frame_mipex_type_;
    UIK::GLabel GLabel3, factory_id_, GLabel4, reg_1000_1001_version_, GLabel2, reg_6004_mipex_type_;
    UIK::GImageFrame img_led_fail_status_, img_led_power_on_, img_led_thresh1_, img_led_thresh2_;
    UIK::GFrame frame_sudo_placeholder_;
    UIK::GFrame fr_icon_;
    UIK::GLabel ico_reg_6004_mipex_type_;
    UIK::GImageFrame img_wifi_;
    UIK::GLabel ico_ss_status_;
    UIK::GImageFrame img_ss;
    UIK::GFrame GFrameDT3;
    UIK::GLabel ico_reg_6002_;
    UIK::GFrame ico_threshold_frame_;
    UIK::GLabel asterix_, reg_2000_threshold1_title_, reg_2000_threshold1_, reg_2001_threshold2_title_,
        reg_2001_threshold2_;
    UIK::GFrame ico_frame_alarms_;
    UIK::GLabel GLabel13, ico_reg_alarms_mask_, GLabel15, ico_reg_warnings_mask_;
};

// A control's text and background colours and the same two exchanged; the
// control is recoloured only when the state to show changes.
class ColourPair_t {
public:
    void Capture(UIK::GLabel* label);
    void Show(bool swapped);
    bool Swapped() const { return swapped_; }

private:
    UIK::GLabel* label_ = nullptr;
    UIK::GColor fore_{}, back_{};
    bool swapped_ = false;
};

class GStart : public GBaseStart {
public:
    static constexpr uint32_t kRefreshMs = 100;
    static constexpr uint64_t kStatusShowMs = 2000;
    static constexpr uint64_t kReflashAfterMs = 1000;
    static constexpr uint32_t kWifiHoldMs = 2000;
    static constexpr uint32_t kErrorShowMs = 10000;

    // program_name: the executable's base name (decides bt_poll55_).
    GStart(G_t& g, const std::string& program_name, UIK::GControl* parent = nullptr);
    ~GStart() override;

    // The timer tick: refresh, the strip, the visible sub-windows, the status
    // line's time-out. now is the 64-bit tick count.
    void Tick(uint64_t now);
    void Refresh();
    void ShowStatusText(const ustring_t& text, uint64_t tick);

    // Button actions (also what the buttons' click events run).
    void Connect();
    void ToggleWifi();
    void ResetAlarmBlock();
    // Opens form next to the control that asked for it, at tick now: a hidden
    // form is shown (placed beside it the first time); a shown one is flashed,
    // or put back at its first size when asked again within a second.
    void OpenSubWindow(UIK::GForm* form, UIK::GControl* button, uint64_t now);
    // Opens the sub-window of that name as its button would; false when no
    // sub-window has that name.
    bool OpenSubWindow(std::string_view name, uint64_t now);
    // Hides every shown sub-window.
    void CloseSubWindows();

    bool BlinkOn() const { return blink_ < 9; }
    GSudo& Sudo() { return sudo_; }
    const ColourPair_t& ConcentrationColours() const { return concentration_colours_; }
    const ColourPair_t& ThresholdColours(int i) const { return i == 1 ? threshold1_colours_ : threshold2_colours_; }

    // The names `luma10 --open` takes, in the order of the sub-window table.
    static std::vector<std::string_view> SubWindowNames();
    // The sub-window form of that name, or nullptr.
    UIK::GForm* FindSubWindow(std::string_view name) const;
    // Every sub-window form, in the order the timer updates them.
    std::vector<UIK::GForm*> SubWindows() const;
    // The form of a window-logic class W, and the connection form.
    template <class W>
    GForm_T<W>& SubWindow() const {
        return FormOf<GForm_T<W>>();
    }
    GConnectionForm& ConnectionForm() const { return FormOf<GConnectionForm>(); }
    // The main window's controls in the order Tab moves through them: the
    // connect button, the right column's sub-window buttons, the
    // adjustment-mode switch, the left column's; each column top to bottom,
    // the buttons whose rows are in the Tab order.
    std::vector<UIK::GControl*> TabOrder();
    // True when a program of that name shows bt_poll55_.
    static bool ShowsPoll55(const std::string& program_name);

private:
    // A sub-window made from its row of the table.
    struct SubWindow_t {
        const SubWindowRow* row;
        UIK::GTextButton* button;
        std::unique_ptr<UIK::GForm> form;
        UIK::GRect initial;       // first bounds, restored by a quick re-opening
        int64_t last_open = -1;   // tick count of the last opening; -1: never
    };
    SubWindow_t* Find(const UIK::GForm* form);
    // The form of the row that makes an F: the row's type tag says it is one.
    template <class F>
    F& FormOf() const {
        return static_cast<F&>(FormOfType(FormTypeOf<F>()));
    }
    // Aborts when no row makes a form of that type: every form type the
    // program asks for has its row in the table.
    UIK::GForm& FormOfType(const void* form_type) const;

    // The steps of the 100 ms refresh, in the order it runs them. present:
    // the device type has been read on an open port; flags: the device's
    // status flags (0 while unread).
    void ShowConnectCaption(bool open);
    void ShowConcentration(bool present, uint32_t flags);
    void ShowIdentification(bool present);
    void ShowThresholds(bool present, uint32_t flags, bool blink);
    void ShowThresholdLamps(bool present, uint32_t flags);
    void ShowAlarmCounts(bool present);
    void ShowGasText(bool present);
    void ShowAdjustmentOwner(bool present, bool blink);
    void ShowWifiAndLamps(bool present);
    // The alarm counts the alarms button shows ((alarms << 32) | warnings, -1
    // without counts), so its caption is made again only when they change.
    int64_t alarm_caption_key_ = -2;
    void EnableDeviceButtons(bool present);
    void ShowWifiButton(bool present);

    G_t& g_;
    GSudo sudo_;
    // The readings that swap their colours to stand out: an exceeded
    // threshold's value and title, a highlighted concentration.
    ColourPair_t threshold1_colours_, threshold2_colours_;
    ColourPair_t threshold1_title_colours_, threshold2_title_colours_;
    ColourPair_t concentration_colours_;
    int blink_ = 0;
    uint64_t status_tick_ = 0;
    std::vector<SubWindow_t> sub_windows_;
    UIK::GTimer timer_{kRefreshMs};
    // The live values above kept fresh while a journal download runs.
    std::vector<std::unique_ptr<mb_link_t::live_block_guard_t>> live_blocks_;
};
