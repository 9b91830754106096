#include "foundation/ustring.h"

#include <cstdio>
#include <vector>

namespace text {

std::string to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

namespace {

// Decodes UTF-8, handing each UTF-16 unit to put. Never more units than bytes.
template <typename Put>
void decode_utf8(std::string_view s, Put put) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        uint32_t c;
        size_t n;
        if (b < 0x80) { c = b; n = 1; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; n = 2; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; n = 3; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07; n = 4; }
        else { put(0xFFFD); ++i; continue; }
        if (i + n > s.size()) { put(0xFFFD); break; }
        bool ok = true;
        for (size_t k = 1; k < n; ++k) {
            unsigned char cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) { ok = false; break; }
            c = (c << 6) | (cb & 0x3F);
        }
        if (!ok) { put(0xFFFD); ++i; continue; }
        i += n;
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            put(char16_t(0xD800 + (c >> 10)));
            put(char16_t(0xDC00 + (c & 0x3FF)));
        } else if (c < 0x10000) {
            put(char16_t(c));
        } else {
            put(0xFFFD);
        }
    }
}

}  // namespace

std::u16string from_utf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    decode_utf8(s, [&out](char16_t c) { out.push_back(c); });
    return out;
}

std::u16string from_cp1251(std::string_view s) {
    // 0x80..0xBF of code page 1251; 0xC0..0xFF map to U+0410..U+044F.
    static const char16_t high[64] = {
        0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
        0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
        0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
        0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
        0x0458, 0x0405, 0x0455, 0x0457};
    std::u16string out;
    out.reserve(s.size());
    for (char ch : s) {
        unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x80) out.push_back(b);
        else if (b < 0xC0) out.push_back(high[b - 0x80]);
        else out.push_back(char16_t(0x0410 + (b - 0xC0)));
    }
    return out;
}

ustring_t from_uint(uint32_t v) { return format(16, "%u", v); }
ustring_t from_int(int32_t v) { return format(16, "%d", v); }
ustring_t vformat(size_t max_len, const char* fmt, va_list ap) {
    // A text that fits the stack buffers is made without touching the heap.
    char small[256];
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
    if (n < 0) {
        va_end(ap2);
        return ustring_t();
    }
    if (static_cast<size_t>(n) < sizeof small) {
        va_end(ap2);
        char16_t wide[sizeof small];
        size_t len = 0;
        decode_utf8(std::string_view(small, size_t(n)), [&](char16_t c) { wide[len++] = c; });
        return ustring_t(std::u16string_view(wide, len < max_len ? len : max_len));
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), fmt, ap2);
    va_end(ap2);
    std::u16string wide = from_utf8(std::string_view(big.data(), size_t(n)));
    if (wide.size() > max_len) wide.resize(max_len);
    return ustring_t(std::u16string_view(wide));
}

ustring_t format(size_t max_len, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    ustring_t r = vformat(max_len, fmt, ap);
    va_end(ap);
    return r;
}

ustring_t to_lower(const ustring_t& s) {
    std::u16string w(s.view());
    for (auto& c : w) {
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        else if (c >= 0x0410 && c <= 0x042F) c = char16_t(c + 32);
        else if (c >= 0x0400 && c <= 0x040F) c = char16_t(c + 80);
    }
    return ustring_t(std::u16string_view(w));
}

}  // namespace text
