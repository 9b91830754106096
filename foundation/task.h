// Tasks: a unit of work a thread runs (a worker, or the window thread). A
// task is owned by the list it sits in.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

class ITask {
public:
    virtual ~ITask() = default;
    virtual void run() = 0;
    // For a periodic task, after a run: the milliseconds until it wants to run
    // again; negative lets the period it was added with decide.
    virtual int64_t next_run_ms() const { return -1; }
};

// A task that holds a callable (usually a lambda with its captured values).
// A callable that returns int64_t names, as a periodic task, the milliseconds
// until it is due again (see next_run_ms); any other result is ignored.
template <typename F>
class Task_T final : public ITask {
public:
    explicit Task_T(const F& f) : f_(f) {}
    explicit Task_T(F&& f) : f_(std::move(f)) {}
    void run() override {
        if constexpr (kTimed) next_ = f_();
        else f_();
    }
    int64_t next_run_ms() const override { return next_; }

private:
    static constexpr bool kTimed = std::is_same_v<std::invoke_result_t<F&>, int64_t>;
    F f_;
    int64_t next_ = -1;
};

template <typename F>
ITask* make_task(F&& f) {
    return new Task_T<std::decay_t<F>>(std::forward<F>(f));
}
