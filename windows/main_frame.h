// The frame that fills the top-level window: a content panel for the main
// window, a message panel at the bottom for errors and notices, and a log pane
// above it showing the lines of the process-wide log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include <deque>
#include "foundation/ustring.h"
#include "toolkit/uik.h"

namespace Log {

// Receives every line written to the process-wide log, on the writer's thread.
class INotify {
public:
    virtual ~INotify() = default;
    virtual void Line(const ustring_t& line) = 0;
};

void Register(INotify* n);
void Unregister(INotify* n);
// Hands line to every registered receiver.
void Write(const ustring_t& line);

}  // namespace Log

// A first-in first-out queue of text lines with a limit: a push past the limit
// drops the oldest line.
class logbuf_t {
public:
    explicit logbuf_t(size_t limit) : limit_(limit) {}
    void push(const ustring_t& line);
    bool peek(ustring_t* out) const;
    bool pop();
    bool take(ustring_t* out);
    void clear() { lines_.clear(); }
    size_t count() const { return lines_.size(); }

private:
    size_t limit_;
    std::deque<ustring_t> lines_;
};

class GStandardMainFrame2 : public UIK::GFrame {
public:
    static constexpr int kMessageHeight = 80;
    static constexpr int kLogHeight = 140;
    static constexpr size_t kLogLimit = 100;
    static constexpr UIK::GColor kNoticeColor = UIK::kColorLight;
    static constexpr UIK::GColor kErrorColor = UIK::RGB(255, 0, 0);
    static constexpr UIK::GColor kClosedColor = UIK::RGB(58, 110, 165);

    explicit GStandardMainFrame2(UIK::GControl* parent = nullptr);
    ~GStandardMainFrame2() override;

    // The application's window goes here.
    UIK::GPanel& Content() { return content_; }

    // Message panel (window thread). ms 0 keeps the text until closed.
    void ShowNotice(const ustring_t& text, uint32_t ms);
    void ShowError(const ustring_t& text, uint32_t ms);
    void CloseMessage();
    bool MessageShown() const { return message_.IsVisible(); }
    uint64_t MessageDeadline() const { return deadline_; }
    UIK::GLabel& MessageLabel() { return message_text_; }
    UIK::GTextButton& CloseButton() { return close_; }

    // The 1000 ms tick, at tick count now (tests pass their own).
    void TimerTick(uint64_t now);

    UIK::GTextButton& LogToggle() { return log_toggle_; }
    UIK::GFrame& LogPane() { return log_pane_; }
    UIK::GLabel& LogText() { return log_text_; }
    // Moves the pending log lines into the pane (window thread).
    void UpdateLog();
    size_t PendingLogLines();

    void Layout(const UIK::GRect& old_rect) override;

private:
    class LogCB : public Log::INotify {
    public:
        explicit LogCB(GStandardMainFrame2* f) : frame_(f) {}
        void Line(const ustring_t& line) override;

    private:
        GStandardMainFrame2* frame_;
    };

    void ShowMessage(const ustring_t& text, uint32_t ms, UIK::GColor back);
    void ArrangePanels();
    void OnCloseClick(UIK::GControl*);
    void OnCloseMouseDown(UIK::GControl*, const UIK::GMouseEvent& e);
    void OnToggleClick(UIK::GControl*);
    static void UpdateLogThunk(void* self);

    UIK::GPanel content_;
    UIK::GAntiPanel message_;
    UIK::GLabel message_text_;
    UIK::GTextButton close_;
    UIK::GFrame log_pane_;
    UIK::GLabel log_text_;
    UIK::GTextButton log_toggle_;
    UIK::GTimer timer_{1000};
    uint64_t deadline_ = 0;
    UIK::GPoint toggle_pointer_{};
    // Expires with the frame, so a deferred pointer move finds it gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    std::mutex log_lock_;
    logbuf_t pending_{kLogLimit};
    LogCB log_cb_{this};
};
