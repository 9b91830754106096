#include "model/app_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Stands in for the main window: records what reaches it.
struct Recorder : IWindowSide {
    std::vector<std::string> calls;
    void show_status_text(const ustring_t& t, uint64_t tick) override {
        calls.push_back("status " + text::utf8(t) + (tick ? "" : " (no tick)"));
    }
    void show_info_message(const ustring_t& t, uint32_t ms) override {
        calls.push_back("info " + std::to_string(ms) + " " + text::utf8(t));
    }
    void show_error_message(const ustring_t& t, uint32_t ms) override {
        calls.push_back("error " + std::to_string(ms) + " " + text::utf8(t));
    }
    void clear_message() override { calls.push_back("clear"); }
};

// Tasks posted "to the window thread" wait here until the test runs them.
struct WindowQueue {
    std::vector<std::function<void()>> tasks;
    G_t::WindowPoster poster() {
        return [this](std::function<void()> t) {
            tasks.push_back(std::move(t));
            return true;
        };
    }
    void run_all() {
        auto taken = std::move(tasks);
        tasks.clear();
        for (auto& t : taken) t();
    }
};

TEST(AppState, StartsWithTheFixedValues) {
    auto g = std::make_unique<G_t>();
    EXPECT_FALSE(g->poll_mode);
    EXPECT_EQ(g->connection_settings().port_settings.speed, 9600u);
    EXPECT_EQ(g->connection_settings().port_settings.port, 1);
    EXPECT_EQ(g->connection_settings().timeout, 1000);
    EXPECT_EQ(g->connection_settings().block_id, 1);
    EXPECT_DOUBLE_EQ(g->calibration_gas_concentration, 10.0);
    EXPECT_EQ(g->params.params.count(), 121u);
    EXPECT_FALSE(g->is_port_open());
    EXPECT_FALSE(g->is_connected());
    EXPECT_FALSE(g->adjustment_mode_on());
    EXPECT_FALSE(g->adjustment_mode_off());
    // Without a link there is nowhere to send anything.
    EXPECT_TRUE(g->save_settings().is_error());
    ustring_t text;
    EXPECT_FALSE(g->apply_connection_settings(ConnectionSettings{}, &text));
    g->post_to_worker1(make_task([] {}));  // destroyed, not leaked (ASan)
    EXPECT_EQ(g->add_periodic_task(make_task([] {})), nullptr);
}

TEST(AppState, WindowTextsFindTheMainWindowWhenTheyRun) {
    auto g = std::make_unique<G_t>();
    WindowQueue q;
    Recorder r;
    // Without a poster (no window thread) texts are dropped at once.
    g->status_text(u"lost");
    g->window_poster = q.poster();

    g->status_text(u"before the window");
    q.run_all();
    EXPECT_TRUE(r.calls.empty());

    g->info_message(u"Порт открыт");
    g->main_window = &r;  // appears after posting, before the task runs
    g->error_message(0, u"Ошибка");
    g->clear_message();
    g->status_text(u"Готово");
    q.run_all();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"info 10000 Порт открыт", "error 0 Ошибка", "clear",
                                                  "status Готово"}));
    g->status_text(u"after the window went");
    g->main_window = nullptr;
    q.run_all();
    EXPECT_EQ(r.calls.size(), 4u);
}

TEST(AppState, HoldOffKeepsAControlForItsTime) {
    auto g = std::make_unique<G_t>();
    int a = 0, b = 0;
    EXPECT_TRUE(g->can_update_control(&a, 500));
    g->hold(&a, 2000, 1000);
    EXPECT_FALSE(g->can_update_control(&a, 1000));
    EXPECT_FALSE(g->can_update_control(&a, 3000));
    EXPECT_TRUE(g->can_update_control(&b, 1500));
    EXPECT_TRUE(g->can_update_control(&a, 3001));
    // The deadline was cleared by the true answer: no hold any more.
    EXPECT_TRUE(g->can_update_control(&a, 1000));

    // A deadline past the 32-bit wrap of the tick still holds until reached.
    g->hold(&b, 2000, 0xFFFFFF00u);
    EXPECT_FALSE(g->can_update_control(&b, 0xFFFFFFF0u));
    EXPECT_FALSE(g->can_update_control(&b, 0x100u));
    EXPECT_TRUE(g->can_update_control(&b, 0x700u));
}

TEST(AppState, ConfigurationRoundTrip) {
    char tmpl[] = "/tmp/luma10-state-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::filesystem::path dir = tmpl;
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "luma10.json").string();
    {
        auto g = std::make_unique<G_t>();
        ConnectionSettings cs = g->connection_settings();
        cs.port_settings.port = 4;
        cs.port_settings.parity = 2;
        cs.block_id = 17;
        g->set_connection_settings(cs);
        g->calibration_gas_concentration = 2.5;
        g->save_config(path);
    }
    auto g = std::make_unique<G_t>();
    g->load_config(path);
    EXPECT_EQ(g->connection_settings().port_settings.port, 4);
    EXPECT_EQ(g->connection_settings().port_settings.parity, 2);
    EXPECT_EQ(g->connection_settings().block_id, 17);
    EXPECT_DOUBLE_EQ(g->calibration_gas_concentration, 2.5);
    // A missing file keeps what the state holds.
    g->load_config((dir / "none.json").string());
    EXPECT_EQ(g->connection_settings().block_id, 17);
    std::filesystem::remove_all(dir);
}

}  // namespace
