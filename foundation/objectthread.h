// A worker thread that runs tasks from two lists: periodic tasks, run again and
// again on every pass, and one-shot tasks, run once in posting order. Both
// lists own their tasks. Their locks are held only to append, remove, swap or
// clone, never while a task runs.
#pragma once

#include <atomic>
#include <type_traits>
#include <utility>

#include "foundation/containers.h"
#include "foundation/lock.h"
#include "foundation/task.h"
#include "foundation/thread.h"

class objectthread_t : public Thread_t {
public:
    // One drain of the one-shot queue takes it out at most this many times;
    // what is posted after that waits for the next drain.
    static constexpr int kDrainTurns = 5;

    objectthread_t() = default;
    // Stops the thread if its owner has not, then destroys every task still
    // held: the periodic list first, then the queue.
    ~objectthread_t() override;

    // Appends a one-shot task; the queue owns it from now on.
    void PostTask(ITask* task);
    template <typename F>
    void Post(F&& f) { PostTask(make_task(std::forward<F>(f))); }

    // Appends a periodic task; the returned pointer is its handle for removal.
    ITask* AddPeriodicTask(ITask* task);
    template <typename F>
    ITask* AddPeriodic(F&& f) { return AddPeriodicTask(make_task(std::forward<F>(f))); }
    // Removes and destroys the periodic task with that handle. A copy that is
    // running at the moment finishes; the task does not run again.
    void RemovePeriodicTask(ITask* handle);

    // The stop flag: once set, no further task starts, and tasks still waiting
    // in the queue are destroyed without running.
    void SetStopFlag(bool stop) { stop_.store(stop); }
    bool StopFlag() const { return stop_.load(); }
    // Sets the stop flag and waits until the thread has ended.
    void Stop();

    size_t PeriodicCount();
    size_t QueuedCount();

protected:
    void run() override;

private:
    void OnePass();
    // Runs the queue out, at most kDrainTurns swaps.
    void DrainQueue();

    std::atomic<bool> stop_{false};
    RecursiveLock_t periodic_lock_;
    OwningPtrArray_T<ITask> periodic_;
    RecursiveLock_t queue_lock_;
    OwningPtrArray_T<ITask> queue_;
};
