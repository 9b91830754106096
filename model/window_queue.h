// A queue of window-thread tasks for programs without the windowing toolkit
// (the command-line tool, benchmarks, tests): the thread that calls run_until
// plays the window thread, and workers hand it tasks with or without waiting,
// as they would to the toolkit's dispatcher.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class window_queue_t {
public:
    // Any thread: queues fn and returns at once.
    void post(std::function<void()> fn);
    // Any thread but the serving one: runs fn on the serving thread and
    // returns once it has run.
    void call(const std::function<void()>& fn);
    // Serves tasks in posting order until done() answers true (checked before
    // each task); on_idle (may be empty) runs whenever the queue has been
    // empty for about 100 ms.
    void run_until(const std::function<bool()>& done, const std::function<void()>& on_idle = {});
    // A poster for G_t::window_poster.
    std::function<bool(std::function<void()>)> poster();

private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
};
