#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/objectthread.h"
#include "foundation/thread.h"
#include "platform/thread.h"

namespace {

// What the tasks did, in order, shared between the worker and the test.
struct Log {
    std::mutex m;
    std::vector<std::string> entries;
    std::atomic<int> runs{0};
    std::atomic<int> destroyed{0};

    void add(const std::string& s) {
        std::lock_guard<std::mutex> g(m);
        entries.push_back(s);
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> g(m);
        return entries;
    }
};

// Records its run and its destruction.
class LoggingTask final : public ITask {
public:
    LoggingTask(Log* log, std::string name, std::function<void()> extra = {})
        : log_(log), name_(std::move(name)), extra_(std::move(extra)) {}
    ~LoggingTask() override { log_->destroyed++; }
    void run() override {
        log_->runs++;
        log_->add(name_);
        if (extra_) extra_();
    }

private:
    Log* log_;
    std::string name_;
    std::function<void()> extra_;
};

// Waits until the worker has finished one more whole pass after this call.
void wait_for_pass(objectthread_t& w) {
    plat::Event_t done(true, false);
    for (int k = 0; k < 2; ++k) {
        done.reset();
        w.Post([&done] { done.set(); });
        ASSERT_TRUE(done.wait(5000));
    }
}

}  // namespace

TEST(Worker, OneShotTasksRunOnceInPostingOrderAndAreDestroyed) {
    Log log;
    {
        objectthread_t w;
        for (const char* n : {"a", "b", "c"}) w.PostTask(new LoggingTask(&log, n));
        w.Start();
        wait_for_pass(w);
        EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"a", "b", "c"}));
        EXPECT_EQ(log.runs.load(), 3);
        EXPECT_EQ(log.destroyed.load(), 3);
        EXPECT_EQ(w.QueuedCount(), 0u);
    }
}

TEST(Worker, DrainTakesFiveTurnsBeforeTheNextPeriodicTask) {
    Log log;
    objectthread_t w;
    w.AddPeriodicTask(new LoggingTask(&log, "P"));
    // Each chained task posts the next while it runs; every post lands in the
    // next turn of the same drain, until the five turns are used up.
    std::function<void(int)> chain = [&](int k) {
        w.PostTask(new LoggingTask(&log, "T" + std::to_string(k), [&, k] {
            if (k < 8) chain(k + 1);
        }));
    };
    chain(1);
    w.Start();
    for (int i = 0; i < 500 && log.runs.load() < 12; ++i) plat::sleep_ms(2);
    w.Stop();
    auto e = log.snapshot();
    ASSERT_GE(e.size(), 10u);
    std::vector<std::string> head(e.begin(), e.begin() + 10);
    EXPECT_EQ(head, (std::vector<std::string>{"T1", "T2", "T3", "T4", "T5", "P", "T6", "T7", "T8", "P"}));
}

TEST(Worker, StopFlagDestroysWaitingTasksUnrun) {
    Log log;
    {
        objectthread_t w;
        w.PostTask(new LoggingTask(&log, "a", [&w] { w.SetStopFlag(true); }));
        w.PostTask(new LoggingTask(&log, "b"));
        w.PostTask(new LoggingTask(&log, "c"));
        w.Start();
        for (int i = 0; i < 1000 && w.state() != Thread_t::kFinished; ++i) plat::sleep_ms(1);
        EXPECT_EQ(w.state(), Thread_t::kFinished);
        EXPECT_EQ(log.destroyed.load(), 3);
        // Posted after the end: destroyed with the worker, never run.
        w.PostTask(new LoggingTask(&log, "d"));
        w.AddPeriodicTask(new LoggingTask(&log, "p"));
    }
    EXPECT_EQ(log.snapshot(), std::vector<std::string>{"a"});
    EXPECT_EQ(log.destroyed.load(), 5);
}

TEST(Worker, RemovingAPeriodicTaskWhileItRuns) {
    Log log;
    plat::Event_t started(true, false), go(true, false);
    std::atomic<bool> finished{false};
    objectthread_t w;
    ITask* handle = w.AddPeriodicTask(new LoggingTask(&log, "P", [&] {
        started.set();
        go.wait(5000);
        finished = true;
    }));
    w.Start();
    ASSERT_TRUE(started.wait(5000));
    w.RemovePeriodicTask(handle);  // must not wait for the run
    EXPECT_EQ(w.PeriodicCount(), 0u);
    EXPECT_FALSE(finished.load());
    go.set();
    wait_for_pass(w);
    wait_for_pass(w);
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(log.snapshot(), std::vector<std::string>{"P"});
    // Periodic tasks are run in place, never copied: the one task, destroyed
    // once its run had finished.
    EXPECT_EQ(log.destroyed.load(), 1);
}

// A worker sleeps between its tasks: a periodic task runs when it is due (by
// its period, or by the delay it names itself), a post wakes the worker at
// once, and a stop does not wait for the next due time.
TEST(Worker, SleepsUntilAPostOrTheNextDueTask) {
    std::atomic<int> fixed{0}, timed{0};
    objectthread_t w;
    w.AddPeriodic([&] { fixed++; }, 60000);
    w.AddPeriodic([&]() -> int64_t {
        timed++;
        return 60000;
    });
    w.Start();
    for (int i = 0; i < 5000 && (fixed.load() < 1 || timed.load() < 1); ++i) plat::sleep_ms(1);
    ASSERT_EQ(fixed.load(), 1);
    ASSERT_EQ(timed.load(), 1);
    // Posted tasks run (wait_for_pass would fail otherwise); the periodic
    // ones are not due and stay put.
    for (int k = 0; k < 3; ++k) wait_for_pass(w);
    EXPECT_EQ(fixed.load(), 1);
    EXPECT_EQ(timed.load(), 1);
    w.RunPeriodicNow();
    for (int i = 0; i < 5000 && (fixed.load() < 2 || timed.load() < 2); ++i) plat::sleep_ms(1);
    EXPECT_EQ(fixed.load(), 2);
    EXPECT_EQ(timed.load(), 2);
    const auto t0 = std::chrono::steady_clock::now();
    w.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
    EXPECT_EQ(w.state(), Thread_t::kFinished);
}

namespace {
class LifeCycle final : public Thread_t {
public:
    explicit LifeCycle(bool init_ok) : init_ok_(init_ok) {}
    ~LifeCycle() override { PrepareToDestroy(); }
    std::atomic<int> runs{0}, exits{0}, seen_state{0};

protected:
    bool init() override { return init_ok_; }
    void run() override {
        seen_state = state();
        runs++;
        stop_event().wait(-1);
    }
    void on_exit() override { exits++; }

private:
    bool init_ok_;
};
}  // namespace

TEST(Thread, LifeCycleAndRestart) {
    LifeCycle t(true);
    EXPECT_EQ(t.state(), Thread_t::kIdle);
    EXPECT_EQ(t.ProcessControlQueries(), 0);
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(t.Start());
        for (int i = 0; i < 1000 && t.runs.load() < round; ++i) plat::sleep_ms(1);
        EXPECT_EQ(t.runs.load(), round);
        EXPECT_EQ(t.seen_state.load(), Thread_t::kRunning);
        t.Start();  // running: nothing happens
        t.PrepareToDestroy();
        EXPECT_EQ(t.state(), Thread_t::kFinished);
        EXPECT_EQ(t.ProcessControlQueries(), 1);
        EXPECT_EQ(t.exits.load(), round);
    }

    LifeCycle refused(false);
    refused.Start();
    refused.PrepareToDestroy();
    for (int i = 0; i < 1000 && refused.state() != Thread_t::kFinished; ++i) plat::sleep_ms(1);
    EXPECT_EQ(refused.state(), Thread_t::kFinished);
    EXPECT_EQ(refused.runs.load(), 0);
    EXPECT_EQ(refused.exits.load(), 1);
}

TEST(Thread, DestroyedRightAfterStart) {
    // The thread may not have entered yet; destruction must still wait for it.
    for (int i = 0; i < 50; ++i) {
        Log log;
        auto* w = new objectthread_t;
        w->Post([&log] { log.add("x"); });
        w->Start();
        delete w;
        EXPECT_LE(log.snapshot().size(), 1u);
    }
}

TEST(Event, ManualStaysSetAutoReleasesOneWaiter) {
    plat::Event_t manual(true, false), autoreset(false, true);
    EXPECT_FALSE(manual.wait(0));
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0));
    manual.reset();
    EXPECT_FALSE(manual.wait(5));

    EXPECT_TRUE(autoreset.wait(0));
    EXPECT_FALSE(autoreset.wait(0));
    std::atomic<int> woken{0};
    plat::SysThread_t a, b;
    auto waiter = [](void* p) {
        auto* pair = static_cast<std::pair<plat::Event_t*, std::atomic<int>*>*>(p);
        if (pair->first->wait(300)) (*pair->second)++;
    };
    std::pair<plat::Event_t*, std::atomic<int>*> arg{&autoreset, &woken};
    ASSERT_TRUE(a.start(waiter, &arg, 64000));
    ASSERT_TRUE(b.start(waiter, &arg, 64000));
    plat::sleep_ms(20);
    autoreset.set();
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 1);
}
