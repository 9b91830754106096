// The device procedures of the calibration and test windows, shared with
// luma10ctl: the sensor calibration's start task, its status watcher and the
// texts of its states, and the commands that switch the DAC calibration mode
// and the output tests. Nothing here touches a control; the windows and the
// command-line tool call the same functions.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "foundation/task.h"
#include "foundation/ustring.h"

class G_t;
struct ParamMap_t;
struct param_snapshot_t;

namespace calibration {

// The concentration of the span calibration as the window accepts it: below
// 0.01 becomes 0.01, above 100 becomes 100, then rounded to two decimals. A
// value that is not a number becomes 0.01.
double FilterConcentration(double value);

// What register 50192 means to the user: the text of the state table (empty
// when the state has not been read or is unknown) and whether the device is
// still calibrating (states 1 and 2). Zero or span is decided from register
// 50221 (read and 0: zero correction; read and above 0: span). While the state
// is 2 and start_tick is set, the seconds since start_tick are appended.
struct state_view_t {
    ustring_t text;
    bool running = false;
    bool read = false;      // register 50192 has been read
    uint16_t state = 0;     // its value when read
};
state_view_t StateView(const ParamMap_t& m, uint32_t start_tick, uint32_t now_tick);
class status_watcher_t;
// The view a window or command shows: steps the watcher with the same reading
// of the state register the view is made of, so the two always agree.
state_view_t StateView(const G_t& g, status_watcher_t& watcher, uint32_t now_tick);

// Remembers when the device's state turned to 1 or 2. step() runs on worker 1
// (the periodic task of PeriodicTask, which follows the state while no window
// looks) and on the thread that shows the state (StateView); the steps take a
// lock, and start_tick() is an atomic any thread may read.
class status_watcher_t {
public:
    // One watcher step: skipped while the application is polling a range of
    // addresses (the poll mode flag).
    void step(const G_t& g, uint32_t now_tick);
    // The step with a reading of the state register; returns the start tick.
    uint32_t step(const G_t& g, const param_snapshot_t& state, uint32_t now_tick);
    uint32_t start_tick() const { return start_tick_.load(std::memory_order_relaxed); }

private:
    std::mutex step_lock_;
    std::atomic<uint32_t> start_tick_{0};
    uint16_t previous_ = 0;  // under step_lock_
};

// A periodic task for worker 1 that steps the watcher. The task shares the
// watcher with its owner, so a run still in progress when the owner removes
// the task never touches a destroyed watcher.
ITask* PeriodicTask(G_t& g, std::shared_ptr<status_watcher_t> watcher);

// What became of a calibration start. not_started: a step failed or the
// device refused the start, nothing runs. started: the device took the start
// command, or its reply was lost and register 50192 then showed the device
// calibrating. unknown: the reply was lost and 50192 could not be read
// either, so the calibration may be running.
enum class start_outcome_t { not_started, started, unknown };

// The start task of a calibration, on worker 1: writes the concentration into
// register 50221 (0 for zero correction), reads it back and checks it, writes
// the calibration point into register 3005, asks for adjustment mode, then
// writes the start command (register 50191 := 1). After a start command whose
// reply was lost, register 50192 tells whether the device started (one failed
// read is tried again). Every failure is shown as a red message.
start_outcome_t RunZeroCorrectionStart(G_t& g);
start_outcome_t RunSpanStart(G_t& g, float concentration);

// The message of a span start at a concentration below 0.01.
extern const char16_t* const kZeroConcentrationRefusal;

}  // namespace calibration

// The commands that switch a device mode on or off (SendCommand: adjustment
// mode request first). Window thread or worker.
namespace device_modes {
void SwitchDacCalibration(G_t& g, bool on);
void SwitchCurrentTest(G_t& g, bool on);
void SwitchOutputsTest(G_t& g, bool on);
}  // namespace device_modes
