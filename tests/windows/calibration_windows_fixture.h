// Shared part of the calibration and test window tests: the simulated
// detector on a COM number with every request it receives recorded, the
// device link over the application state, and small helpers to press buttons
// and wait for the line or the window.
#pragma once

#include <bit>
#include <mutex>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "model/mb_link.h"
#include "fixture.h"
#include "procedures/write_procedures.h"

namespace calib_test {

using win_test::HeldBy;
using win_test::U8;

// One request as it reached the line: "W50221=0,0" for a write of registers
// from 50221, "R50276x1" for a read of one register.
inline std::string Describe(const std::vector<uint8_t>& f) {
    if (f.size() < 8) return "?";
    const unsigned start = unsigned(f[2]) << 8 | f[3], count = unsigned(f[4]) << 8 | f[5];
    if (f[1] == 3) return "R" + std::to_string(start) + "x" + std::to_string(count);
    if (f[1] != 16) return "F" + std::to_string(f[1]);
    std::string s = "W" + std::to_string(start) + "=";
    for (unsigned i = 0; i < count && 8 + 2 * i < f.size(); ++i) {
        if (i) s += ",";
        s += std::to_string(unsigned(f[7 + 2 * i]) << 8 | f[8 + 2 * i]);
    }
    return s;
}

// The bits of a float as the device's register pair holds them.
inline uint64_t FloatBits(float f) { return std::bit_cast<uint32_t>(f); }

// The two register words of a float, low word first, as Describe shows them.
inline std::string FloatWords(float v) {
    const uint64_t w = ParamValueFromFloat(v);
    return std::to_string(w & 0xFFFF) + "," + std::to_string(w >> 16);
}

class CalibrationWindowTest : public win_test::WindowTest {
protected:
    // The detector (adjustment mode held by owner at start) with a quick
    // calibration, the link over it, the port open.
    void StartDevice(sim::Options_t o = {}, bool poll = true) {
        o.on_request = [this](const std::vector<uint8_t>& f) {
            std::lock_guard<std::mutex> g(mu_);
            requests_.push_back(Describe(f));
        };
        StartLine(o, win_test::kRoomyTimeoutMs, 1, poll);
        ASSERT_TRUE(OpenPort());
    }

    // Runs body(window) as InLoop does, with window W shown for the body's
    // length.
    template <typename W, typename Body>
    void InShownWindow(const Body& body) {
        InWindow<W>([&](auto& form, W& w) {
            form.Show();
            body(w);
        });
    }

    void TearDown() override {
        win_test::WindowTest::TearDown();
        G_.calibration_gas_concentration = 10.0;
    }

    // Requests seen so far; writes and reads of single values only (the poll
    // cycle's block reads and link checks left out), from index from on.
    std::vector<std::string> Exchanges(size_t from = 0) {
        std::lock_guard<std::mutex> g(mu_);
        std::vector<std::string> out;
        for (size_t i = from; i < requests_.size(); ++i) {
            const std::string& r = requests_[i];
            if (r[0] == 'W' || r == "R50221x2" || r == "R50276x1") out.push_back(r);
        }
        return out;
    }
    size_t RequestCount() {
        std::lock_guard<std::mutex> g(mu_);
        return requests_.size();
    }
    bool Seen(const std::string& r, size_t from = 0) {
        for (const std::string& x : Exchanges(from))
            if (x == r) return true;
        return false;
    }

    // Runs the loop until pred holds, checking it at least every 100 ms (the
    // main window's refresh period) as well as after every event.
    static bool Until(const std::function<bool()>& pred, int ms = win_test::kWaitMs) {
        UIK::GTimer tick(100);
        tick.OnTick.Set([](UIK::GTimer*) {});
        tick.Start();
        return UIK::App::RunUntil(pred, ms);
    }

    // Waits until the device is connected with its registers read (and, when
    // given, the adjustment mode owner as wanted).
    bool WaitConnected(int owner = -1) {
        return Until(
            [&] {
                const param_snapshot_t o = G_.params.adjustment_mode_owner.snapshot();
                return G_.is_connected() && o.is_read() && (owner < 0 || o.u16() == owner);
            },
            win_test::kWaitMs);
    }
    uint16_t DeviceRegister(uint16_t r) {
        uint16_t v = 0;
        sim_->get_register(1, r, v);
        return v;
    }
    // Presses a button as the user would: it must be usable; the click runs
    // after the current message.
    static void Press(UIK::GButtonBase& b) {
        ASSERT_TRUE(b.IsUsable()) << text::utf8(b.Name());
        b.PerformClick();
        UIK::App::ProcessPending();
    }
    void Present(uint16_t owner) {
        Set(G_.params.device_type, 10);
        Set(G_.params.adjustment_mode_owner, owner);
    }

    std::mutex mu_;
    std::vector<std::string> requests_;
};

}  // namespace calib_test
