// A system thread with a life cycle: idle -> starting -> entered -> running ->
// leaving -> finished; a finished thread may be started again. Subclasses
// supply run() and may supply init() and on_exit().
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {
class Event_t;
}

struct Thread_PrivateData_t;

class Thread_t {
public:
    enum State : int {
        kIdle = 2,
        kStarting = 4,
        kEntered = 8,
        kRunning = 16,
        kLeaving = 32,
        kFinished = 128,
    };
    static constexpr size_t kStackSize = 64000;

    Thread_t();
    // Stops and waits for the thread. A subclass whose run() uses its own
    // members must call PrepareToDestroy() in its own destructor first.
    virtual ~Thread_t();
    Thread_t(const Thread_t&) = delete;
    Thread_t& operator=(const Thread_t&) = delete;

    // Starts the thread if it is idle or finished; otherwise does nothing.
    // False when the system could not create the thread.
    bool Start();
    // Asks a live thread to stop (flag and stop event) and waits without limit
    // until it has ended. Called from the thread itself it only asks.
    void PrepareToDestroy();
    // 1 when a stop has been requested, otherwise 0. run() calls it between passes.
    int ProcessControlQueries();

    int state() const;
    // Manual-reset, signalled by PrepareToDestroy(): run() may wait on it.
    plat::Event_t& stop_event();

protected:
    virtual bool init() { return true; }
    virtual void run() = 0;
    virtual void on_exit() {}

private:
    static void Thread_Realization_Proc(void* self);
    void set_state(int s);

    Thread_PrivateData_t* d_;
};
