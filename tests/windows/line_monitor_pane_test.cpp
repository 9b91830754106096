// The line monitor in the main window's log pane, against the simulator.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/windows/fixture.h"

using namespace win_test;

namespace {

class LineMonitorPaneTest : public WindowTest {};

TEST_F(LineMonitorPaneTest, ToggleShowsThePaneAndTheExchangesAppear) {
    Build(sim::Options_t{}, true);
    InLoop([&] {
        GMain& m = M();
        // The toggle is shown at the picture's lower right; hidden, nobody watches.
        ASSERT_TRUE(m.LogToggle().IsVisible());
        EXPECT_FALSE(m.LineMonitor().Watching());
        ASSERT_TRUE(OpenPort());
        m.LogToggle().PerformClick();
        ASSERT_TRUE(WaitFor([&] { return m.LogPane().IsVisible(); }));
        EXPECT_TRUE(m.LineMonitor().Watching());
        EXPECT_EQ(U8(m.LogToggle().Caption()), "Скрыть журнал");

        // The poll cycle's reads appear, decoded, with the header counting them.
        ASSERT_TRUE(WaitFor([&] {
            return U8(m.LineMonitor().Text().Text()).find("опрос адр. 1, чтение (3) 1152–1153") != std::string::npos;
        })) << U8(m.LineMonitor().Text().Text());
        const std::string header = U8(m.LineMonitor().Header().Text());
        EXPECT_EQ(header.rfind("Обменов: ", 0), 0u) << header;
        EXPECT_NE(U8(m.LineMonitor().Text().Text()).find("factory_serial_id="), std::string::npos);

        // Paused, the list stands still while the monitor keeps counting.
        m.LineMonitor().SetPaused(true);
        const ustring_t frozen = m.LineMonitor().Text().Text();
        const uint64_t before = m.LineMonitor().Monitor().stats().exchanges;
        ASSERT_TRUE(WaitFor([&] { return m.LineMonitor().Monitor().stats().exchanges > before + 2; }));
        EXPECT_TRUE(m.LineMonitor().Text().Text() == frozen);

        // Saved to a file: every kept line.
        const std::string path = std::string(std::getenv("LUMA10_CONFIG_DIR")) + "/line.txt";
        EXPECT_FALSE(m.LineMonitor().SaveTo(text::u16(path)));
        EXPECT_GT(std::filesystem::file_size(path), 100u);

        // Hidden, the link has no watcher any more.
        m.LogToggle().PerformClick();
        ASSERT_TRUE(WaitFor([&] { return !m.LogPane().IsVisible(); }));
        EXPECT_FALSE(m.LineMonitor().Watching());
        const uint64_t stopped = m.LineMonitor().Monitor().stats().exchanges;
        m.LineMonitor().Refresh();
        const uint64_t cycles = link_->completed_cycles();
        ASSERT_TRUE(WaitFor([&] { return link_->completed_cycles() > cycles + 1; }));
        m.LineMonitor().Refresh();
        EXPECT_LE(m.LineMonitor().Monitor().stats().exchanges, stopped + 4);  // at most one cycle under way
    });
}

}  // namespace
