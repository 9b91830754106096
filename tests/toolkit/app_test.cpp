// The window thread: timers, the dispatcher of posted tasks, options.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/settings_store.h"
#include "helpers.h"

using namespace UIK;

namespace {

uint64_t now_ms() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

}  // namespace

TEST(Timer, IntervalBelowTenRunsAtTen) {
    GResourcesUser res;
    GTimer t(5);
    EXPECT_EQ(t.Interval(), 10u);
    t.SetInterval(0);
    EXPECT_EQ(t.Interval(), 10u);

    std::vector<uint64_t> at;
    t.OnTick.Set([&](GTimer*) { at.push_back(now_ms()); });
    uint64_t start = now_ms();
    t.Start();
    ASSERT_TRUE(App::RunUntil([&] { return at.size() >= 6; }, 3000));
    t.Stop();
    // Each tick is due a whole interval after the one before was taken up,
    // so tick i comes no sooner than (i + 1) intervals after the start. The
    // gap between two recorded times alone may look shorter: a tick is
    // recorded a moment after it was taken up.
    for (size_t i = 0; i < at.size(); ++i) EXPECT_GE(at[i] - start, 10u * (i + 1)) << "tick " << i;
}

TEST(Timer, ChangingIntervalRestartsAndStopEndsTicks) {
    GResourcesUser res;
    GTimer t(1000);
    int ticks = 0;
    t.OnTick.Set([&](GTimer*) { ++ticks; });
    t.Start();
    t.SetInterval(20);
    EXPECT_TRUE(t.IsEnabled());
    EXPECT_TRUE(App::RunUntil([&] { return ticks > 0; }, 500));

    // A timer stopped from its own tick does not tick again.
    t.OnTick.Set([&](GTimer* self) { ++ticks; self->Stop(); });
    ticks = 0;
    App::RunUntil([] { return false; }, 80);
    EXPECT_EQ(ticks, 1);
}

TEST(Dispatcher, NothingIsPostedWithoutALoop) {
    auto token = std::make_shared<int>(0);
    bool ran = false;
    EXPECT_EQ(Async::Post([token, &ran] { ran = true; }, false), 0);
    EXPECT_EQ(token.use_count(), 1) << "an unposted task must be destroyed";
    EXPECT_EQ(Async::Post([&ran] { ran = true; }, true), 0);
    EXPECT_FALSE(Async::CallOnWindowThread([] {}));
    EXPECT_FALSE(ran);
    EXPECT_EQ(App::LoopNesting(), 0);
}

TEST(Dispatcher, WorkerPostsWithAndWithoutWaiting) {
    std::thread::id window = std::this_thread::get_id();
    std::atomic<int> async_runs{0};
    std::thread::id async_thread, sync_thread;
    bool sync_done_before_return = false;
    std::thread worker;
    int async_result = -1, sync_result = -1;

    App::Defer([&] {
        worker = std::thread([&] {
            async_result = Async::Post([&] { async_thread = std::this_thread::get_id(); ++async_runs; }, false);
            bool done = false;
            sync_result = Async::Post([&] { sync_thread = std::this_thread::get_id(); done = true; }, true);
            // The waiting post returns only after the window thread ran it.
            sync_done_before_return = done;
            Async::Post([] { App::Quit(); }, false);
        });
    });
    App::RunMessageLoop(nullptr);
    worker.join();

    EXPECT_EQ(async_result, 1);
    EXPECT_EQ(sync_result, 1);
    EXPECT_EQ(async_runs.load(), 1);
    EXPECT_TRUE(sync_done_before_return);
    EXPECT_EQ(async_thread, window);
    EXPECT_EQ(sync_thread, window);
    EXPECT_EQ(Async::PendingCount(), 0);
    EXPECT_EQ(App::LoopNesting(), 0);
    EXPECT_EQ(Async::Post([] {}, true), 0) << "the loop has ended";
}

TEST(Dispatcher, WaitingPostsDoNotBlockWhenTheLoopEnds) {
    std::atomic<bool> stop{false};
    std::atomic<int> served{0}, refused{0};
    std::thread worker;
    App::Defer([&] {
        worker = std::thread([&] {
            // Keeps posting with waiting until one is refused: each must return.
            while (!stop) {
                if (Async::Post([&] { if (++served == 50) App::Quit(); }, true) == 0) {
                    ++refused;
                    break;
                }
            }
        });
    });
    App::RunMessageLoop(nullptr);
    worker.join();  // would hang if a waiting post were left blocked
    stop = true;
    EXPECT_GE(served.load(), 50);
    EXPECT_EQ(refused.load(), 1);
}

TEST(Dispatcher, ANestedLoopRunsWhatIsQueuedBehindTheEntryRunningIt) {
    // An entry waits in a nested loop for one queued behind it (as a worker's
    // waiting post would be): the nested loop must run it.
    bool behind_ran = false, served = false;
    App::Defer([&] {
        App::Defer([&] {
            served = App::RunUntil([&] { return behind_ran; }, 10000);
            App::Quit();
        });
        App::Defer([&] { behind_ran = true; });
    });
    App::RunMessageLoop(nullptr);
    EXPECT_TRUE(served);
}

TEST(Dispatcher, CallOnWindowThreadWithAndWithoutArgument) {
    static std::atomic<int> calls{0};
    static void* seen = nullptr;
    calls = 0;
    seen = nullptr;
    int marker = 0;
    std::thread worker;
    App::Defer([&] {
        worker = std::thread([&] {
            EXPECT_TRUE(Async::CallOnWindowThread([](void* a) { seen = a; ++calls; }, &marker));
            EXPECT_TRUE(Async::CallOnWindowThread([] { ++calls; App::Quit(); }));
        });
    });
    App::RunMessageLoop(nullptr);
    worker.join();
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(seen, &marker);
}

TEST(Options, DefaultsAndExactComparison) {
    // Nothing in this program sets the options, so the defaults hold.
    GOptions o = ReadOptions();
    EXPECT_FALSE(o.show_native_window_title);
    EXPECT_FALSE(o.all_forms_have_size_box);
    EXPECT_FALSE(o.allow_ask_user_permission_at_mouse);
    EXPECT_TRUE(o.default_fullscreen_forms);
    EXPECT_TRUE(o.smooth_controls_moving);
    EXPECT_FALSE(o.designer_mode);

    // Forms have no native title and no sizing border, and are placed
    // within the whole monitor.
    GForm f;
    EXPECT_EQ(f.NativeStyle(), uint32_t(plat::ui::kStylePopup));
    plat::ui::Rect whole = plat::ui::MonitorArea(10, 10, true);
    GRect area = GForm::PlacementArea(10, 10);
    EXPECT_EQ(area, (GRect{whole.x, whole.y, whole.w, whole.h}));

    auto& store = kmxCommon::EnvVars_t::instance();
    store.Set(u"FALSE", u"uik.default_fullscreen_forms");
    store.Set(u"true", u"uik.show_native_window_title");
    o = ReadOptions();
    EXPECT_TRUE(o.default_fullscreen_forms) << "only exactly \"false\" turns it off";
    EXPECT_TRUE(o.show_native_window_title);
    store.Set(u"false", u"uik.default_fullscreen_forms");
    store.Set(u"TRUE", u"uik.show_native_window_title");
    o = ReadOptions();
    EXPECT_FALSE(o.default_fullscreen_forms);
    EXPECT_FALSE(o.show_native_window_title);
    store.Set(u"true", u"uik.default_fullscreen_forms");
}
