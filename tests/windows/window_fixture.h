// Shared set-up of the window tests: the simulated line registered as a COM
// number in a temporary configuration folder, the device link over the
// application state, a main window that records the texts it is given, and
// test bodies run on the window thread inside the toolkit's message loop
// (worker tasks hand results back through waiting window-thread calls, which
// need a running loop).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "model/mb_link.h"
#include "sim/simulator.h"
#include "toolkit/uik.h"

namespace window_test {

constexpr unsigned kCom = 7;

// The main window's side of the texts: what it was asked to show, in order.
struct TextRecorder final : IWindowSide {
    std::vector<std::string> status, info, errors;
    int clears = 0;

    void show_status_text(const ustring_t& t, uint64_t) override { status.push_back(text::utf8(t)); }
    void show_info_message(const ustring_t& t, uint32_t) override { info.push_back(text::utf8(t)); }
    void show_error_message(const ustring_t& t, uint32_t) override { errors.push_back(text::utf8(t)); }
    void clear_message() override { ++clears; }
};

inline void use_temp_config_dir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/luma10-windows-test-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        std::string s = d ? d : "/tmp";
        ::setenv("LUMA10_CONFIG_DIR", s.c_str(), 1);
        return s;
    }();
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        use_temp_config_dir();
        mb_link_t::set_read_diagnostics(false);
    }

    // The line with the given devices as COM kCom, a link over G_ with the
    // settings in force pointing at it (closed), and G_'s texts recorded.
    void start(sim::Options_t o, uint16_t timeout_ms = 300, uint8_t block_id = 1) {
        o.com = kCom;
        o.drift = 0;
        o.log = [](const std::string&) {};
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        ASSERT_TRUE(sim_->start(&err)) << err;
        link_ = std::make_unique<mb_link_t>(G_.params);
        G_.link = link_.get();
        G_.main_window = &texts_;
        G_.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
        G_.found_devices.clear();
        ConnectionSettings s;
        s.port_settings.port = kCom;
        s.timeout = timeout_ms;
        s.block_id = block_id;
        ustring_t text;
        ASSERT_TRUE(G_.apply_connection_settings(s, &text)) << text::utf8(text);
    }

    void TearDown() override {
        // The loop has ended, so no worker is left waiting for the window
        // thread: the link can stop its workers.
        G_.main_window = nullptr;
        G_.window_poster = nullptr;
        G_.link = nullptr;
        link_.reset();
        if (sim_) sim_->stop();
        G_.set_connection_settings(ConnectionSettings{});
        G_.found_devices.clear();
    }

    // Runs body on the window thread inside the outermost message loop.
    void run_in_loop(const std::function<void()>& body) {
        UIK::App::Defer([&] {
            body();
            UIK::App::Quit();
        });
        UIK::App::RunMessageLoop(nullptr);
    }

    static bool wait_for(const std::function<bool()>& pred, int ms = 5000) { return UIK::App::RunUntil(pred, ms); }

    std::unique_ptr<sim::Simulator_t> sim_;
    std::unique_ptr<mb_link_t> link_;
    TextRecorder texts_;
};

}  // namespace window_test
