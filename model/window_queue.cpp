#include "model/window_queue.h"

#include <chrono>
#include <future>

void window_queue_t::post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> g(mu_);
        tasks_.push_back(std::move(fn));
    }
    cv_.notify_one();
}

void window_queue_t::call(const std::function<void()>& fn) {
    std::promise<void> ran;
    post([&] {
        fn();
        ran.set_value();
    });
    ran.get_future().wait();
}

void window_queue_t::run_until(const std::function<bool()>& done, const std::function<void()>& on_idle) {
    std::unique_lock<std::mutex> lk(mu_);
    while (!done()) {
        if (tasks_.empty()) {
            if (cv_.wait_for(lk, std::chrono::milliseconds(100)) == std::cv_status::timeout && on_idle) {
                lk.unlock();
                on_idle();
                lk.lock();
            }
            continue;
        }
        std::function<void()> fn = std::move(tasks_.front());
        tasks_.pop_front();
        lk.unlock();
        fn();
        lk.lock();
    }
}

std::function<bool(std::function<void()>)> window_queue_t::poster() {
    return [this](std::function<void()> fn) {
        post(std::move(fn));
        return true;
    };
}
