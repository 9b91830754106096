// Holds the poll cycle back for a while: worker 1 runs its tasks one at a
// time, so a task that waits keeps the periodic poll from running until it is
// released. Console tools use it to give a journal download the line to
// itself; the program never does.
#pragma once

#include <condition_variable>
#include <mutex>

#include "model/mb_link.h"

class poll_pause_t {
public:
    // Worker 1 parks as soon as it finishes what it is doing now.
    explicit poll_pause_t(mb_link_t& link) {
        link.worker1().Post([this] {
            std::unique_lock<std::mutex> lk(mu_);
            cv_.wait(lk, [this] { return released_; });
        });
    }
    // Must run before the link stops its workers.
    ~poll_pause_t() {
        {
            std::lock_guard<std::mutex> g(mu_);
            released_ = true;
        }
        cv_.notify_all();
    }
    poll_pause_t(const poll_pause_t&) = delete;
    poll_pause_t& operator=(const poll_pause_t&) = delete;

private:
    std::mutex mu_;
    std::condition_variable cv_;
    bool released_ = false;
};
