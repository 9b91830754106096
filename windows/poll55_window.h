// The concentration poll window: while shown it asks the Modbus addresses
// 1 to 55 in turn for their gas concentration and sensor temperature and
// shows both, the colour of each address telling how its last request went
// (yellow while asked, green when it answered, red with the error's message
// when it did not).
//
// Threads: the step runs on worker 1 as a periodic task, between the turns of
// the link's own poll cycle (which goes on asking the default address). The
// step marks the address being asked through a waiting window-thread call and
// posts its result without waiting, so a slow window never holds up the line.
// The step and the window share only atomics: the running flag, the next
// index, the busy count and the application state's poll mode flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/concentration_poll.h"
#include "toolkit/uik.h"
#include "windows/sub_window.h"

class G_t;
class ITask;

class GPoll55Window : public SubWindow<GPoll55Window> {
public:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 700;
    static constexpr unsigned kAddresses = 55;
    static constexpr int kRows = 20;
    static constexpr int kGroups = 3;
    static constexpr UIK::GColor kAsking = UIK::RGB(255, 255, 0);
    static constexpr UIK::GColor kAnswered = UIK::RGB(0, 255, 0);
    static constexpr UIK::GColor kFailed = UIK::RGB(255, 0, 0);
    static constexpr UIK::GFontRole kValueFont = UIK::kFontFixed;
    static constexpr UIK::GFontRole kErrorFont = UIK::kFontFixedSmall;

    explicit GPoll55Window(G_t& g);
    ~GPoll55Window();

    // What the form calls (see windows/sub_window.h).
    UIK::GFrame& Frame() { return frame_; }
    UIK::GLabel& Title() { return title_; }
    void Shown() { Start(); }
    void Hidden() { Stop(); }

    void Start();
    void Stop();
    bool IsRunning() const { return shared_->running.load(); }
    // Index (0..54) of the address asked next.
    uint32_t NextIndex() const { return shared_->next.load(); }
    // A step is under way on the worker.
    bool IsBusy() const { return shared_->busy.load() > 0; }

    // The cells of address a (1..55).
    UIK::GLabel& AddressCell(unsigned a) { return *address_[a - 1]; }
    UIK::GLabel& ConcentrationCell(unsigned a) { return *concentration_[a - 1]; }
    UIK::GLabel& TemperatureCell(unsigned a) { return *temperature_[a - 1]; }
    UIK::GScrollBox& Box() { return box_; }

private:
    // What the step shares with the window. The window pointer is set and
    // cleared on the window thread and read there only.
    struct Shared_t {
        std::atomic<bool> running{false};
        std::atomic<uint32_t> next{0};
        std::atomic<int> busy{0};
        GPoll55Window* window = nullptr;
    };

    // Worker 1: one address.
    static void Step(G_t* g, std::shared_ptr<Shared_t> shared);
    // Window thread.
    void MarkAsking(uint32_t index);
    void ShowResult(uint32_t index, const luma::poll_result_t& r);

    G_t& g_;
    UIK::GFrame frame_;
    UIK::GLabel title_;
    UIK::GScrollBox box_;
    UIK::GControlsTableExt table_;
    UIK::GLabel* address_[kAddresses];
    UIK::GLabel* concentration_[kAddresses];
    UIK::GLabel* temperature_[kAddresses];
    ITask* periodic_ = nullptr;
    std::shared_ptr<Shared_t> shared_ = std::make_shared<Shared_t>();
};

using GPoll55 = GForm_T<GPoll55Window>;
