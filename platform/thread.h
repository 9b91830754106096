// Threads, events and sleeping. A thread here is a bare system thread with a
// chosen stack size; the worker classes build their life cycle on top of it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

using ThreadProc = void (*)(void* arg);

class SysThread_t {
public:
    SysThread_t() = default;
    ~SysThread_t();  // detaches a thread that was never joined
    SysThread_t(const SysThread_t&) = delete;
    SysThread_t& operator=(const SysThread_t&) = delete;

    // Starts proc(arg) on a new thread with at least stack_bytes of stack.
    // False when the system refuses (the object stays empty).
    bool start(ThreadProc proc, void* arg, size_t stack_bytes);
    // Waits without limit until the thread has ended; no-op when empty.
    void join();
    // Gives up the handle without waiting (the thread runs on by itself).
    void detach();
    bool valid() const { return valid_; }
    // True when called on this thread itself.
    bool is_current() const;
    uint64_t id() const { return id_; }

private:
    uintptr_t handle_ = 0;  // pthread_t, or the thread's HANDLE on Windows
    uint64_t id_ = 0;
    bool valid_ = false;
};

// The calling thread's system id (the kernel's thread id on Linux).
uint64_t current_thread_id();

void sleep_ms(uint32_t ms);

// Asks the system to wake the calling thread as close to its sleep deadlines
// as it can (Linux otherwise lets a sleep run up to 50 us late so that timers
// can be grouped). For threads that pace bytes at line speed.
void use_precise_sleeps();

// A waitable flag. A manual-reset event stays signalled until reset; an
// auto-reset event releases one waiter and clears itself.
class Event_t {
public:
    explicit Event_t(bool manual_reset = true, bool signalled = false);
    ~Event_t();
    Event_t(const Event_t&) = delete;
    Event_t& operator=(const Event_t&) = delete;

    void set();
    void reset();
    // Waits up to timeout_ms (negative: forever). True when signalled.
    bool wait(int32_t timeout_ms = -1);
    bool is_set() const;

private:
    struct Impl;
    Impl* impl_;
    bool manual_;
};

}  // namespace plat
