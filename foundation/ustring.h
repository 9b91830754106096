// Owned, zero-terminated UTF-16 strings and the text conversions the program
// needs. Program texts are char16_t throughout (wchar_t is 32 bits on Linux).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A text of up to kSmall characters lives inside the string itself; only a
// longer one takes a buffer from the heap. The texts a window shows on each
// refresh (numbers, short captions) are short, so refreshing them costs no
// allocation.
template <typename Ch>
class TheString_T {
public:
    static constexpr size_t kSmall = 31;

    TheString_T() noexcept {}
    TheString_T(const Ch* text) { assign(text); }
    TheString_T(std::basic_string_view<Ch> text) { assign(text.data(), text.size()); }
    TheString_T(const TheString_T& other) { assign(other.buf_); }
    TheString_T(TheString_T&& other) noexcept { take(other); }
    ~TheString_T() { release(); }

    TheString_T& operator=(const TheString_T& other) { assign(other.buf_); return *this; }
    TheString_T& operator=(TheString_T&& other) noexcept {
        if (this != &other) { release(); take(other); }
        return *this;
    }
    TheString_T& operator=(const Ch* text) { assign(text); return *this; }

    // Copies text in: into the string itself when it is short, else into a
    // buffer of exactly length + 1 characters. Assigning the string's own
    // buffer does nothing; an empty text frees the buffer.
    void assign(const Ch* text) { assign(text, text ? length_of(text) : 0); }
    void assign(const Ch* text, size_t n) {
        if (text != nullptr && text == buf_) return;
        if (text == nullptr || n == 0) { release(); return; }
        place(text, n, nullptr, 0);
    }

    // Appending allocates a new buffer for the joined text unless it fits in
    // the string itself.
    TheString_T& append(const Ch* text) { return append(text, text ? length_of(text) : 0); }
    TheString_T& append(const Ch* text, size_t n) {
        if (text == nullptr || n == 0) return *this;
        const size_t len = length();
        if (len == 0) { place(text, n, nullptr, 0); return *this; }
        place(buf_, len, text, n);
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
    bool on_heap() const { return buf_ != nullptr && buf_ != small_; }
    void release() {
        if (on_heap()) delete[] buf_;
        buf_ = nullptr;
    }
    void take(TheString_T& other) {
        if (other.on_heap()) {
            buf_ = other.buf_;
        } else if (other.buf_) {
            const size_t n = length_of(other.small_);
            for (size_t i = 0; i <= n; ++i) small_[i] = other.small_[i];
            buf_ = small_;
        }
        other.buf_ = nullptr;
    }
    // Makes the text first[0..n1) + second[0..n2); either may point into this
    // string's own text.
    void place(const Ch* first, size_t n1, const Ch* second, size_t n2) {
        const size_t n = n1 + n2;
        Ch* old_heap = on_heap() ? buf_ : nullptr;
        if (n <= kSmall) {
            // Into the string itself: copy through a scratch copy, the sources
            // may be this very buffer.
            Ch scratch[kSmall + 1];
            for (size_t i = 0; i < n1; ++i) scratch[i] = first[i];
            for (size_t i = 0; i < n2; ++i) scratch[n1 + i] = second[i];
            for (size_t i = 0; i < n; ++i) small_[i] = scratch[i];
            small_[n] = 0;
            buf_ = small_;
        } else {
            Ch* fresh = new Ch[n + 1];
            for (size_t i = 0; i < n1; ++i) fresh[i] = first[i];
            for (size_t i = 0; i < n2; ++i) fresh[n1 + i] = second[i];
            fresh[n] = 0;
            buf_ = fresh;
        }
        delete[] old_heap;
    }

    Ch* buf_ = nullptr;  // null (empty), small_, or a heap buffer
    Ch small_[kSmall + 1];
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

// Numbers as text, with the formats "%u" and "%d".
ustring_t from_uint(uint32_t v);
ustring_t from_int(int32_t v);

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
