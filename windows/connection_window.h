// The connection window: the serial port, its line settings, the response
// timeout and the block address on the left (GConnection), the device search
// on the right (GScanner, windows/search_panel.h).
//
// Every change of a field is applied to the device link at once through the
// application state; nothing is written to the configuration file here. The
// panel runs on the window thread; only the port scan runs on worker 1 and
// hands its result back through a waiting window-thread call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/connection_settings.h"
#include "foundation/containers.h"
#include "foundation/error.h"
#include "toolkit/uik.h"
#include "windows/search_panel.h"

// One port the scan found: its COM number and the device behind it.
struct found_port_t {
    uint8_t number = 0;
    std::string path;
};

// Text of a port selector item: "COM3 (/dev/ttyUSB0)", or "COM3" without a path.
// MissingPortItemText: a port in use that the last scan did not find.
ustring_t PortItemText(unsigned number, const std::string& path);
ustring_t MissingPortItemText(unsigned number);

// The link state shown under the fields, and the label's background for it.
struct link_state_text_t {
    ustring_t text;
    UIK::GColor color;
};
link_state_text_t LinkStateText(bool port_open, const error_value_t& status, uint64_t completed_cycles);

// The port selector: when the user drops its list down, OnDropRequest (when
// set) runs instead of the drop, so that the ports can be scanned afresh and
// the list dropped once the scan is in.
class GPortSelector : public UIK::GStringSelector {
public:
    using UIK::GStringSelector::GStringSelector;
    std::function<void()> OnDropRequest;
    void HandleMouseUp(const UIK::GMouseEvent& e) override;
    void HandleKeyDown(const UIK::GKeyEvent& e) override;
};

// Layout of the connection panel: two buttons above a two-column table of
// captions and inputs, and the link state under it, all in Frame_.
class GBaseConnection : public UIK::GFrame {
public:
    static constexpr int kWidth = 435;
    static constexpr int kHeight = 470;

    explicit GBaseConnection(UIK::GControl* parent = nullptr);

    UIK::GFrame Frame_;
    UIK::GTextButton btnCancel_;
    UIK::GTextButton btConnectDisconnect_;
    UIK::GControlsTable GControlsTableDT1;
    UIK::GLabel GLabel2, GLabel3, GLabel4, GLabel5, GLabel7, GLabel1, GLabel6, GLabel8;
    GPortSelector ssPort_;
    UIK::GStringSelector ssSpeed_;
    UIK::GCheckBoxCaptioned cbParity_;
    UIK::GStringSelector ssStopBits_;
    UIK::GCheckBoxCaptioned cbEchoCancelation_;
    UIK::GInputInt64Label iiDelayBeforeSend_;
    UIK::GInputInt64Label Timeout_;
    UIK::GInputInt64Label BlockID_;
    UIK::GLabel BlockConnected_;

private:
    // Row backgrounds: each row's caption and input share one.
    std::vector<std::unique_ptr<UIK::GFrame>> rows_;
};

// The connection panel's logic.
class GConnection : public GBaseConnection {
public:
    explicit GConnection(UIK::GControl* parent = nullptr);
    ~GConnection() override;

    // Sets the controls from a record; change events are ignored meanwhile.
    void FillControls(const ConnectionSettings& s);
    // The record the controls describe.
    ConnectionSettings ReadControls() const;
    // Applies the controls' record (what every change of a field does).
    void Apply();
    // Applies a record: reopens a port the user had opened, shows a failure
    // on the message panel, and refills the controls from what is in force.
    // True when the link took it.
    bool ApplySettings(const ConnectionSettings& s);
    // btConnectDisconnect_: closes an open port, opens a closed one.
    void ConnectDisconnect();
    // btnCancel_: back to the record taken when the window was last shown.
    void Revert();
    // Refills the controls, the button caption and the link state.
    void Refresh();
    // The button caption and the link state only (cheap; for the main
    // window's 100 ms timer).
    void RefreshState();
    // The window was shown: new revert record, a port scan, Refresh.
    void FormShown();
    // Posts the port scan to worker 1.
    void StartPortScan();
    // Takes a scan's result (window thread): port numbers and selector items.
    void TakePorts(const std::vector<found_port_t>& ports);

    const Array_T<uint8_t>& PortList() const { return port_list_; }
    const ConnectionSettings& RevertSnapshot() const { return revert_; }
    bool ReconnectFlag() const { return reconnect_; }
    // Number of port scans whose result has been taken.
    int ScansTaken() const { return scans_taken_; }

private:
    void FieldChanged();
    void FillLocked(const ConnectionSettings& s);
    // Makes the port list: the scanned ports, plus the port of s, of the
    // record in force and of the revert record where the scan did not find
    // them, so that a port in use can always be shown, kept and reverted to.
    void BuildPortList(const ConnectionSettings& s);
    void SetButtonCaption();

    Array_T<uint8_t> port_list_;
    std::vector<found_port_t> scanned_;
    ConnectionSettings revert_;
    int32_t update_counter_ = 0;
    bool reconnect_ = false;
    // The user dropped the port list down: it drops when the scan is in.
    bool drop_after_scan_ = false;
    int scans_taken_ = 0;
    UIK::GTimer timer_{1000};
    // Lets a scan that ends after the panel is gone drop its result.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The connection window: the connection panel and the search panel side by
// side. Made once on the window thread after the application state and the
// device link exist; shown and hidden, never re-created.
class GConnectionForm : public UIK::GTabKeyForm {
public:
    GConnectionForm();
    ~GConnectionForm() override;

    // Called by the main window's 100 ms timer while the form is visible:
    // keeps the link state current between the panel's own 1000 ms refreshes.
    void Tick();

    GConnection& Connection() { return connection_; }
    GScanner& Scanner() { return scanner_; }

protected:
    void VisibilityChanged(bool visible) override;

private:
    GConnection connection_;
    GScanner scanner_;
};
