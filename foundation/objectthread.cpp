#include "foundation/objectthread.h"

namespace {

// The first beat of a period_ms clock after `after`. Tasks of one period run
// on the same beats of the steady clock, so they share their wake-ups.
std::chrono::steady_clock::time_point NextBeat(std::chrono::steady_clock::time_point after, int64_t period_ms) {
    if (period_ms <= 0) return after;
    const std::chrono::milliseconds period(period_ms);
    const auto beats = after.time_since_epoch() / period + 1;
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(period * beats));
}

}  // namespace

objectthread_t::~objectthread_t() {
    Stop();
    // Destroyed outside the lock: a task's destructor may post to this worker.
    std::vector<Periodic> periodic;
    OwningPtrArray_T<ITask> queue;
    {
        std::lock_guard<std::mutex> g(lock_);
        periodic.swap(periodic_);
        queue.swap(queue_);
    }
    for (Periodic& p : periodic) delete p.task;
    queue.clear();
}

void objectthread_t::SetStopFlag(bool stop) {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_.store(stop);
    }
    wake_cv_.notify_all();
}

void objectthread_t::Stop() {
    SetStopFlag(true);
    PrepareToDestroy();
}

void objectthread_t::PostTask(ITask* task) {
    if (!task) return;
    {
        std::lock_guard<std::mutex> g(lock_);
        queue_.append(task);
    }
    wake_cv_.notify_all();
}

ITask* objectthread_t::AddPeriodicTask(ITask* task, int64_t period_ms) {
    if (!task) return nullptr;
    {
        std::lock_guard<std::mutex> g(lock_);
        periodic_.push_back(Periodic{task, period_ms < 0 ? 0 : period_ms, Clock::now()});
        woken_ = true;
    }
    wake_cv_.notify_all();
    return task;
}

void objectthread_t::RemovePeriodicTask(ITask* handle) {
    if (!handle) return;
    ITask* found = nullptr;
    {
        std::lock_guard<std::mutex> g(lock_);
        for (size_t i = 0; i < periodic_.size(); ++i) {
            if (periodic_[i].task != handle) continue;
            periodic_.erase(periodic_.begin() + std::ptrdiff_t(i));
            if (handle == running_) running_removed_ = true;
            else found = handle;
            break;
        }
    }
    delete found;
}

void objectthread_t::RunPeriodicNow() {
    {
        std::lock_guard<std::mutex> g(lock_);
        const Clock::time_point now = Clock::now();
        for (Periodic& p : periodic_) p.due = now;
        woken_ = true;
    }
    wake_cv_.notify_all();
}

size_t objectthread_t::PeriodicCount() {
    std::lock_guard<std::mutex> g(lock_);
    return periodic_.size();
}

size_t objectthread_t::QueuedCount() {
    std::lock_guard<std::mutex> g(lock_);
    return queue_.count();
}

void objectthread_t::run() {
    while (!ProcessControlQueries() && !stop_.load()) {
        DrainQueue();
        if (stop_.load()) break;
        RunDuePeriodic();
        if (stop_.load()) break;
        WaitForWork();
    }
}

void objectthread_t::RunDuePeriodic() {
    const Clock::time_point pass = Clock::now();
    for (size_t i = 0; !stop_.load(); ++i) {
        ITask* task = nullptr;
        {
            std::lock_guard<std::mutex> g(lock_);
            // A task added or removed meanwhile shifts the list; one skipped
            // that way is due on the next pass.
            for (; i < periodic_.size(); ++i) {
                if (periodic_[i].due <= pass) break;
            }
            if (i >= periodic_.size()) return;
            task = periodic_[i].task;
            running_ = task;
            running_removed_ = false;
        }
        task->run();
        bool removed;
        {
            std::lock_guard<std::mutex> g(lock_);
            running_ = nullptr;
            removed = running_removed_;
            if (!removed) {
                for (Periodic& p : periodic_) {
                    if (p.task != task) continue;
                    const int64_t next = task->next_run_ms();
                    const Clock::time_point end = Clock::now();
                    p.due = next >= 0 ? end + std::chrono::milliseconds(next) : NextBeat(end, p.period_ms);
                    break;
                }
            }
        }
        if (removed) delete task;
        DrainQueue();
    }
}

void objectthread_t::WaitForWork() {
    std::unique_lock<std::mutex> g(lock_);
    const auto ready = [this] { return woken_ || stop_.load() || queue_.count() != 0; };
    if (periodic_.empty()) {
        wake_cv_.wait(g, ready);
    } else {
        Clock::time_point due = periodic_.front().due;
        for (const Periodic& p : periodic_) due = std::min(due, p.due);
        wake_cv_.wait_until(g, due, ready);
    }
    woken_ = false;
}

void objectthread_t::DrainQueue() {
    for (int turn = 0; turn < kDrainTurns; ++turn) {
        OwningPtrArray_T<ITask> taken;
        {
            std::lock_guard<std::mutex> g(lock_);
            taken.swap(queue_);
        }
        if (taken.count() == 0) return;
        for (ITask* task : taken) {
            if (stop_.load()) return;  // taken's destructor destroys the rest unrun
            task->run();
        }
    }
}
