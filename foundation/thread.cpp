#include "foundation/thread.h"

#include <mutex>

#include "platform/thread.h"

struct Thread_PrivateData_t {
    mutable std::mutex state_lock;
    int state = Thread_t::kIdle;
    std::mutex control_lock;
    bool stop_requested = false;
    plat::Event_t stop_event{true, false};
    plat::SysThread_t thread;
    std::mutex handle_lock;  // serialises Start and PrepareToDestroy on the handle
};

Thread_t::Thread_t() : d_(new Thread_PrivateData_t) {}

Thread_t::~Thread_t() {
    PrepareToDestroy();
    {
        std::lock_guard<std::mutex> g(d_->handle_lock);
        d_->thread.detach();  // only when destroyed from its own thread
    }
    set_state(0);
    delete d_;
}

int Thread_t::state() const {
    std::lock_guard<std::mutex> g(d_->state_lock);
    return d_->state;
}

void Thread_t::set_state(int s) {
    std::lock_guard<std::mutex> g(d_->state_lock);
    d_->state = s;
}

plat::Event_t& Thread_t::stop_event() { return d_->stop_event; }

bool Thread_t::Start() {
    std::lock_guard<std::mutex> h(d_->handle_lock);
    {
        std::lock_guard<std::mutex> g(d_->state_lock);
        if (d_->state != kIdle && d_->state != kFinished) return true;
        d_->state = kStarting;
    }
    d_->stop_event.reset();
    {
        // A restarted thread must not see the previous run's stop request.
        std::lock_guard<std::mutex> g(d_->control_lock);
        d_->stop_requested = false;
    }
    d_->thread.join();  // the previous, finished run
    if (!d_->thread.start(&Thread_Realization_Proc, this, kStackSize)) {
        set_state(kIdle);
        return false;
    }
    return true;
}

void Thread_t::PrepareToDestroy() {
    int s = state();
    if (s == kStarting || s == kEntered || s == kRunning || s == kLeaving) {
        {
            std::lock_guard<std::mutex> g(d_->control_lock);
            d_->stop_requested = true;
        }
        d_->stop_event.set();
    }
    std::lock_guard<std::mutex> h(d_->handle_lock);
    // Joining also covers a thread that was created but has not entered yet,
    // which would otherwise run on after its control block is gone.
    if (d_->thread.valid() && !d_->thread.is_current()) d_->thread.join();
}

int Thread_t::ProcessControlQueries() {
    std::lock_guard<std::mutex> g(d_->control_lock);
    return d_->stop_requested ? 1 : 0;
}

void Thread_t::Thread_Realization_Proc(void* p) {
    auto* self = static_cast<Thread_t*>(p);
    self->set_state(kEntered);
    if (self->init()) {
        self->set_state(kRunning);
        self->run();
    }
    self->set_state(kLeaving);
    self->on_exit();
    self->set_state(kFinished);
}
