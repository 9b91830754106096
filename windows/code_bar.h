// A value the engineer sets by a field and a bar: a table of two captioned
// rows (the value the device reports, the value to set) over a bar. The field
// and the bar always show the same value; the wheel over the table and the
// keys of the field move the bar.
//
// The refresh guard: whatever the program sets while a Quiet() guard lives
// (loading the device's value, mirroring the bar in the field) is not the
// user's move. Only a move by the user reaches OnUserMove; the window decides
// there whether the value may be sent (its own synced-state rules).
//
// Window thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "toolkit/uik.h"

class G_t;

class GCodeBar {
public:
    // How the field's keys move the bar.
    enum class Keys {
        // Up, Right and Page Up raise the value; Home goes to the maximum,
        // End to the minimum.
        kUpRaises,
        // As the bar's own keys: Up, Left and Page Up lower the value; Home
        // goes to the minimum, End to the maximum; Enter and Space open the
        // field's entry.
        kAsTheBar,
    };
    struct Texts {
        const char16_t* reported;      // caption of the device's value
        const char16_t* wanted;        // caption of the field
        const char16_t* out_of_range;  // status text for an entry outside the range
        unsigned caption_align;
    };

    GCodeBar(Keys keys, const Texts& texts, int64_t minimum, int64_t maximum);

    // The table at (left, top) of parent, 482 x 124, its rows in the light
    // and the middle shade of the panel colour.
    void Place(UIK::GControl& parent, int left, int top);
    // Binds the handlers: entries outside the range are refused with the
    // status text through g; a user's move goes to on_user_move.
    void Connect(G_t& g, std::function<void(int64_t)> on_user_move);

    // Raises the refresh guard while it lives.
    class Guard {
    public:
        explicit Guard(int32_t& depth) : depth_(depth) { ++depth_; }
        ~Guard() { --depth_; }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        int32_t& depth_;
    };
    [[nodiscard]] Guard Quiet() { return Guard(depth_); }
    bool IsQuiet() const { return depth_ > 0; }

    // The bar and the field at value, as the program's own move.
    void Load(int64_t value);
    // The keyboard control of the bar while the field has the focus.
    void Key(const UIK::GKeyEvent& e);

    UIK::GControlsTable table;
    UIK::GLabel title_reported;
    UIK::GOutputInt64Label reported;
    UIK::GLabel title_wanted;
    UIK::GInputInt64Label field;
    UIK::GScrollBar bar;

private:
    void OnEntered(UIK::GControl*, int64_t& value);
    void OnAccepted(UIK::GControl*, int64_t value);
    void OnBarMoved(UIK::GControl*);
    void OnWheel(UIK::GControl*, const UIK::GMouseEvent& e);

    Keys keys_;
    Texts texts_;
    G_t* g_ = nullptr;
    std::function<void(int64_t)> on_user_move_;
    int32_t depth_ = 0;
};
