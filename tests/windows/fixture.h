// The window tree over the application state and a link to the simulated
// detector on a pseudo-terminal, torn down in the program's exit order.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "foundation/ustring.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "sim/simulator.h"
#include "toolkit/uik.h"
#include "windows/new_form.h"
#include "windows/write_procedures.h"

namespace win_test {

inline std::string U8(const ustring_t& s) { return text::utf8(s); }

class WindowTest : public ::testing::Test {
protected:
    // poll false: worker 1 is stopped, so values set by the test stay as set.
    void Build(sim::Options_t o, bool poll, const std::string& program = "luma10") {
        o.drift = 0;
        o.log = [](const std::string&) {};
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        ASSERT_TRUE(sim_->start(&err)) << err;
        G_.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
        InstallAdjustmentModeProcedure();
        link_ = std::make_unique<mb_link_t>(G_.params);
        link_->set_device_path(sim_->path());
        G_.link.store(link_.get());
        if (!poll) link_->worker1().Stop();
        ConnectionSettings cs;
        cs.timeout = 1000;  // roomy: sanitizer builds on a busy machine answer late
        cs.port_settings.port = 1;
        G_.apply_connection_settings(cs, nullptr);
        G_.params.invalidate_all();
        form_ = std::make_unique<GNewForm>(G_, program);
    }

    void TearDown() override {
        if (link_) StopDeviceTraffic(*link_);
        form_.reset();
        G_.link.store(nullptr);
        link_.reset();
        if (sim_) sim_->stop();
        G_.params.invalidate_all();
        G_.window_poster = nullptr;
    }

    bool OpenPort() { return !link_->open(); }
    GStart& S() { return form_->Start(); }
    GMain& M() { return form_->Main(); }
    // Publishes a value as if the poll cycle had just read it.
    static void Set(mb_param_t& p, uint64_t v) { p.publish(v, 1); }

    // Runs body inside a message loop, so that posts from the workers reach
    // the window thread; RunUntil inside body lets the loop turn.
    static void InLoop(const std::function<void()>& body) {
        UIK::App::Defer([&] {
            body();
            UIK::App::Quit();
        });
        UIK::App::RunMessageLoop(nullptr);
    }

    UIK::GResourcesUser resources_;
    std::unique_ptr<sim::Simulator_t> sim_;
    std::unique_ptr<mb_link_t> link_;
    std::unique_ptr<GNewForm> form_;
};

}  // namespace win_test
