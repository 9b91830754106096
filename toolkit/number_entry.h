// Number entry: the keypad forms that input labels open (GInpDblForm for
// doubles, GInpInt64Form and GInpUInt64Form for 64-bit integers) and the
// edited number they share.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "toolkit/dialogs.h"

namespace UIK {

// Key codes of the keypad buttons.
enum GNumKey : int {
    kNumKeyBack = 10, kNumKeyOk = 11, kNumKeyPoint = 12, kNumKeyExp = 13, kNumKeySign = 14, kNumKeyClear = 15,
};

// The number being typed, held as parts: minus flag, integer digits, point
// flag, fraction digits, exponent state and exponent digits.
class GNumberEdit_t {
public:
    enum Exp { kNoExp = 0, kExpPlus = 1, kExpMinus = 2 };
    static constexpr size_t kMaxDigits = 15;  // integer and fraction together
    static constexpr size_t kMaxExpDigits = 2;

    // Puts a value in: its "%.15lG" text split into the parts. Values that are
    // not numbers show as "NaN" (or "Inf") until the next key.
    void SetDouble(double v);
    // Puts an integer in exactly (all its digits, even beyond 15).
    void SetInteger(int64_t v);
    void SetUnsigned(uint64_t v);
    // Splits a text such as "-1.5E+20" into the parts.
    void SetText(const std::string& t);
    // Applies one key (digits 0-9 and the GNumKey codes; OK changes nothing).
    void Key(int code);

    // The display text without the cursor.
    std::string Text() const;
    // The value of the parts (NaN or infinity while such a value is shown).
    double Value() const;
    // The value rounded towards zero, saturated at the type's limits.
    int64_t Int64Value() const;
    uint64_t UInt64Value() const;
    // True, with the value, only when the number is a whole number the type
    // holds exactly: no fraction digit but 0 once the exponent is applied,
    // within the type's limits, neither NaN nor an infinity. An integer entry
    // takes nothing else, so 12.7 is never cut to 12.
    bool ExactInt64(int64_t* out) const;
    bool ExactUInt64(uint64_t* out) const;

    // True once Backspace has taken the last digit: nothing is entered (not
    // even 0), and the display shows no digit. Keys other than Backspace and
    // the sign, or a value put in, end it.
    bool Blank() const { return blank; }

    bool minus = false;
    bool blank = false;
    std::string int_digits, frac_digits, exp_digits;
    bool point = false;
    Exp exp = kNoExp;
    std::string special;  // "NaN", "Inf" or "-Inf" while shown

private:
    void Clear();
};

// The keypad form: a display, 16 buttons of 60 x 60 points on a 61-point
// pitch in a 243 x 243 block, and the close button. Typed characters press
// the buttons as deferred clicks: 0-9, Backspace "<-", Enter "OK", "," and
// "." the point, "-" "+/-", E "E+/-", C "C"; Escape the close button.
class GInputNumberForm : public GDialogForm {
public:
    GInputNumberForm();
    ~GInputNumberForm() override;
    void SetPrompt(const ustring_t& prompt) { SetCaption(prompt); }
    // The accepted value is divided by it; values put in are multiplied by it.
    void SetScale(double s) { scale_ = (s == 0 || s != s) ? 1.0 : s; }
    double Scale() const { return scale_; }
    GNumberEdit_t& Number() { return num_; }
    // The button of a key code (0-9 and GNumKey), or null.
    GTextButton* KeyButton(int code);
    ustring_t DisplayText() const { return display_.Text(); }
    bool Accepted() const { return accepted_; }
    // The refusal shown under the keypad (empty while there is none).
    ustring_t MessageText() const { return message_.Text(); }
    // The allowed values as the user reads them ("от 1 до 247"); empty
    // without a range.
    virtual ustring_t RangeText() const { return {}; }

    void HandleFormKey(const GKeyEvent& e) override;
    void HandleText(const std::u16string&) override {}

    static constexpr int kPadSize = 243, kKeySize = 60, kKeyPitch = 61, kMessageHeight = 36;

protected:
    // Puts a value into the number (the start value and the one "C" gives).
    virtual void PutZero() { num_.SetDouble(0); }
    // Whether the entered value lies in the allowed range.
    virtual bool InRange() const { return true; }
    void Press(int code);
    void UpdateDisplay();
    // Runs the form modally; true when closed with "OK".
    bool RunEntry(GControl* place_over);

    GNumberEdit_t num_;
    double scale_ = 1.0;
    bool accepted_ = false;

private:
    GLabel display_;
    GLabel message_;
    GFrame pad_;
    GTextButton keys_[16];
    int codes_[16];
};

// "от MIN до MAX" with the numbers as the user types them.
ustring_t RangeText(double min, double max);
ustring_t RangeText(int64_t min, int64_t max);
ustring_t RangeText(uint64_t min, uint64_t max);

// An entry refuses "OK" with nothing entered, and with a value outside the
// range when one is set (SetRange): the form stays open and says what is
// allowed, and the caller's value does not change.
class GInpDblForm : public GInputNumberForm {
public:
    // Edits value (starting from it); true and the new value on "OK".
    bool Execute(double& value, GControl* place_over = nullptr);
    void Start(double v) { num_.SetDouble(v * scale_); UpdateDisplay(); }
    double Result() const;
    // Inclusive limits of the result (not a number is outside any range).
    void SetRange(double min, double max) { min_ = min; max_ = max; ranged_ = true; }
    ustring_t RangeText() const override { return ranged_ ? UIK::RangeText(min_, max_) : ustring_t(); }

protected:
    bool InRange() const override {
        const double v = Result();
        return !ranged_ || (v >= min_ && v <= max_);
    }

private:
    double min_ = 0, max_ = 0;
    bool ranged_ = false;
};

// The forms for 64-bit integers: digits are kept exactly (no rounding
// through doubles) unless a scale factor is set. "OK" takes only a whole
// number the type holds (and, with a range, one inside it): a fraction or a
// number past the type is refused like a value outside the range, never cut.
template <typename T>
class GInpIntegerForm_T : public GInputNumberForm {
public:
    bool Execute(T& value, GControl* place_over = nullptr) {
        Start(value);
        if (!RunEntry(place_over)) return false;
        value = Result();
        return true;
    }
    void Start(T v) {
        if (scale_ != 1.0) num_.SetDouble(double(v) * scale_);
        else if constexpr (std::is_signed_v<T>) num_.SetInteger(v);
        else num_.SetUnsigned(v);
        UpdateDisplay();
    }
    // The entered value (cut towards zero and saturated; an accepted entry
    // is exact, see InRange).
    T Result() const {
        GNumberEdit_t scaled;
        const GNumberEdit_t& n = Scaled(scaled);
        if constexpr (std::is_signed_v<T>) return n.Int64Value();
        else return n.UInt64Value();
    }
    // Inclusive limits of the result.
    void SetRange(T min, T max) { min_ = min; max_ = max; ranged_ = true; }
    ustring_t RangeText() const override { return ranged_ ? UIK::RangeText(min_, max_) : ustring_t(); }

protected:
    bool InRange() const override {
        GNumberEdit_t scaled;
        const GNumberEdit_t& n = Scaled(scaled);
        T v{};
        if constexpr (std::is_signed_v<T>) {
            if (!n.ExactInt64(&v)) return false;
        } else {
            if (!n.ExactUInt64(&v)) return false;
        }
        return !ranged_ || (v >= min_ && v <= max_);
    }

private:
    // The number as the result counts it: divided by the scale when one is set.
    const GNumberEdit_t& Scaled(GNumberEdit_t& tmp) const {
        if (scale_ == 1.0) return num_;
        tmp.SetDouble(num_.Value() / scale_);
        return tmp;
    }

    T min_{}, max_{};
    bool ranged_ = false;
};

class GInpInt64Form : public GInpIntegerForm_T<int64_t> {};
class GInpUInt64Form : public GInpIntegerForm_T<uint64_t> {};

}  // namespace UIK
