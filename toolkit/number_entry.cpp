#include "toolkit/number_entry.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "toolkit/number_text.h"

namespace UIK {

// ---- GNumberEdit_t ----------------------------------------------------------------

void GNumberEdit_t::Clear() {
    minus = point = blank = false;
    int_digits.clear();
    frac_digits.clear();
    exp_digits.clear();
    exp = kNoExp;
    special.clear();
}

void GNumberEdit_t::SetDouble(double v) { SetText(DoubleText15(v)); }

void GNumberEdit_t::SetInteger(int64_t v) {
    Clear();
    minus = v < 0;
    uint64_t m = minus ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    if (m != 0) int_digits = std::to_string(m);
}

void GNumberEdit_t::SetUnsigned(uint64_t v) {
    Clear();
    if (v != 0) int_digits = std::to_string(v);
}

void GNumberEdit_t::SetText(const std::string& t) {
    Clear();
    if (t == "NaN" || t == "Inf" || t == "-Inf") {
        special = t;
        return;
    }
    size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) minus = t[i++] == '-';
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) int_digits += t[i];
    if (i < t.size() && t[i] == '.') {
        point = true;
        for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) frac_digits += t[i];
    }
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
        ++i;
        exp = kExpPlus;
        if (i < t.size() && (t[i] == '-' || t[i] == '+')) exp = t[i++] == '-' ? kExpMinus : kExpPlus;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) exp_digits += t[i];
    }
    // Zero is an empty integer part, so that typing replaces it.
    size_t nz = int_digits.find_first_not_of('0');
    int_digits = nz == std::string::npos ? std::string() : int_digits.substr(nz);
    // "%G" leaves no point without fraction digits; a bare point is dropped.
    if (point && frac_digits.empty()) point = false;
}

void GNumberEdit_t::Key(int code) {
    if (code == kNumKeyOk) return;
    if (!special.empty()) Clear();  // the first key starts a fresh number
    if (code != kNumKeyBack && code != kNumKeySign) blank = false;
    if (code >= 0 && code <= 9) {
        char d = char('0' + code);
        if (exp != kNoExp) {
            if (exp_digits.size() < kMaxExpDigits) exp_digits += d;
        } else if (int_digits.size() + frac_digits.size() < kMaxDigits) {
            if (point) frac_digits += d;
            else if (!(code == 0 && int_digits.empty())) int_digits += d;
        }
        return;
    }
    switch (code) {
    case kNumKeyPoint:
        if (!point && exp == kNoExp) point = true;
        break;
    case kNumKeySign:
        minus = !minus;
        break;
    case kNumKeyExp:
        if (exp == kNoExp) {
            exp = kExpPlus;
            if (int_digits.empty() && frac_digits.empty()) int_digits.assign(1, '1');
        } else {
            exp = exp == kExpPlus ? kExpMinus : kExpPlus;
        }
        break;
    case kNumKeyBack:
        if (exp != kNoExp) {
            if (!exp_digits.empty()) exp_digits.pop_back();
            else exp = kNoExp;
        } else if (point) {
            if (!frac_digits.empty()) frac_digits.pop_back();
            else point = false;
        } else if (!int_digits.empty()) {
            int_digits.pop_back();
        } else {
            minus = false;
        }
        if (exp == kNoExp && !point && int_digits.empty() && frac_digits.empty()) blank = true;
        break;
    case kNumKeyClear:
        SetDouble(0);
        break;
    default:
        break;
    }
}

std::string GNumberEdit_t::Text() const {
    if (!special.empty()) return special;
    if (blank) return minus ? "-" : "";
    std::string t;
    if (minus) t += '-';
    t += int_digits.empty() ? std::string("0") : int_digits;
    if (point) {
        t += '.';
        t += frac_digits;
    }
    if (exp != kNoExp) {
        t += 'E';
        t += exp == kExpPlus ? '+' : '-';
        t += exp_digits;
    }
    return t;
}

double GNumberEdit_t::Value() const {
    if (special == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (special == "Inf") return std::numeric_limits<double>::infinity();
    if (special == "-Inf") return -std::numeric_limits<double>::infinity();
    // The decimal text is converted in one step, correctly rounded, instead of
    // summing powers of ten (2.3E+1 must give exactly 23).
    std::string t = int_digits.empty() ? std::string("0") : int_digits;
    t += '.';
    t += frac_digits;
    t += '0';
    if (exp != kNoExp && !exp_digits.empty()) {
        t += 'e';
        if (exp == kExpMinus) t += '-';
        t += exp_digits;
    }
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec == std::errc::result_out_of_range) v = exp == kExpMinus ? 0.0 : std::numeric_limits<double>::infinity();
    return minus ? -v : v;
}

namespace {
// Where the point lies in int_digits + frac_digits once the exponent moves it.
long point_position(const GNumberEdit_t& n) {
    long shift = long(n.int_digits.size());
    if (n.exp != GNumberEdit_t::kNoExp && !n.exp_digits.empty()) {
        long e = std::stol(n.exp_digits);
        shift += n.exp == GNumberEdit_t::kExpMinus ? -e : e;
    }
    return shift;
}

// Whether every digit after the point (as the exponent places it) is 0.
bool no_fraction(const GNumberEdit_t& n) {
    const std::string digits = n.int_digits + n.frac_digits;
    const long shift = point_position(n);
    for (size_t i = shift <= 0 ? 0 : size_t(shift); i < digits.size(); ++i)
        if (digits[i] != '0') return false;
    return true;
}

// The integer part of the digits with the point moved by the exponent;
// false when it does not fit 64 unsigned bits.
bool integer_part(const GNumberEdit_t& n, uint64_t* out) {
    std::string digits = n.int_digits + n.frac_digits;
    const long shift = point_position(n);
    *out = 0;
    if (shift <= 0) return true;
    if (size_t(shift) > digits.size()) digits.append(size_t(shift) - digits.size(), '0');
    std::string ip = digits.substr(0, size_t(shift));
    size_t nz = ip.find_first_not_of('0');
    if (nz == std::string::npos) return true;
    ip = ip.substr(nz);
    auto r = std::from_chars(ip.data(), ip.data() + ip.size(), *out);
    return r.ec == std::errc();
}
}  // namespace

int64_t GNumberEdit_t::Int64Value() const {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();
    if (special == "NaN") return 0;
    if (!special.empty()) return special == "Inf" ? kMax : kMin;
    uint64_t m = 0;
    bool fits = integer_part(*this, &m);
    if (!minus) return (!fits || m > uint64_t(kMax)) ? kMax : int64_t(m);
    if (!fits || m > uint64_t(kMax) + 1) return kMin;
    return m == uint64_t(kMax) + 1 ? kMin : -int64_t(m);
}

uint64_t GNumberEdit_t::UInt64Value() const {
    if (special == "NaN" || special == "-Inf") return 0;
    if (special == "Inf") return std::numeric_limits<uint64_t>::max();
    uint64_t m = 0;
    bool fits = integer_part(*this, &m);
    if (minus) return 0;
    return fits ? m : std::numeric_limits<uint64_t>::max();
}

bool GNumberEdit_t::ExactInt64(int64_t* out) const {
    constexpr uint64_t kMax = uint64_t(std::numeric_limits<int64_t>::max());
    uint64_t m = 0;
    if (!special.empty() || !no_fraction(*this) || !integer_part(*this, &m)) return false;
    if (m > (minus ? kMax + 1 : kMax)) return false;
    *out = Int64Value();
    return true;
}

bool GNumberEdit_t::ExactUInt64(uint64_t* out) const {
    uint64_t m = 0;
    if (!special.empty() || !no_fraction(*this) || !integer_part(*this, &m)) return false;
    if (minus && m != 0) return false;
    *out = m;
    return true;
}

// ---- GInputNumberForm -------------------------------------------------------------

namespace {
const struct {
    const char16_t* caption;
    int code;
} kKeys[16] = {
    {u"1", 1}, {u"2", 2}, {u"3", 3}, {u"<-", kNumKeyBack},
    {u"4", 4}, {u"5", 5}, {u"6", 6}, {u"C", kNumKeyClear},
    {u"7", 7}, {u"8", 8}, {u"9", 9}, {u"E+/-", kNumKeyExp},
    {u"+/-", kNumKeySign}, {u"0", 0}, {u".", kNumKeyPoint}, {u"OK", kNumKeyOk},
};
constexpr int kDisplayH = 44, kGap = 6;
constexpr GColor kRefusalColor = RGB(255, 0, 0);

ustring_t number_text(double v) { return text::u16(DoubleText15(v)); }
}  // namespace

ustring_t RangeText(double min, double max) {
    // A bound as far off as the type's largest value is no bound a person
    // reads: it is left out.
    constexpr double kUnbounded = 1e15;
    if (max >= kUnbounded && min > -kUnbounded) return ustring_t(u"не меньше ") + number_text(min);
    if (min <= -kUnbounded && max < kUnbounded) return ustring_t(u"не больше ") + number_text(max);
    return ustring_t(u"от ") + number_text(min) + ustring_t(u" до ") + number_text(max);
}
ustring_t RangeText(int64_t min, int64_t max) {
    return text::u16("от " + std::to_string(min) + " до " + std::to_string(max));
}
ustring_t RangeText(uint64_t min, uint64_t max) {
    return text::u16("от " + std::to_string(min) + " до " + std::to_string(max));
}

GInputNumberForm::GInputNumberForm() : display_(this), message_(this), pad_(this) {
    SetModal(true);
    SetClientSize(kPadSize, kDisplayH + kGap + kPadSize + kGap + kMessageHeight);
    GRect ca = ClientArea();
    display_.SetBounds(ca.left, ca.top, ca.width, kDisplayH);
    display_.SetBackColor(kColorDark);
    display_.SetAlignment(kAlignRight | kAlignMiddle);
    display_.SetFont(kFontFixed);
    pad_.SetBounds(ca.left, ca.top + kDisplayH + kGap, kPadSize, kPadSize);
    message_.SetBounds(ca.left, pad_.Bottom() + kGap, kPadSize, kMessageHeight);
    message_.SetFont(kFontSmall);
    message_.SetWordWrap(true);
    message_.SetAlignment(kAlignCenter | kAlignMiddle);
    message_.SetForeColor(kRefusalColor);
    for (int i = 0; i < 16; ++i) {
        GTextButton& b = keys_[i];
        codes_[i] = kKeys[i].code;
        b.SetParent(&pad_);
        b.SetBounds((i % 4) * kKeyPitch, (i / 4) * kKeyPitch, kKeySize, kKeySize);
        b.SetCaption(kKeys[i].caption);
        b.SetFont(codes_[i] <= 9 ? kFontFixed : kFontSmall);
        if (codes_[i] > 9) b.SetSkin(codes_[i] == kNumKeyOk ? bmpButtonSkin_Vulgar2 : bmpButtonSkin_Vulgar3);
        int code = codes_[i];
        b.OnClick.Set([this, code](GControl*) { Press(code); });
    }
    UpdateDisplay();
}

GInputNumberForm::~GInputNumberForm() = default;

GTextButton* GInputNumberForm::KeyButton(int code) {
    for (int i = 0; i < 16; ++i)
        if (codes_[i] == code) return &keys_[i];
    return nullptr;
}

void GInputNumberForm::Press(int code) {
    if (code == kNumKeyOk) {
        // Refused: the form stays open with the entry as typed.
        const ustring_t range = RangeText();
        if (num_.Blank()) {
            message_.SetText(range.empty() ? ustring_t(u"Введите значение")
                                           : ustring_t(u"Введите значение ") + range);
            return;
        }
        if (!InRange()) {
            // Only an integer form refuses without a range: a fraction, or a
            // number past its type.
            message_.SetText(ustring_t(u"Недопустимое значение.\nДопустимо ") +
                             (range.empty() ? ustring_t(u"целое число") : range));
            return;
        }
        accepted_ = true;
        Close();
        return;
    }
    message_.SetText(ustring_t());
    if (code == kNumKeyClear) PutZero();
    else num_.Key(code);
    UpdateDisplay();
}

void GInputNumberForm::UpdateDisplay() { display_.SetText(text::u16(num_.Text() + "_ ")); }

void GInputNumberForm::HandleFormKey(const GKeyEvent& e) {
    int code = -1;
    int k = e.key;
    if (k >= '0' && k <= '9') code = k - '0';
    else if (k == kKeyBackspace) code = kNumKeyBack;
    else if (k == kKeyEnter) code = kNumKeyOk;
    else if (k == ',' || k == '.') code = kNumKeyPoint;
    else if (k == '-') code = kNumKeySign;
    else if (k == 'e' || k == 'E') code = kNumKeyExp;
    else if (k == 'c' || k == 'C') code = kNumKeyClear;
    else if (k == kKeyEscape) {
        close_.PerformClick();
        return;
    }
    if (code < 0) return;
    if (GTextButton* b = KeyButton(code)) b->PerformClick();
}

bool GInputNumberForm::RunEntry(GControl* place_over) {
    accepted_ = false;
    message_.SetText(ustring_t());
    UpdateDisplay();
    Execute(place_over);
    return accepted_;
}

// ---- typed forms ------------------------------------------------------------------

double GInpDblForm::Result() const { return num_.Value() / scale_; }

bool GInpDblForm::Execute(double& value, GControl* place_over) {
    Start(value);
    if (!RunEntry(place_over)) return false;
    value = Result();
    return true;
}

}  // namespace UIK
