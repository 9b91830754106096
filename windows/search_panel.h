// The device search: asks every Modbus address 1..254 on the line, with the
// port settings of the connection panel, for the factory serial number, and
// lists every address that answers. Choosing an entry makes its address the
// block address and opens the port.
//
// Threads: the search runs as one task on worker 1. It applies a settings
// record for every address it asks (through the application state, which
// serialises applies) and restores the record in force before it at the end.
// Every change of the panel's controls and of the found-device list is made
// on the window thread through waiting window-thread calls, so the list and
// the array always agree. The running flag is the only value both threads
// touch directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "toolkit/uik.h"

// Layout of the search panel (316 x 400).
class GBaseScanner : public UIK::GFrame {
public:
    static constexpr int kWidth = 316;
    static constexpr int kHeight = 400;

    explicit GBaseScanner(UIK::GControl* parent = nullptr);

    UIK::GLabel title_;
    UIK::GTxtBtList list_;
    UIK::GTextButton bt_scanstop_;
    UIK::GProgressBar progress_;
    UIK::GLabel counter_;
    UIK::GOutputInt64Label label_found_;
};

class GScanner : public GBaseScanner {
public:
    static constexpr unsigned kFirstAddress = 1;
    static constexpr unsigned kLastAddress = 254;

    explicit GScanner(UIK::GControl* parent = nullptr);
    ~GScanner() override;

    // A search has been started and not yet stopped or finished.
    bool IsRunning() const;
    // A search task has not yet handed back its last result (it may still
    // be restoring the settings after a stop).
    bool IsBusy() const { return tasks_in_flight_ > 0; }
    // bt_scanstop_: Stop while running, else Start.
    void StartStop();
    void Start();
    void Stop();
    // An entry of the list was chosen.
    void Choose(int index);

private:
    // The running flag of one search: set by Start, cleared by Stop or at
    // the end, read by its task between addresses. Each search has its own,
    // so a stopped task still finishing its address is never revived by the
    // next Start.
    using RunFlag = std::shared_ptr<std::atomic<bool>>;
    // What the tasks share with the panel; the panel pointer is read and
    // cleared on the window thread only.
    struct Shared_t {
        GScanner* panel = nullptr;
    };

    // Finish for the search of flag; from_task: its task has ended.
    void Finish(const RunFlag& flag, bool from_task);
    void ShowAddress(const RunFlag& flag, unsigned address);
    void AddFound(const RunFlag& flag, uint32_t address, uint32_t serial, const ustring_t& entry);
    // The search task (worker 1).
    static void Search(std::shared_ptr<Shared_t> shared, RunFlag flag);

    std::shared_ptr<Shared_t> shared_ = std::make_shared<Shared_t>();
    RunFlag current_;
    int tasks_in_flight_ = 0;
};
