// Worker-side tasks: a unit of work a worker thread runs. A task is owned by
// the list it sits in; periodic tasks are run on clones, so the original can
// be removed while a copy runs.
#pragma once

#include <type_traits>
#include <utility>

class ITask {
public:
    virtual ~ITask() = default;
    virtual void run() = 0;
    // A new copy of the task, owned by the caller.
    virtual ITask* clone() const = 0;
};

// A task that holds a callable (usually a lambda with its captured values).
template <typename F>
class Task_T final : public ITask {
public:
    explicit Task_T(const F& f) : f_(f) {}
    explicit Task_T(F&& f) : f_(std::move(f)) {}
    void run() override { f_(); }
    ITask* clone() const override { return new Task_T(f_); }

private:
    F f_;
};

template <typename F>
ITask* make_task(F&& f) {
    return new Task_T<std::decay_t<F>>(std::forward<F>(f));
}
