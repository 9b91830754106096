// A worker thread that runs tasks from two lists: periodic tasks, each run
// again when its time comes, and one-shot tasks, run once in posting order.
// Both lists own their tasks. Between tasks the worker sleeps on a condition
// variable until a task is posted, the next periodic task is due, or it is
// told to stop. The lock is held only to append, remove or swap, never while
// a task runs.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "foundation/containers.h"
#include "foundation/task.h"
#include "foundation/thread.h"

class objectthread_t : public Thread_t {
public:
    // One drain of the one-shot queue takes it out at most this many times;
    // what is posted after that waits for the next drain.
    static constexpr int kDrainTurns = 5;
    // The period of a periodic task added without one.
    static constexpr int64_t kDefaultPeriodMs = 100;

    objectthread_t() = default;
    // Stops the thread if its owner has not, then destroys every task still
    // held: the periodic list first, then the queue.
    ~objectthread_t() override;

    // Appends a one-shot task; the queue owns it from now on. Wakes the worker.
    void PostTask(ITask* task);
    template <typename F>
    void Post(F&& f) { PostTask(make_task(std::forward<F>(f))); }

    // Appends a periodic task, due at once; the returned pointer is its handle
    // for removal. It then runs on the beats of a period_ms clock (the first
    // beat after a run ended; tasks of one period share their wake-ups),
    // unless it names its own delay after each run (ITask::next_run_ms).
    ITask* AddPeriodicTask(ITask* task, int64_t period_ms = kDefaultPeriodMs);
    template <typename F>
    ITask* AddPeriodic(F&& f, int64_t period_ms = kDefaultPeriodMs) {
        return AddPeriodicTask(make_task(std::forward<F>(f)), period_ms);
    }
    // Removes and destroys the periodic task with that handle. A run of it
    // under way finishes (the task is destroyed after it); it does not run
    // again. Never waits for the run.
    void RemovePeriodicTask(ITask* handle);
    // Makes every periodic task due now and wakes the worker.
    void RunPeriodicNow();

    // The stop flag: once set, no further task starts, and tasks still waiting
    // in the queue are destroyed without running. Setting it wakes the worker.
    void SetStopFlag(bool stop);
    bool StopFlag() const { return stop_.load(); }
    // Sets the stop flag and waits until the thread has ended.
    void Stop();

    size_t PeriodicCount();
    size_t QueuedCount();

protected:
    void run() override;

private:
    using Clock = std::chrono::steady_clock;
    struct Periodic {
        ITask* task;
        int64_t period_ms;
        Clock::time_point due;
    };

    // Runs each periodic task that is due once, draining the queue after each.
    void RunDuePeriodic();
    // Runs the queue out, at most kDrainTurns swaps.
    void DrainQueue();
    // Sleeps until a task is posted, a periodic task is due, or a stop or a
    // wake-up is asked for.
    void WaitForWork();

    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::condition_variable wake_cv_;
    bool woken_ = false;
    std::vector<Periodic> periodic_;
    // The periodic task running now, and whether it was removed meanwhile
    // (the worker then destroys it after the run).
    ITask* running_ = nullptr;
    bool running_removed_ = false;
    OwningPtrArray_T<ITask> queue_;
};
