#include "platform/thread.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <limits.h>
#include <mutex>

namespace plat {

namespace {

struct StartBlock {
    ThreadProc proc;
    void* arg;
};

void* trampoline(void* p) {
    StartBlock sb = *static_cast<StartBlock*>(p);
    delete static_cast<StartBlock*>(p);
    sb.proc(sb.arg);
    return nullptr;
}

size_t usable_stack(size_t want) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Sanitizer builds grow every frame several times over.
    want *= 8;
#endif
    long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0) page = 4096;
    size_t p = static_cast<size_t>(page);
    if (want < static_cast<size_t>(PTHREAD_STACK_MIN)) want = PTHREAD_STACK_MIN;
    return (want + p - 1) / p * p;
}

}  // namespace

SysThread_t::~SysThread_t() { detach(); }

bool SysThread_t::start(ThreadProc proc, void* arg, size_t stack_bytes) {
    if (valid_) return false;
    pthread_attr_t attr;
    if (::pthread_attr_init(&attr) != 0) return false;
    ::pthread_attr_setstacksize(&attr, usable_stack(stack_bytes));
    auto* sb = new StartBlock{proc, arg};
    pthread_t t;
    int rc = ::pthread_create(&t, &attr, &trampoline, sb);
    ::pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete sb;
        return false;
    }
    handle_ = static_cast<unsigned long>(t);
    id_ = static_cast<uint64_t>(t);
    valid_ = true;
    return true;
}

void SysThread_t::join() {
    if (!valid_) return;
    ::pthread_join(static_cast<pthread_t>(handle_), nullptr);
    valid_ = false;
}

void SysThread_t::detach() {
    if (!valid_) return;
    ::pthread_detach(static_cast<pthread_t>(handle_));
    valid_ = false;
}

bool SysThread_t::is_current() const {
    return valid_ && ::pthread_equal(static_cast<pthread_t>(handle_), ::pthread_self());
}

uint64_t current_thread_id() { return static_cast<uint64_t>(::syscall(SYS_gettid)); }

void use_precise_sleeps() {
    // The timer slack is per thread; 1 ns is the smallest the kernel takes.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void sleep_ms(uint32_t ms) {
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

struct Event_t::Impl {
    std::mutex m;
    std::condition_variable cv;
    bool signalled = false;
};

Event_t::Event_t(bool manual_reset, bool signalled) : impl_(new Impl), manual_(manual_reset) {
    impl_->signalled = signalled;
}

Event_t::~Event_t() { delete impl_; }

void Event_t::set() {
    std::lock_guard<std::mutex> g(impl_->m);
    impl_->signalled = true;
    if (manual_) impl_->cv.notify_all();
    else impl_->cv.notify_one();
}

void Event_t::reset() {
    std::lock_guard<std::mutex> g(impl_->m);
    impl_->signalled = false;
}

bool Event_t::is_set() const {
    std::lock_guard<std::mutex> g(impl_->m);
    return impl_->signalled;
}

bool Event_t::wait(int32_t timeout_ms) {
    std::unique_lock<std::mutex> lk(impl_->m);
    auto ready = [this] { return impl_->signalled; };
    if (timeout_ms < 0) impl_->cv.wait(lk, ready);
    else if (!impl_->cv.wait_for(lk, std::chrono::milliseconds(timeout_ms), ready)) return false;
    if (!manual_) impl_->signalled = false;
    return true;
}

}  // namespace plat
