// Shared set-up of the window tests: the simulated detector on a
// pseudo-terminal registered as COM kCom in a temporary configuration folder,
// the device link over the application state G_ with the settings in force
// pointing at it, the texts the workers hand to the window side recorded,
// optionally the whole window tree, and test bodies run on the window thread
// inside the toolkit's message loop (worker tasks hand their results back
// through window-thread posts, which need a running loop). Torn down in the
// program's exit order.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ustring.h"
#include "model/app_state.h"
#include "model/mb_link.h"
#include "platform/native_ui.h"
#include "sim/simulator.h"
#include "toolkit/uik.h"
#include "windows/new_form.h"
#include "windows/sub_window.h"
#include "procedures/write_procedures.h"

namespace win_test {

constexpr unsigned kCom = 7;
// Roomy: a sanitizer build on a busy two-core machine answers late, and a
// late answer must not turn into a failed exchange.
constexpr uint16_t kRoomyTimeoutMs = 3000;
// How long a test waits for something that should happen soon.
constexpr int kWaitMs = 30000;

inline std::string U8(const ustring_t& s) { return text::utf8(s); }

// The window side of the texts: what it was asked to show, in order, each
// kind on its own and all of them in lines ("status: ...", "info: ...",
// "error: ...", "clear"; an error not shown for 10000 ms is marked).
struct TextRecorder final : IWindowSide {
    std::vector<std::string> status, info, errors, lines;
    int clears = 0;

    void show_status_text(const ustring_t& t, uint64_t) override {
        status.push_back(U8(t));
        lines.push_back("status: " + status.back());
    }
    void show_info_message(const ustring_t& t, uint32_t) override {
        info.push_back(U8(t));
        lines.push_back("info: " + info.back());
    }
    void show_error_message(const ustring_t& t, uint32_t ms) override {
        errors.push_back(U8(t));
        lines.push_back("error: " + errors.back() + (ms == 10000 ? "" : " (time?)"));
    }
    void clear_message() override {
        ++clears;
        lines.push_back("clear");
    }
};

// Simulator options with the adjustment mode held at start by owner (2: this
// link, 1: the console, 3: HART, 0: nobody).
inline sim::Options_t HeldBy(int owner, sim::Options_t o = {}) {
    o.owner = owner;
    return o;
}

inline void UseTempConfigDir() {
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
    WindowTest() {
        UseTempConfigDir();
        mb_link_t::set_read_diagnostics(false);
    }

    // The line with the given devices as COM kCom and a link over G_ with the
    // settings in force pointing at it, the port closed; G_'s texts go to
    // texts_. poll false: worker 1 is stopped, so values set by the test stay
    // as set.
    void StartLine(sim::Options_t o, uint16_t timeout_ms = kRoomyTimeoutMs, uint8_t block_id = 1, bool poll = true) {
        o.com = kCom;
        o.drift = 0;
        o.log = [](const std::string&) {};
        sim_ = std::make_unique<sim::Simulator_t>(o);
        std::string err;
        ASSERT_TRUE(sim_->start(&err)) << err;
        G_.window_poster = [](std::function<void()> fn) { return UIK::Async::Post(std::move(fn), false) == 1; };
        G_.found_devices.clear();
        link_ = std::make_unique<mb_link_t>(G_.params);
        G_.link.store(link_.get());
        G_.main_window.store(&texts_);
        if (!poll) link_->worker1().Stop();
        ConnectionSettings s;
        s.port_settings.port = kCom;
        s.timeout = timeout_ms;
        s.block_id = block_id;
        ustring_t text;
        ASSERT_TRUE(G_.apply_connection_settings(s, &text)) << U8(text);
        G_.params.invalidate_all();
    }

    // The whole window tree over the line; from now on the main window shows
    // G_'s texts.
    void BuildWindows(const std::string& program = "luma10") { form_ = std::make_unique<GNewForm>(G_, program); }

    void Build(sim::Options_t o, bool poll, const std::string& program = "luma10") {
        StartLine(std::move(o), kRoomyTimeoutMs, 1, poll);
        BuildWindows(program);
    }

    void TearDown() override {
        // The loop has ended, so no worker waits for the window thread: stop
        // the traffic, then the windows, then the link.
        if (link_) StopDeviceTraffic(*link_);
        form_.reset();
        G_.main_window.store(nullptr);
        G_.window_poster = nullptr;
        G_.link.store(nullptr);
        link_.reset();
        if (sim_) sim_->stop();
        G_.set_connection_settings(ConnectionSettings{});
        G_.adjustment_mode_taken.store(0);
        G_.found_devices.clear();
        G_.params.invalidate_all();
    }

    bool OpenPort() { return !link_->open(); }
    GStart& S() { return form_->Start(); }
    GMain& M() { return form_->Main(); }
    // Publishes a value as if the poll cycle had just read it.
    static void Set(mb_param_t& p, uint64_t v) { p.publish(v, 1); }

    // Runs body on the window thread inside the outermost message loop;
    // WaitFor inside body lets the loop turn.
    static void InLoop(const std::function<void()>& body) {
        UIK::App::Defer([&] {
            body();
            UIK::App::Quit();
        });
        UIK::App::RunMessageLoop(nullptr);
    }
    // Turns the loop until pred holds; false when ms passed first.
    static bool WaitFor(const std::function<bool()>& pred, int ms = kWaitMs) { return UIK::App::RunUntil(pred, ms); }
    // The same for values the workers publish without posting anything to the
    // window thread: the loop is woken every 20 ms to look.
    static bool PollFor(const std::function<bool()>& pred, int ms = kWaitMs) {
        for (int waited = 0; waited < ms; waited += 20)
            if (UIK::App::RunUntil(pred, 20)) return true;
        return pred();
    }
    // Refreshes window w, as its form's timer would, until pred holds.
    template <typename W>
    static bool RefreshUntil(W& w, const std::function<bool()>& pred, int ms = kWaitMs) {
        return PollFor(
            [&] {
                w.Refresh();
                return pred();
            },
            ms);
    }
    // Runs body(form, window) as InLoop does, with a form of window W made
    // over G_ for the body's length.
    template <typename W, typename Body>
    void InWindow(const Body& body) {
        InLoop([&] {
            GForm_T<W> form(G_);
            body(form, form.Window());
        });
    }

    UIK::GResourcesUser resources_;
    std::unique_ptr<sim::Simulator_t> sim_;
    std::unique_ptr<mb_link_t> link_;
    std::unique_ptr<GNewForm> form_;
    TextRecorder texts_;
};

// Types into the entry form of an input label as the user would: opens it,
// presses the keys of typed ('<' is Backspace; digits, '.', '-', 'e') and
// Enter. Returns the refusal the form then shows (closing it with Escape), or
// an empty text when the entry was accepted. Window thread, inside the loop.
template <typename Label>
ustring_t TypeInto(Label& l, const char* typed) {
    struct Run {
        static void Refusal(Label& l, ustring_t* out, int turns) {
            UIK::App::Defer([&l, life = l.LifeToken(), out, turns] {
                if (life.expired()) return;
                UIK::GInputNumberForm* f = l.OpenForm();
                if (!f) return;  // accepted and closed
                if (!f->MessageText().empty()) {
                    *out = f->MessageText();
                    plat::ui::PushKey(f->NativeWindowId(), UIK::kKeyEscape, 0);
                } else if (turns > 0) {
                    Refusal(l, out, turns - 1);
                }
            });
        }
        static void Keys(Label& l, std::string keys, ustring_t* out, int turns) {
            UIK::App::Defer([&l, life = l.LifeToken(), keys, out, turns] {
                if (life.expired()) return;
                UIK::GInputNumberForm* f = l.OpenForm();
                if (f && f->HasNativeWindow()) {
                    for (char k : keys) plat::ui::PushKey(f->NativeWindowId(), k == '<' ? UIK::kKeyBackspace : int(k), 0);
                    plat::ui::PushKey(f->NativeWindowId(), UIK::kKeyEnter, 0);
                    Refusal(l, out, 4000);
                } else if (turns > 0) {
                    Keys(l, keys, out, turns - 1);
                }
            });
        }
    };
    ustring_t refusal;
    Run::Keys(l, typed, &refusal, 4000);
    const bool accepted = l.OpenEntry();
    EXPECT_EQ(accepted, refusal.empty()) << U8(refusal);
    return refusal;
}

}  // namespace win_test
