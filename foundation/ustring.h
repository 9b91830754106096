// Owned, zero-terminated UTF-16 strings and the text conversions the program
// needs. Program texts are char16_t throughout (wchar_t is 32 bits on Linux).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

template <typename Ch>
class TheString_T {
public:
    TheString_T() = default;
    TheString_T(const Ch* text) { assign(text); }
    TheString_T(std::basic_string_view<Ch> text) { assign(text.data(), text.size()); }
    TheString_T(const TheString_T& other) { assign(other.buf_); }
    TheString_T(TheString_T&& other) noexcept : buf_(other.buf_) { other.buf_ = nullptr; }
    ~TheString_T() { delete[] buf_; }

    TheString_T& operator=(const TheString_T& other) { assign(other.buf_); return *this; }
    TheString_T& operator=(TheString_T&& other) noexcept {
        if (this != &other) { delete[] buf_; buf_ = other.buf_; other.buf_ = nullptr; }
        return *this;
    }
    TheString_T& operator=(const Ch* text) { assign(text); return *this; }

    // Copies text into a buffer of exactly length + 1 characters. Assigning the
    // string's own buffer does nothing; an empty text frees the buffer.
    void assign(const Ch* text) { assign(text, text ? length_of(text) : 0); }
    void assign(const Ch* text, size_t n) {
        if (text != nullptr && text == buf_) return;
        if (text == nullptr || n == 0) { delete[] buf_; buf_ = nullptr; return; }
        Ch* fresh = new Ch[n + 1];
        for (size_t i = 0; i < n; ++i) fresh[i] = text[i];
        fresh[n] = 0;
        delete[] buf_;
        buf_ = fresh;
    }

    // Appending allocates a new buffer for the joined text.
    TheString_T& append(const Ch* text) { return append(text, text ? length_of(text) : 0); }
    TheString_T& append(const Ch* text, size_t n) {
        if (text == nullptr || n == 0) return *this;
        size_t len = length();
        Ch* fresh = new Ch[len + n + 1];
        for (size_t i = 0; i < len; ++i) fresh[i] = buf_[i];
        for (size_t i = 0; i < n; ++i) fresh[len + i] = text[i];
        fresh[len + n] = 0;
        delete[] buf_;
        buf_ = fresh;
        return *this;
    }
    TheString_T& operator+=(const Ch* text) { return append(text); }
    TheString_T& operator+=(const TheString_T& other) { return append(other.buf_); }
    friend TheString_T operator+(const TheString_T& a, const TheString_T& b) {
        TheString_T r(a); r += b; return r;
    }
    friend TheString_T operator+(const TheString_T& a, const Ch* b) {
        TheString_T r(a); r += b; return r;
    }

    // Never null: an empty string yields a pointer to a static terminator.
    const Ch* c_str() const { static const Ch empty = 0; return buf_ ? buf_ : &empty; }
    // Null for the empty string.
    const Ch* data() const { return buf_; }
    size_t length() const { return buf_ ? length_of(buf_) : 0; }
    bool empty() const { return buf_ == nullptr || buf_[0] == 0; }
    std::basic_string_view<Ch> view() const { return {c_str(), length()}; }
    Ch operator[](size_t i) const { return buf_[i]; }

    friend bool operator==(const TheString_T& a, const TheString_T& b) { return a.view() == b.view(); }
    friend bool operator==(const TheString_T& a, const Ch* b) {
        return a.view() == std::basic_string_view<Ch>(b ? b : TheString_T().c_str());
    }

    static size_t length_of(const Ch* s) { size_t n = 0; while (s[n]) ++n; return n; }

private:
    Ch* buf_ = nullptr;
};

using ustring_t = TheString_T<char16_t>;

namespace text {

// UTF-16 to UTF-8. A surrogate pair becomes one four-byte sequence; an unpaired
// surrogate is encoded by itself as a three-byte sequence, so nothing is lost.
std::string to_utf8(std::u16string_view s);
// UTF-8 to UTF-16. Malformed bytes become U+FFFD.
std::u16string from_utf8(std::string_view s);
// Windows code page 1251 (Cyrillic) to UTF-16.
std::u16string from_cp1251(std::string_view s);

// Numbers as text, with the formats "%u", "%d" and "%I64d".
ustring_t from_uint(uint32_t v);
ustring_t from_int(int32_t v);
ustring_t from_int64(int64_t v);

// printf-style formatting with an explicit maximum length in characters: the
// result is cut at that length. The format is UTF-8 and %s arguments are UTF-8.
ustring_t format(size_t max_len, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
ustring_t vformat(size_t max_len, const char* fmt, va_list ap);

// Lower-case copy (Latin and Cyrillic letters, Ё included).
ustring_t to_lower(const ustring_t& s);

// Convenience for UTF-16 literals and UTF-8 output.
inline std::string utf8(const ustring_t& s) { return to_utf8(s.view()); }
inline ustring_t u16(std::string_view s) { auto w = from_utf8(s); return ustring_t(std::u16string_view(w)); }

}  // namespace text
