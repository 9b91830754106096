// The main frame's message panel and log pane.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "windows/main_frame.h"

namespace {

std::string U8(const ustring_t& s) { return text::utf8(s); }

class MainFrameTest : public ::testing::Test {
protected:
    UIK::GResourcesUser resources_;
    GStandardMainFrame2 frame_;
    void SetUp() override { frame_.SetBounds(0, 0, 800, 600); }
};

TEST_F(MainFrameTest, ErrorCountsDownAndHidesAtItsDeadline) {
    frame_.ShowError(u"Команда \"X\" не была отправлена", 10000);
    ASSERT_TRUE(frame_.MessageShown());
    EXPECT_EQ(frame_.MessageLabel().BackColor(), GStandardMainFrame2::kErrorColor);
    EXPECT_EQ(frame_.Content().Height(), 600 - GStandardMainFrame2::kMessageHeight);
    const uint64_t deadline = frame_.MessageDeadline();
    frame_.TimerTick(deadline - 9500);
    EXPECT_EQ(U8(frame_.CloseButton().Caption()), "Закрыть\n(9)");
    frame_.TimerTick(deadline - 8001);
    EXPECT_EQ(U8(frame_.CloseButton().Caption()), "Закрыть\n(8)");

    // A second message replaces text, colour and deadline while staying shown.
    frame_.ShowNotice(u"Готово", 5000);
    EXPECT_TRUE(frame_.MessageShown());
    EXPECT_EQ(U8(frame_.MessageLabel().Text()), "Готово");
    EXPECT_EQ(frame_.MessageLabel().BackColor(), GStandardMainFrame2::kNoticeColor);
    const uint64_t second = frame_.MessageDeadline();
    frame_.TimerTick(second - 1);
    EXPECT_TRUE(frame_.MessageShown());
    frame_.TimerTick(second);
    EXPECT_FALSE(frame_.MessageShown());
    EXPECT_EQ(frame_.Content().Height(), 600);
}

TEST_F(MainFrameTest, NoticeWithoutTimeStaysAndCloseResetsThePanel) {
    frame_.ShowNotice(u"Идёт поиск", 0);
    frame_.TimerTick(frame_.MessageDeadline() + 1000000);
    EXPECT_TRUE(frame_.MessageShown());
    EXPECT_EQ(U8(frame_.CloseButton().Caption()), "Закрыть");
    frame_.CloseMessage();
    EXPECT_FALSE(frame_.MessageShown());
    EXPECT_EQ(U8(frame_.MessageLabel().Text()), "");
    EXPECT_EQ(frame_.MessageLabel().BackColor(), GStandardMainFrame2::kClosedColor);
    frame_.CloseMessage();  // on a hidden panel: only text and colour
    EXPECT_FALSE(frame_.MessageShown());

    // A right press on the close button keeps a timed message until closed.
    frame_.ShowError(u"Ошибка", 10000);
    frame_.CloseButton().OnMouseDown(&frame_.CloseButton(), UIK::GMouseEvent{0, 0, 3});
    EXPECT_EQ(frame_.MessageDeadline(), 0u);
    frame_.TimerTick(UINT64_MAX / 2);
    EXPECT_TRUE(frame_.MessageShown());
}

TEST_F(MainFrameTest, LogLinesReachThePane) {
    // The pane is updated later on the window thread; meanwhile the lines
    // wait in the limited queue, which drops the oldest.
    for (int i = 0; i < 105; ++i) Log::Write(text::format(32, "line %d", i));
    EXPECT_EQ(frame_.PendingLogLines(), GStandardMainFrame2::kLogLimit);
    EXPECT_TRUE(frame_.LogText().Text().empty());
    UIK::App::ProcessPending();
    EXPECT_EQ(frame_.PendingLogLines(), 0u);
    const std::string all = U8(frame_.LogText().Text());
    EXPECT_EQ(all.rfind("line 5\n", 0), 0u);
    EXPECT_NE(all.find("line 104\n"), std::string::npos);

    // The pane and its toggle: the content gives way to the pane.
    frame_.LogToggle().OnClick(&frame_.LogToggle());
    EXPECT_TRUE(frame_.LogPane().IsVisible());
    EXPECT_EQ(U8(frame_.LogToggle().Caption()), "Скрыть журнал");
    EXPECT_EQ(frame_.Content().Height(), 600 - GStandardMainFrame2::kLogHeight);
}

TEST_F(MainFrameTest, LogLinesFromAWorkerNeverTouchTheControlsThere) {
    // A frame without a native window used to be updated on the writer's
    // thread itself.
    std::thread writer([] { Log::Write(u"from a worker"); });
    writer.join();
    EXPECT_TRUE(frame_.LogText().Text().empty());
    EXPECT_EQ(frame_.PendingLogLines(), 1u);
    UIK::App::ProcessPending();
    EXPECT_EQ(U8(frame_.LogText().Text()), "from a worker\n");
}

TEST(MainFrameLog, UpdateQueuedForADeletedFrameIsDropped) {
    UIK::GResourcesUser resources;
    auto frame = std::make_unique<GStandardMainFrame2>();
    frame->SetBounds(0, 0, 800, 600);
    std::thread writer([] { Log::Write(u"late line"); });
    writer.join();
    frame.reset();
    UIK::App::ProcessPending();  // the queued update must find the frame gone
    SUCCEED();
}

TEST(LogBuf, QueueOperations) {
    logbuf_t b(2);
    ustring_t out;
    EXPECT_FALSE(b.peek(&out));
    EXPECT_FALSE(b.pop());
    b.push(u"a");
    b.push(u"b");
    b.push(u"c");
    EXPECT_EQ(b.count(), 2u);
    ASSERT_TRUE(b.take(&out));
    EXPECT_EQ(U8(out), "b");
    ASSERT_TRUE(b.peek(&out));
    EXPECT_EQ(U8(out), "c");
    b.clear();
    EXPECT_FALSE(b.take(&out));
}

}  // namespace
