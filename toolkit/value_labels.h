// Labels that show a number through a display format: the input labels for
// doubles and 64-bit integers (a click opens the number-entry form) and the
// 64-bit output label.
#pragma once

#include <cstdint>
#include <memory>

#include <cstring>
#include <type_traits>

#include "toolkit/controls.h"
#include "toolkit/number_entry.h"
#include "toolkit/number_text.h"

namespace UIK {

// Common part of the number labels: display format, the text shown while no
// value is set, and a tag word for the window's use.
class GNumberLabelBase : public GLabel {
public:
    explicit GNumberLabelBase(GControl* parent = nullptr);
    ~GNumberLabelBase() override;
    const ustring_t& DisplayFormat() const { return format_; }
    void SetDisplayFormat(const ustring_t& f);
    const ustring_t& EmptyText() const { return empty_; }
    void SetEmptyText(const ustring_t& t);
    bool HasValue() const { return has_; }
    intptr_t Tag() const { return tag_; }
    void SetTag(intptr_t t) { tag_ = t; }

protected:
    virtual ustring_t FormatValue() const = 0;
    void UpdateText() { SetText(has_ ? FormatValue() : empty_); }
    ustring_t format_;
    ustring_t empty_;
    bool has_ = false;
    intptr_t tag_ = 0;
    // Deferred calls check it, so a label deleted meanwhile is not called.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// An input label: drawn with the skin bmpInputNumberLabelSkin; a click (or
// Enter or Space while it has the focus) opens the number-entry form titled
// with the prompt and starting from the value. An entered value goes through
// OnValueEntered, whose handler may replace it, is then stored, shown and
// reported through OnValueAccepted. SetValue from code raises the same two
// events when the value changes.
template <typename T>
class GInputValueLabel_T : public GNumberLabelBase {
public:
    using EnteredEvent = GDelegate_T<GControl*, T&>;
    using AcceptedEvent = GDelegate_T<GControl*, T>;

    explicit GInputValueLabel_T(GControl* parent = nullptr) : GNumberLabelBase(parent) {}
    T Value() const { return value_; }
    void SetValue(T v) {
        if (has_ && Same(v, value_)) return;
        Enter(v);
    }
    // As if the user had entered v: filter, store, accepted (always raised).
    void Enter(T v) {
        OnValueEntered(this, v);
        value_ = v;
        has_ = true;
        UpdateText();
        OnValueAccepted(this, v);
    }
    // Shows the empty text again; no event.
    void ClearValue() {
        has_ = false;
        UpdateText();
    }
    const ustring_t& Prompt() const { return prompt_; }
    void SetPrompt(const ustring_t& p) { prompt_ = p; }
    double Scale() const { return scale_; }
    void SetScale(double s) { scale_ = s; }
    // The values the number-entry form accepts, inclusive; outside them (and
    // with nothing entered) it refuses "OK" and names the range. Values set
    // from code are not checked.
    void SetRange(T min, T max) {
        min_ = min;
        max_ = max;
        ranged_ = true;
    }
    bool HasRange() const { return ranged_; }
    T Minimum() const { return min_; }
    T Maximum() const { return max_; }
    // "от MIN до MAX", or empty without a range.
    ustring_t RangeText() const { return ranged_ ? UIK::RangeText(min_, max_) : ustring_t(); }
    // The entry form while it is open (tests type into it), else null.
    GInputNumberForm* OpenForm() const { return open_form_; }
    // A label that is not editable shows its value but opens no form.
    bool IsEditable() const { return editable_; }
    void SetEditable(bool e) { editable_ = e; Invalidate(); }
    // Opens the number-entry form now (modal); true when a value was accepted.
    bool OpenEntry();

    bool AcceptsFocus() const override { return editable_; }
    void HandleMouseUp(const GMouseEvent& e) override;
    void HandleKeyDown(const GKeyEvent& e) override;
    void Paint(GCanvas& c) override;
    bool CaptionLayout(DrawnCaption* out) const override;

    EnteredEvent OnValueEntered;
    AcceptedEvent OnValueAccepted;

protected:
    ustring_t FormatValue() const override { return FormatNumber(format_, value_); }
    static bool Same(T a, T b) {
        // Bitwise, so NaN equals NaN and 0 differs from -0.
        if constexpr (std::is_floating_point_v<T>) return std::memcmp(&a, &b, sizeof a) == 0;
        else return a == b;
    }
    void OpenLater();

    T value_{};
    T min_{}, max_{};
    bool ranged_ = false;
    GInputNumberForm* open_form_ = nullptr;
    ustring_t prompt_;
    double scale_ = 1.0;
    bool editable_ = true;
};

class GInputDoubleLabel : public GInputValueLabel_T<double> {
public:
    explicit GInputDoubleLabel(GControl* parent = nullptr);
};

class GInputInt64Label : public GInputValueLabel_T<int64_t> {
public:
    explicit GInputInt64Label(GControl* parent = nullptr);
};

// Shows a 64-bit integer through its display format; display only. The hint
// is a longer description of the value kept for the window's use.
class GOutputInt64Label : public GNumberLabelBase {
public:
    explicit GOutputInt64Label(GControl* parent = nullptr);
    int64_t Value() const { return value_; }
    void SetValue(int64_t v);
    void ClearValue();
    const ustring_t& Hint() const { return hint_; }
    void SetHint(const ustring_t& h) { hint_ = h; }

protected:
    ustring_t FormatValue() const override;

private:
    int64_t value_ = 0;
    ustring_t hint_;
};

}  // namespace UIK
