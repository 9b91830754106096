#include "toolkit/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace UIK {

namespace {

struct Directive {
    std::string flags;
    int width = -1, precision = -1;
    char conv = 0;
    size_t end = 0;  // index after the conversion
    bool ok = false;
};

// Parses a conversion starting after '%' at index i.
Directive parse_directive(std::u16string_view f, size_t i) {
    Directive s;
    while (i < f.size() && std::strchr("-+ #0", char(f[i])) && f[i] < 128) s.flags += char(f[i++]);
    auto number = [&](int* out) {
        int n = 0;
        bool any = false;
        while (i < f.size() && f[i] >= u'0' && f[i] <= u'9') {
            n = std::min(n * 10 + int(f[i] - u'0'), 1000);
            ++i;
            any = true;
        }
        if (any) *out = std::min(n, 64);
    };
    number(&s.width);
    if (i < f.size() && f[i] == u'.') {
        ++i;
        s.precision = 0;
        number(&s.precision);
    }
    // Length modifiers: the value's own type decides, so they are skipped.
    if (f.substr(i, 3) == u"I64") i += 3;
    while (i < f.size() && (f[i] == u'l' || f[i] == u'h' || f[i] == u'L' || f[i] == u'q' || f[i] == u'j' ||
                            f[i] == u'z' || f[i] == u't'))
        ++i;
    if (i < f.size() && f[i] < 128 && std::strchr("diuxXofFeEgGaA", char(f[i])) && f[i] != 0) {
        s.conv = char(f[i]);
        s.end = i + 1;
        s.ok = true;
    }
    return s;
}

std::string spec_prefix(const Directive& s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%%%s", s.flags.c_str());
    std::string p = buf;
    if (s.width >= 0) p += std::to_string(s.width);
    if (s.precision >= 0) {
        p += '.';
        p += std::to_string(s.precision);
    }
    return p;
}

std::string apply(const Directive& s, double dv, int64_t iv, bool is_double) {
    char buf[160];
    bool floating = std::strchr("fFeEgGaA", s.conv) != nullptr;
    if (floating) {
        double v = is_double ? dv : double(iv);
        std::snprintf(buf, sizeof buf, (spec_prefix(s) + s.conv).c_str(), v);
    } else {
        int64_t v = iv;
        if (is_double) {
            if (std::isnan(dv)) v = 0;
            else if (dv >= 9.2233720368547758e18) v = std::numeric_limits<int64_t>::max();
            else if (dv <= -9.2233720368547758e18) v = std::numeric_limits<int64_t>::min();
            else v = int64_t(dv);
        }
        char conv = s.conv == 'i' ? 'd' : s.conv;
        std::string f = spec_prefix(s) + "ll" + conv;
        if (conv == 'd') std::snprintf(buf, sizeof buf, f.c_str(), (long long)v);
        else std::snprintf(buf, sizeof buf, f.c_str(), (unsigned long long)v);
    }
    return buf;
}

ustring_t format_one(const ustring_t& fmt, double dv, int64_t iv, bool is_double) {
    std::u16string_view f = fmt.view();
    std::u16string out;
    bool used = false;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != u'%') {
            out += f[i];
            continue;
        }
        if (i + 1 < f.size() && f[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        Directive s = parse_directive(f, i + 1);
        if (!s.ok || used) {
            out += f[i];
            continue;
        }
        used = true;
        std::string t = apply(s, dv, iv, is_double);
        out += text::from_utf8(t);
        i = s.end - 1;
    }
    return ustring_t(std::u16string_view(out));
}

}  // namespace

ustring_t FormatNumber(const ustring_t& fmt, double v) { return format_one(fmt, v, 0, true); }
ustring_t FormatNumber(const ustring_t& fmt, int64_t v) { return format_one(fmt, 0, v, false); }

std::string DoubleText15(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    // A locale with a decimal comma would write ','; the entry form reads '.'.
    for (char* p = buf; *p; ++p)
        if (*p == ',') *p = '.';
    return buf;
}

}  // namespace UIK
