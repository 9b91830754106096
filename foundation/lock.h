// Recursive lock with a recursion counter, and a scoped guard that leaves the
// lock on scope exit only if it holds it.
#pragma once

#include <atomic>
#include <mutex>

class RecursiveLock_t {
public:
    void enter() { m_.lock(); depth_.fetch_add(1, std::memory_order_relaxed); }
    bool try_enter() {
        if (!m_.try_lock()) return false;
        depth_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    void leave() { depth_.fetch_sub(1, std::memory_order_relaxed); m_.unlock(); }
    // Total enters minus leaves over all threads; informative only.
    int depth() const { return depth_.load(std::memory_order_relaxed); }

    // BasicLockable, so std::unique_lock and std::condition_variable_any work.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex m_;
    std::atomic<int> depth_{0};
};

class ScopedLock_t {
public:
    explicit ScopedLock_t(RecursiveLock_t& lock) : lock_(&lock) { lock_->enter(); held_ = true; }
    ~ScopedLock_t() { release(); }
    void release() {
        if (held_) { held_ = false; lock_->leave(); }
    }
    ScopedLock_t(const ScopedLock_t&) = delete;
    ScopedLock_t& operator=(const ScopedLock_t&) = delete;

private:
    RecursiveLock_t* lock_;
    bool held_ = false;
};
