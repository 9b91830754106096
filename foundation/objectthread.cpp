#include "foundation/objectthread.h"

#include "platform/thread.h"

objectthread_t::~objectthread_t() {
    Stop();
    {
        ScopedLock_t g(periodic_lock_);
        periodic_.clear();
    }
    ScopedLock_t g(queue_lock_);
    queue_.clear();
}

void objectthread_t::Stop() {
    stop_.store(true);
    PrepareToDestroy();
}

void objectthread_t::PostTask(ITask* task) {
    if (!task) return;
    ScopedLock_t g(queue_lock_);
    queue_.append(task);
}

ITask* objectthread_t::AddPeriodicTask(ITask* task) {
    if (!task) return nullptr;
    ScopedLock_t g(periodic_lock_);
    periodic_.append(task);
    return task;
}

void objectthread_t::RemovePeriodicTask(ITask* handle) {
    if (!handle) return;
    ITask* found = nullptr;
    {
        ScopedLock_t g(periodic_lock_);
        for (size_t i = 0; i < periodic_.count(); ++i) {
            if (periodic_[i] == handle) {
                found = periodic_.take_at(i);
                break;
            }
        }
    }
    delete found;
}

size_t objectthread_t::PeriodicCount() {
    ScopedLock_t g(periodic_lock_);
    return periodic_.count();
}

size_t objectthread_t::QueuedCount() {
    ScopedLock_t g(queue_lock_);
    return queue_.count();
}

void objectthread_t::run() {
    while (!ProcessControlQueries()) {
        OnePass();
        if (stop_.load()) break;
        plat::sleep_ms(1);
    }
}

void objectthread_t::OnePass() {
    for (size_t i = 0; !stop_.load(); ++i) {
        DrainQueue();
        if (stop_.load()) return;
        ITask* copy = nullptr;
        {
            ScopedLock_t g(periodic_lock_);
            if (i >= periodic_.count()) return;
            if (periodic_[i]) copy = periodic_[i]->clone();
        }
        if (copy) {
            copy->run();
            delete copy;
        }
    }
}

void objectthread_t::DrainQueue() {
    for (int turn = 0; turn < kDrainTurns; ++turn) {
        OwningPtrArray_T<ITask> taken;
        {
            ScopedLock_t g(queue_lock_);
            taken.swap(queue_);
        }
        if (taken.count() == 0) return;
        for (ITask* task : taken) {
            if (stop_.load()) return;  // taken's destructor destroys the rest unrun
            task->run();
        }
    }
}
