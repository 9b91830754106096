// Basic value types of the toolkit: rectangles, colours, delegates (events)
// and properties.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

namespace UIK {

struct GPoint {
    int x = 0, y = 0;
};

// Left, top, width and height; right and bottom are derived (exclusive).
struct GRect {
    int left = 0, top = 0, width = 0, height = 0;

    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool Empty() const { return width <= 0 || height <= 0; }
    bool Contains(int x, int y) const { return x >= left && y >= top && x < Right() && y < Bottom(); }
    GRect Offset(int dx, int dy) const { return {left + dx, top + dy, width, height}; }
    GRect Inflate(int d) const { return {left - d, top - d, width + 2 * d, height + 2 * d}; }
    GRect Intersect(const GRect& o) const {
        int l = std::max(left, o.left), t = std::max(top, o.top);
        int r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
        return r > l && b > t ? GRect{l, t, r - l, b - t} : GRect{};
    }
    GRect Union(const GRect& o) const {
        if (Empty()) return o;
        if (o.Empty()) return *this;
        int l = std::min(left, o.left), t = std::min(top, o.top);
        int r = std::max(Right(), o.Right()), b = std::max(Bottom(), o.Bottom());
        return {l, t, r - l, b - t};
    }
    friend bool operator==(const GRect&, const GRect&) = default;
};

struct GColor {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    uint32_t Argb() const { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
    static GColor FromArgb(uint32_t v) { return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)}; }
    bool Transparent() const { return a == 0; }
    friend bool operator==(const GColor&, const GColor&) = default;
};
constexpr GColor RGB(uint8_t r, uint8_t g, uint8_t b) { return {r, g, b, 255}; }
constexpr GColor kNoColor{0, 0, 0, 0};

// The palette of the skins.
constexpr GColor kColorLight = RGB(90, 142, 197);
constexpr GColor kColorMid = RGB(74, 126, 181);
constexpr GColor kColorDark = RGB(58, 110, 165);
constexpr GColor kColorDisabledText = RGB(128, 167, 210);
constexpr GColor kColorText = RGB(255, 255, 255);
constexpr GColor kColorFocus = RGB(0, 255, 0);

// The fonts of the toolkit's font table (GResources::Font) by the part they
// play; a control takes one with SetFont.
enum GFontRole : int {
    kFontFixed = 0,       // Courier New 16: every control's default; digits and values
    kFontFixedSpare1 = 1,  // Courier New 16, unused
    kFontSmall = 2,       // Tahoma 12: buttons, captions, lists and messages
    kFontFixedSpare3 = 3,  // Courier New 16, unused
    kFontDisplay = 4,     // Tahoma, 72-point cell: the detector display's reading
    kFontFixedSmall = 5,  // Courier New 12: logs and error texts in narrow cells
    kFontHeading = 6,     // Tahoma 32, semi-bold
    kFontCount
};

// An event: a handler bound to a receiver's member function (with an optional
// extra word) or to any callable. One handler per event; a control that must
// also observe the event chains itself in front of the existing handler with
// ChainFront, and the existing handler then runs after it.
template <typename... Args>
class GDelegate_T {
public:
    using Fn = std::function<void(Args...)>;

    template <typename R>
    void Bind(R* receiver, void (R::*method)(Args...)) {
        fn_ = [receiver, method](Args... a) { (receiver->*method)(std::forward<Args>(a)...); };
    }
    template <typename R>
    void Bind(R* receiver, void (R::*method)(Args..., intptr_t), intptr_t extra) {
        fn_ = [receiver, method, extra](Args... a) { (receiver->*method)(std::forward<Args>(a)..., extra); };
    }
    void Set(Fn fn) { fn_ = std::move(fn); }
    const Fn& Get() const { return fn_; }
    void Clear() { fn_ = nullptr; }
    // The new handler runs first and then the one that was bound before.
    void ChainFront(Fn mine) {
        Fn before = std::move(fn_);
        fn_ = [mine = std::move(mine), before = std::move(before)](Args... a) {
            if (mine) mine(a...);
            if (before) before(a...);
        };
    }
    explicit operator bool() const { return static_cast<bool>(fn_); }
    void operator()(Args... a) const {
        if (fn_) fn_(std::forward<Args>(a)...);
    }

private:
    Fn fn_;
};

// One value with an optional getter and setter attached by its owner. With a
// setter, Set calls it (the setter stores through Store and may repaint,
// relayout or raise an event); without one, Set stores the value.
template <typename T>
class GProperty_T {
public:
    GProperty_T() = default;
    explicit GProperty_T(T v) : value_(std::move(v)) {}

    // By value: a getter computes it, so there is nothing to refer to.
    T Get() const { return getter_ ? getter_() : value_; }
    void Set(const T& v) {
        if (setter_) setter_(v);
        else value_ = v;
    }
    // Stores without calling the setter.
    void Store(const T& v) { value_ = v; }
    const T& Stored() const { return value_; }

    void AttachGetter(std::function<T()> g) { getter_ = std::move(g); }
    void AttachSetter(std::function<void(const T&)> s) { setter_ = std::move(s); }
    // A setter that stores a value other than the stored one and then calls
    // changed with it; setting the stored value again does nothing.
    void AttachChangeSetter(std::function<void(const T&)> changed) {
        setter_ = [this, changed = std::move(changed)](const T& v) {
            if (value_ == v) return;
            value_ = v;
            changed(v);
        };
    }

private:
    T value_{};
    std::function<T()> getter_;
    std::function<void(const T&)> setter_;
};

}  // namespace UIK
