// The top-level form and the main frame inside it. GMain is the window side of
// the application state: texts for the user posted by the workers arrive here
// on the window thread.
#pragma once

#include <memory>
#include <string>

#include "model/app_state.h"
#include "toolkit/uik.h"
#include "windows/line_monitor_pane.h"
#include "windows/main_frame.h"
#include "windows/start_window.h"

class GMain : public GStandardMainFrame2, public IWindowSide {
public:
    GMain(G_t& g, const std::string& program_name, UIK::GControl* parent = nullptr);
    ~GMain() override;

    GStart& Start() { return start_; }
    GLineMonitorPane& LineMonitor() { return *line_monitor_; }

    void show_status_text(const ustring_t& text, uint64_t tick) override;
    void show_info_message(const ustring_t& text, uint32_t hide_after_ms) override;
    void show_error_message(const ustring_t& text, uint32_t hide_after_ms) override;
    void clear_message() override;

private:
    G_t& g_;
    GStart start_;
    std::unique_ptr<GLineMonitorPane> line_monitor_;
};

class mb_link_t;

// Gives back adjustment mode this program took (waiting for worker 1 to send
// it), closes the port and stops and joins both workers of the link, so that
// no task can reach into the windows any more. Exit calls it once the message
// loop has ended, before the window tree is destroyed.
void StopDeviceTraffic(mb_link_t& link);

class GNewForm : public UIK::GTabKeyForm {
public:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

    GNewForm(G_t& g, const std::string& program_name);
    ~GNewForm() override;

    GMain& Main() { return *main_; }
    GStart& Start() { return main_->Start(); }

private:
    G_t& g_;
    std::unique_ptr<GMain> main_;
};
