// Number entry: the keypad's key rules, the forms' typed keys, Escape and
// the scale factor, and display formats.
#include <gtest/gtest.h>

#include <cfloat>

#include <type_traits>

#include <cmath>
#include <limits>
#include <string>

#include "uik2_helpers.h"

using namespace UIK;
using uik2_test::PushClick;
using uik2_test::PushKeys;
using uik2_test::WhenShown;

namespace {

// Keys of a sequence as written in the table below.
int code_of(const std::string& k) {
    if (k == "<-") return kNumKeyBack;
    if (k == ".") return kNumKeyPoint;
    if (k == "E") return kNumKeyExp;
    if (k == "+/-") return kNumKeySign;
    if (k == "C") return kNumKeyClear;
    if (k == "OK") return kNumKeyOk;
    return std::stoi(k);
}

void press(GNumberEdit_t& n, const std::string& seq) {
    size_t i = 0;
    while (i < seq.size()) {
        size_t j = seq.find(' ', i);
        if (j == std::string::npos) j = seq.size();
        if (j > i) n.Key(code_of(seq.substr(i, j - i)));
        i = j + 1;
    }
}

}  // namespace

TEST(Keypad, KeySequencesGiveTheirDisplayAndValue) {
    struct Case {
        double start;
        const char* keys;
        const char* display;
        double value;
    } cases[] = {
        {0, "", "0", 0},
        {0, "1 2 3", "123", 123},
        {0, "0 0 5", "5", 5},  // no leading zero in the integer part
        {0, ". 0 5", "0.05", 0.05},
        {0, ". .", "0.", 0},
        {0, "1 . 5 E 2", "1.5E+2", 150},
        {0, "E", "1E+", 1},  // starts the exponent at 1
        {0, "E 3", "1E+3", 1000},
        {0, "1 E 1 2 3", "1E+12", 1e12},  // two exponent digits at most
        {0, "1 E 5 E", "1E-5", 1e-5},  // a second E flips the sign
        {0, "1 E .", "1E+", 1},  // no point after the exponent
        {0, "+/- 5", "-5", -5},
        {0, "1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6", "123456789012345", 123456789012345.0},
        {0, "1 2 3 . 4 5 6 7 8 9 0 1 2 3 4 5 6", "123.456789012345", 123.456789012345},
        {0, "2 . 3 E 1", "2.3E+1", 23},  // exactly 23, no rounding error
        // "<-" removes exponent digit, exponent, fraction digit, point,
        // integer digit, then the minus flag; with the last digit gone the
        // entry is blank (nothing entered, which "OK" refuses), not 0.
        {0, "+/- 1 . 5 E 2 <-", "-1.5E+", -1.5},
        {0, "+/- 1 . 5 E 2 <- <-", "-1.5", -1.5},
        {0, "+/- 1 . 5 E 2 <- <- <-", "-1.", -1},
        {0, "+/- 1 . 5 E 2 <- <- <- <-", "-1", -1},
        {0, "+/- 1 . 5 E 2 <- <- <- <- <-", "-", -0.0},
        {0, "+/- 1 . 5 E 2 <- <- <- <- <- <-", "", 0},
        {0, "4 <- 0", "0", 0},  // a typed 0 ends the blank
        {0, "7 7 C", "0", 0},
        // Start values are split from their "%.15lG" text.
        {1.5e20, "", "1.5E+20", 1.5e20},
        {-0.0001, "", "-0.0001", -0.0001},
        {1e-5, "<-", "1E-0", 1e-0},
        {42, "1", "421", 421},
        {std::nan(""), "", "NaN", std::nan("")},
        {std::nan(""), "3", "3", 3},  // a key after NaN starts a fresh number
    };
    for (const Case& c : cases) {
        GNumberEdit_t n;
        n.SetDouble(c.start);
        press(n, c.keys);
        SCOPED_TRACE(std::string("start ") + DoubleText15(c.start) + " keys \"" + c.keys + "\"");
        EXPECT_EQ(n.Text(), c.display);
        if (std::isnan(c.value)) EXPECT_TRUE(std::isnan(n.Value()));
        else EXPECT_EQ(n.Value(), c.value);
    }
}

TEST(Keypad, IntegerResultsAreExactAndSaturate) {
    GNumberEdit_t n;
    n.SetInteger(std::numeric_limits<int64_t>::min());
    EXPECT_EQ(n.Text(), "-9223372036854775808");
    EXPECT_EQ(n.Int64Value(), std::numeric_limits<int64_t>::min());
    press(n, "C 2 . 3 9 E 1");
    EXPECT_EQ(n.Int64Value(), 23);  // cut towards zero
    press(n, "C 9 E 9 9");
    EXPECT_EQ(n.Int64Value(), std::numeric_limits<int64_t>::max());
    press(n, "+/-");
    EXPECT_EQ(n.Int64Value(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(n.UInt64Value(), 0u);
    n.SetUnsigned(std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(n.UInt64Value(), std::numeric_limits<uint64_t>::max());
}

TEST(InputNumberForm, TypedKeysPressButtonsEscapeLeavesScaleApplies) {
    // Typed characters: digits, ',' as the point, 'e', '-', Backspace, Enter.
    WhenShown<GInpDblForm>([](GInpDblForm& f) {
        EXPECT_EQ(f.DisplayText(), u"0_ ");
        PushKeys(f, {'1', ',', '2', '5', 'e', '3', '3', kKeyBackspace, '-', kKeyEnter});
    });
    GInpDblForm form;
    form.SetPrompt(u"Концентрация газа, %");
    double v = 0;
    ASSERT_TRUE(form.Execute(v));
    EXPECT_EQ(v, -1250.0);
    EXPECT_EQ(form.Title(), u"Концентрация газа, %");

    // Escape leaves without accepting; the value stays.
    WhenShown<GInpDblForm>([](GInpDblForm& f) { PushKeys(f, {'9', kKeyEscape}); });
    GInpDblForm esc;
    double w = 7;
    EXPECT_FALSE(esc.Execute(w));
    EXPECT_EQ(w, 7);

    // The start value is shown multiplied by the scale, the result divided by it.
    WhenShown<GInpInt64Form>([](GInpInt64Form& f) {
        EXPECT_EQ(f.DisplayText(), u"250_ ");
        PushClick(f, *f.KeyButton(0));
        PushClick(f, *f.KeyButton(kNumKeyOk));
    });
    GInpInt64Form scaled;
    scaled.SetScale(10);
    int64_t iv = 25;
    ASSERT_TRUE(scaled.Execute(iv));
    EXPECT_EQ(iv, 250);
}

TEST(InputNumberForm, OkOutsideTheRangeOrWithNothingEnteredIsRefused) {
    // A refusal keeps the form open and names the range; Escape then leaves
    // with the caller's value unchanged.
    auto refused = [](auto& form, std::initializer_list<int> keys, auto& value) {
        WhenShown<std::remove_reference_t<decltype(form)>>([keys](auto& f) {
            PushKeys(f, keys);
            PushKeys(f, {kKeyEnter});
            // The refusal is on screen before Escape is read.
            WhenShown<std::remove_reference_t<decltype(f)>>([](auto& g) {
                EXPECT_TRUE(g.HasNativeWindow());
                PushKeys(g, {kKeyEscape});
            }, 50);
        });
        return !form.Execute(value);
    };
    GInpInt64Form address;
    address.SetRange(1, 247);
    int64_t a = 5;
    EXPECT_TRUE(refused(address, {'3', '0', '0'}, a));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(address.MessageText(), u"Недопустимое значение.\nДопустимо от 1 до 247");
    EXPECT_TRUE(refused(address, {kKeyBackspace}, a));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(address.MessageText(), u"Введите значение от 1 до 247");
    EXPECT_TRUE(refused(address, {'-', '1', '.', '5', 'e', '9'}, a));
    EXPECT_EQ(a, 5);

    GInpDblForm conc;
    conc.SetRange(0.01, 100);
    double c = 10;
    EXPECT_TRUE(refused(conc, {'1', '5', '0'}, c));
    EXPECT_EQ(c, 10);
    EXPECT_EQ(conc.MessageText(), u"Недопустимое значение.\nДопустимо от 0.01 до 100");
    // Up to the largest float is no limit to name.
    GInpDblForm coefficient;
    coefficient.SetRange(0.0, double(FLT_MAX));
    EXPECT_TRUE(refused(coefficient, {'-', '1'}, c));
    EXPECT_EQ(coefficient.MessageText(), u"Недопустимое значение.\nДопустимо не меньше 0");

    // Inside the range "OK" is taken; without a range only a blank entry is
    // refused.
    WhenShown<GInpInt64Form>([](GInpInt64Form& f) { PushKeys(f, {kKeyBackspace, '2', '4', '7', kKeyEnter}); });
    EXPECT_TRUE(address.Execute(a));
    EXPECT_EQ(a, 247);
    GInpUInt64Form free;
    uint64_t u = 3;
    EXPECT_TRUE(refused(free, {kKeyBackspace}, u));
    EXPECT_EQ(free.MessageText(), u"Введите значение");
    WhenShown<GInpUInt64Form>([](GInpUInt64Form& f) { PushKeys(f, {kKeyBackspace, '0', kKeyEnter}); });
    EXPECT_TRUE(free.Execute(u));
    EXPECT_EQ(u, 0u);
}

TEST(InputNumberForm, KeypadGeometry) {
    GInpUInt64Form f;
    for (int i = 0; i < 16; ++i) {
        static const int codes[16] = {1, 2, 3, 10, 4, 5, 6, 15, 7, 8, 9, 13, 14, 0, 12, 11};
        GTextButton* b = f.KeyButton(codes[i]);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Rect(), (GRect{(i % 4) * 61, (i / 4) * 61, 60, 60}));
    }
    EXPECT_EQ(f.KeyButton(kNumKeyOk)->Caption(), u"OK");
    EXPECT_EQ(f.KeyButton(kNumKeyExp)->Caption(), u"E+/-");
    EXPECT_EQ(f.KeyButton(kNumKeyOk)->Parent()->Width(), 243);
}

TEST(DisplayFormat, FormatsOneValueSafely) {
    EXPECT_EQ(FormatNumber(u" %I64d", int64_t(-42)), u" -42");
    EXPECT_EQ(FormatNumber(u"%02I64d", int64_t(5)), u"05");
    EXPECT_EQ(FormatNumber(u"%04I64d", int64_t(2018)), u"2018");
    EXPECT_EQ(FormatNumber(u"Найдено: %I64d", int64_t(3)), u"Найдено: 3");
    EXPECT_EQ(FormatNumber(u"Концентрация\n%.3lf %%", 12.5), u"Концентрация\n12.500 %");
    EXPECT_EQ(FormatNumber(u" %.3lf", 1.0), u" 1.000");
    // A mismatched or repeated conversion never reads a missing argument.
    EXPECT_EQ(FormatNumber(u"%d", 2.9), u"2");
    EXPECT_EQ(FormatNumber(u"%.1f", int64_t(3)), u"3.0");
    EXPECT_EQ(FormatNumber(u"%d %s %n %d", int64_t(1)), u"1 %s %n %d");
    EXPECT_EQ(FormatNumber(u"%*d", int64_t(1)), u"%*d");
    EXPECT_EQ(FormatNumber(u"%999999d", int64_t(1)).length(), 64u);
}

TEST(Keypad, AnIntegerIsTakenOnlyWhenExact) {
    GNumberEdit_t n;
    int64_t i = -1;
    uint64_t u = 1;
    const struct {
        const char* text;
        bool exact;
        int64_t value;
    } cases[] = {
        {"12.7", false, 0}, {"19.9", false, 0},  {"12.0", true, 12},     {"1.5E+1", true, 15},
        {"1.25E+1", false, 0}, {"-0.001", false, 0}, {"1200E-2", true, 12}, {"9E+99", false, 0},
        {"-9223372036854775808", true, std::numeric_limits<int64_t>::min()}, {"9223372036854775808", false, 0},
    };
    for (const auto& c : cases) {
        n.SetText(c.text);
        EXPECT_EQ(n.ExactInt64(&i), c.exact) << c.text;
        if (c.exact) {
            EXPECT_EQ(i, c.value) << c.text;
        }
    }
    n.SetText("NaN");
    EXPECT_FALSE(n.ExactInt64(&i));
    n.SetText("-3");
    EXPECT_FALSE(n.ExactUInt64(&u));
    n.SetText("-0");
    EXPECT_TRUE(n.ExactUInt64(&u));
    EXPECT_EQ(u, 0u);
}

TEST(InputNumberForm, AnIntegerFormWithoutARangeRefusesAFraction) {
    WhenShown<GInpInt64Form>([](GInpInt64Form& f) {
        PushKeys(f, {'2', '.', '5', kKeyEnter});
        WhenShown<GInpInt64Form>([](GInpInt64Form& g) { PushKeys(g, {kKeyEscape}); }, 50);
    });
    GInpInt64Form f;
    int64_t v = 7;
    EXPECT_FALSE(f.Execute(v));
    EXPECT_EQ(v, 7);
    EXPECT_EQ(f.MessageText(), u"Недопустимое значение.\nДопустимо целое число");
}
