// The concentration poll window over a simulated line with one detector at
// address 3: every address asked in turn while the window is shown, the
// outcome as the colour of the address, polling stopped when hidden.
#include "fixture.h"
#include "windows/poll55_window.h"

using namespace win_test;

namespace {

// Short timeouts keep a pass over 54 silent addresses (two tries each) quick.
constexpr uint16_t kTimeoutMs = 40;

class Poll55Window : public WindowTest {
protected:
    void SetUp() override {
        sim::Options_t o;
        o.addresses = {3};
        o.concentration = 12.5;
        StartLine(o, kTimeoutMs, /*block_id=*/3);
        // The simulated temperature drifts by up to 0.2 around its value.
        ASSERT_TRUE(sim_->set_temperature(3, 21.5));
        ASSERT_TRUE(OpenPort());
        poll_ = std::make_unique<GPoll55>(G_);
    }
    void TearDown() override {
        if (link_) StopDeviceTraffic(*link_);
        poll_.reset();
        WindowTest::TearDown();
    }
    GPoll55Window& W() { return poll_->Window(); }
    // Waits with the loop turning every 20 ms (the step's last change, the
    // busy count, posts nothing).
    static bool Until(const std::function<bool()>& pred, int ms = 60000) {
        UIK::GTimer turn(20);
        turn.Start();
        return WaitFor(pred, ms);
    }

    std::unique_ptr<GPoll55> poll_;
};

}  // namespace

TEST_F(Poll55Window, OneDetectorAtAddressThreeIsGreenAmongRedRowsAndPassesRepeat) {
    InLoop([&] {
        GPoll55Window& w = W();
        EXPECT_EQ(poll_->Width(), 1024);
        EXPECT_EQ(poll_->Height(), 700);
        EXPECT_EQ(U8(poll_->Title()), "КОНЦЕНТРАЦИИ");
        EXPECT_EQ(U8(w.AddressCell(55).Text()), "55");
        EXPECT_EQ(U8(w.ConcentrationCell(21).Text()), "-.-");
        // Address a sits in row (a - 1) mod 20 of group (a - 1) div 20.
        EXPECT_EQ(w.AddressCell(21).Top(), w.AddressCell(1).Top());
        EXPECT_GT(w.AddressCell(21).Left(), w.TemperatureCell(1).Left());
        EXPECT_EQ(w.AddressCell(1).Width(), 30);
        EXPECT_FALSE(G_.poll_mode.load());

        const size_t periodic_before = link_->worker1().PeriodicCount();
        poll_->Show();
        EXPECT_TRUE(w.IsRunning());
        EXPECT_TRUE(G_.poll_mode.load());
        EXPECT_EQ(link_->worker1().PeriodicCount(), periodic_before + 1);

        // A whole pass, and a later one under way past address 3 in which the
        // detector answered: the short time-out that keeps the silent
        // addresses quick can be missed by its answer on a loaded machine,
        // and then only that pass shows it red.
        ASSERT_TRUE(Until([&] { return w.AddressCell(55).ForeColor() == GPoll55Window::kFailed; }, 60000));
        ASSERT_TRUE(Until(
            [&] { return w.NextIndex() >= 4 && w.AddressCell(3).ForeColor() == GPoll55Window::kAnswered; }, 120000));
        EXPECT_EQ(U8(w.ConcentrationCell(3).Text()), "12.5");
        EXPECT_EQ(w.ConcentrationCell(3).FontIndex(), GPoll55Window::kValueFont);
        const std::string t = U8(w.TemperatureCell(3).Text());
        EXPECT_TRUE(t == "21.3°C" || t == "21.4°C" || t == "21.5°C" || t == "21.6°C" || t == "21.7°C") << t;
        for (unsigned a = 1; a <= 55; ++a) {
            if (a == 3) continue;
            // Red, or yellow when the second pass is asking it right now.
            const UIK::GColor c = w.AddressCell(a).ForeColor();
            ASSERT_TRUE(c == GPoll55Window::kFailed || c == GPoll55Window::kAsking) << a;
            EXPECT_EQ(w.ConcentrationCell(a).FontIndex(), GPoll55Window::kErrorFont) << a;
            EXPECT_EQ(w.TemperatureCell(a).FontIndex(), GPoll55Window::kErrorFont) << a;
            EXPECT_EQ(U8(w.ConcentrationCell(a).Text()), "Таймаут приёма данных") << a;
            EXPECT_EQ(w.ConcentrationCell(a).Text(), w.TemperatureCell(a).Text()) << a;
        }
        // Nothing went to the message panel.
        EXPECT_TRUE(texts_.errors.empty());

        poll_->Hide();
        EXPECT_FALSE(w.IsRunning());
        EXPECT_FALSE(G_.poll_mode.load());
        EXPECT_EQ(link_->worker1().PeriodicCount(), periodic_before);
    });
}

TEST_F(Poll55Window, HidingMidStepDropsTheResultAndTheNextShowingStartsAtAddressOne) {
    InLoop([&] {
        GPoll55Window& w = W();
        poll_->Show();
        // Hidden while address 2 is asked (yellow, no answer yet).
        ASSERT_TRUE(Until([&] { return w.AddressCell(2).ForeColor() == GPoll55Window::kAsking; }, 30000));
        poll_->Hide();
        ASSERT_TRUE(Until([&] { return !w.IsBusy(); }, 30000));
        UIK::App::ProcessPending();
        EXPECT_EQ(w.NextIndex(), 0u);
        EXPECT_EQ(U8(w.ConcentrationCell(2).Text()), "-.-");
        EXPECT_EQ(w.AddressCell(2).ForeColor(), GPoll55Window::kAsking);
        // Address 1 answered red before; shown again, it is asked first.
        ASSERT_EQ(w.AddressCell(1).ForeColor(), GPoll55Window::kFailed);
        poll_->Show();
        ASSERT_TRUE(Until([&] { return w.AddressCell(1).ForeColor() == GPoll55Window::kAsking; }, 30000));
        EXPECT_EQ(U8(w.ConcentrationCell(3).Text()), "-.-");
        poll_->Hide();
        ASSERT_TRUE(Until([&] { return !w.IsBusy(); }, 30000));
    });
}
