// The device link settings window: the detector's own Modbus speed and
// address (changed through the link settings procedure, which carries the
// configurator's connection settings along), its WiFi module and channel and
// its HART address.
//
// Window thread only; the procedure, the writes and the commands run on
// worker 1 and report back through posted tasks.
#pragma once

#include <memory>
#include <vector>

#include "toolkit/uik.h"
#include "windows/adjustment_controls.h"
#include "windows/sub_window.h"

class G_t;
class mb_param_t;

// The layout, top to bottom: title, the Modbus RTU rows, the WiFi section
// with the procedure's status text, the HART row, the adjustment-mode button.
class GBaseWifi : public UIK::GFrame {
public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 456;

    GBaseWifi();

    UIK::GLabel title_;
    UIK::GLabel GLabel5;
    UIK::GControlsTable table_modbus_;
    UIK::GLabel GLabel3;
    UIK::GStringSelector ssSpeed_;
    UIK::GLabel GLabel8;
    UIK::GInputInt64Label modbus_id_;
    UIK::GLabel GLabel6;
    UIK::GLabel status_;
    UIK::GLabel wifi_state_;
    UIK::GFrame GFrameDT1;
    UIK::GTextButton wifi_enable_, wifi_disable_;
    UIK::GControlsTable table_wifi_;
    UIK::GLabel GLabel1;
    UIK::GInputInt64Label wifi_channel_;
    UIK::GLabel GLabel4;
    UIK::GControlsTable table_hart_;
    UIK::GLabel GLabel10;
    UIK::GInputInt64Label hart_id_;
    GAdjustmentButton bt_ss_enable_;
};

class GUplevelConnection : public GBaseWifi, public SubWindow<GUplevelConnection> {
public:
    static constexpr uint32_t kQuestionHoldMs = 100000;
    static constexpr uint32_t kHoldMs = 2000;
    // Ranges the captions state.
    static constexpr int64_t kAddressMin = 1, kAddressMax = 247;
    static constexpr int64_t kChannelMin = 1, kChannelMax = 12;
    static constexpr int64_t kHartMin = 0, kHartMax = 15;

    explicit GUplevelConnection(G_t& g);
    ~GUplevelConnection() override;

    void Refresh();
    // The user's changes, as the controls raise them.
    void SpeedChange(int code);
    void AddressChange(int64_t address);

    std::vector<UIK::GControl*> InputControls();
    void Tick() { Refresh(); }
    void Shown() { Refresh(); }

private:
    // Asks the question and, on "Да", queues the change procedure.
    void AskAndChange(UIK::GControl* control, const ustring_t& question, mb_param_t& p, uint16_t value);
    void OnRangeFilter(UIK::GControl* c, int64_t& v);
    void OnValueAccepted(UIK::GControl* c, int64_t v);

    G_t& g_;
    int updating_ = 0;
    // Set by the filter when it put a field's value back: nothing is written then.
    bool refused_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
