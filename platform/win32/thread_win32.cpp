#include "platform/thread.h"

#include <windows.h>

namespace plat {

namespace {

struct StartBlock {
    ThreadProc proc;
    void* arg;
};

DWORD WINAPI trampoline(LPVOID p) {
    StartBlock sb = *static_cast<StartBlock*>(p);
    delete static_cast<StartBlock*>(p);
    sb.proc(sb.arg);
    return 0;
}

HANDLE handle_of(uintptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

SysThread_t::~SysThread_t() { detach(); }

bool SysThread_t::start(ThreadProc proc, void* arg, size_t stack_bytes) {
    if (valid_) return false;
    auto* sb = new StartBlock{proc, arg};
    DWORD tid = 0;
    // The size is the stack's reserve, not its first commit.
    HANDLE h = CreateThread(nullptr, stack_bytes, &trampoline, sb, STACK_SIZE_PARAM_IS_A_RESERVATION, &tid);
    if (h == nullptr) {
        delete sb;
        return false;
    }
    handle_ = reinterpret_cast<uintptr_t>(h);
    id_ = tid;
    valid_ = true;
    return true;
}

void SysThread_t::join() {
    if (!valid_) return;
    WaitForSingleObject(handle_of(handle_), INFINITE);
    CloseHandle(handle_of(handle_));
    valid_ = false;
}

void SysThread_t::detach() {
    if (!valid_) return;
    CloseHandle(handle_of(handle_));
    valid_ = false;
}

bool SysThread_t::is_current() const { return valid_ && GetCurrentThreadId() == id_; }

uint64_t current_thread_id() { return GetCurrentThreadId(); }

void use_precise_sleeps() {
    // The system timer runs at 1 ms while anyone asks for it; a pacing thread
    // asks once and keeps it for the life of the program.
    static const bool once = [] {
        timeBeginPeriod(1);
        return true;
    }();
    (void)once;
}

void sleep_ms(uint32_t ms) { Sleep(ms); }

struct Event_t::Impl {
    HANDLE h;
};

Event_t::Event_t(bool manual_reset, bool signalled) : impl_(new Impl), manual_(manual_reset) {
    impl_->h = CreateEventW(nullptr, manual_reset ? TRUE : FALSE, signalled ? TRUE : FALSE, nullptr);
}

Event_t::~Event_t() {
    if (impl_->h) CloseHandle(impl_->h);
    delete impl_;
}

void Event_t::set() { SetEvent(impl_->h); }

void Event_t::reset() { ResetEvent(impl_->h); }

bool Event_t::is_set() const {
    // Only a manual-reset event can be looked at without taking its signal.
    if (manual_) return WaitForSingleObject(impl_->h, 0) == WAIT_OBJECT_0;
    if (WaitForSingleObject(impl_->h, 0) != WAIT_OBJECT_0) return false;
    SetEvent(impl_->h);
    return true;
}

bool Event_t::wait(int32_t timeout_ms) {
    return WaitForSingleObject(impl_->h, timeout_ms < 0 ? INFINITE : DWORD(timeout_ms)) == WAIT_OBJECT_0;
}

}  // namespace plat
