// Shared set-up of the settings windows' tests: the simulated detector on a
// COM number with its port open and the poll cycle running, and helpers that
// wait for what the detector and the window show.
#pragma once

#include <string>

#include "fixture.h"

namespace settings_test {

using namespace win_test;

class SettingsWindowTest : public WindowTest {
protected:
    // A detector at address 1 (owner: who holds adjustment mode at start, 2
    // this link), the poll cycle running, the port closed or open.
    void start(sim::Options_t o = {}, uint16_t timeout_ms = kRoomyTimeoutMs) { StartLine(std::move(o), timeout_ms); }
    void start_open(sim::Options_t o = {}, uint16_t timeout_ms = kRoomyTimeoutMs) {
        start(std::move(o), timeout_ms);
        ASSERT_TRUE(OpenPort());
    }
    static void run_in_loop(const std::function<void()>& body) { InLoop(body); }
    static bool wait_for(const std::function<bool()>& pred, int ms = kWaitMs) { return WaitFor(pred, ms); }

    static bool poll_for(const std::function<bool()>& pred, int ms = kWaitMs) { return PollFor(pred, ms); }

    uint16_t reg(uint16_t r) {
        uint16_t v = 0;
        EXPECT_TRUE(sim_->get_register(1, r, v));
        return v;
    }

    // True once a status text equal to text has been shown.
    bool saw_status(const std::string& text) const {
        for (const std::string& s : texts_.status)
            if (s == text) return true;
        return false;
    }
    bool saw_status_starting(const std::string& head) const {
        for (const std::string& s : texts_.status)
            if (s.rfind(head, 0) == 0) return true;
        return false;
    }
    bool wait_status(const std::string& text, int ms = kWaitMs) {
        return poll_for([&] { return saw_status(text); }, ms);
    }
    bool wait_error(const std::string& text, int ms = kWaitMs) {
        return poll_for(
            [&] {
                for (const std::string& s : texts_.errors)
                    if (s == text) return true;
                return false;
            },
            ms);
    }
    std::string all_status() const {
        std::string all;
        for (const std::string& s : texts_.status) all += "[" + s + "] ";
        return all;
    }
};

}  // namespace settings_test
