// Error values: a code and a pointer to a process-wide category singleton that
// turns codes into Russian messages. Code 0 is success whatever the category.
// Every failure in the program travels as one of these, never as an exception.
#pragma once

#include <cstdint>

#include "foundation/ustring.h"

struct error_value_t;

namespace stdoff {

class error_category {
public:
    virtual const char16_t* name() const = 0;
    // Never null.
    virtual const char16_t* message(int32_t code) const = 0;
    virtual bool equivalent(const error_value_t& value, int32_t code) const;
    virtual ~error_category() = default;
};

}  // namespace stdoff

// A category made of its name and a function giving each code's message; a
// category is one such object, constant-initialised beside its codes.
class named_category_t final : public stdoff::error_category {
public:
    using message_fn = const char16_t* (*)(int32_t code);
    constexpr named_category_t(const char16_t* name, message_fn message) : name_(name), message_(message) {}
    const char16_t* name() const override { return name_; }
    const char16_t* message(int32_t code) const override { return message_(code); }

private:
    const char16_t* name_;
    message_fn message_;
};

const stdoff::error_category& empty_category();

namespace app {

// "Приложение": faults of the program itself and of journal downloads.
enum assert_code : int32_t {
    kNoError = 0,
    kLogicError = 1,
    kDriverLogicError = 2,
    kDeviceLogicError = 3,
    kJournalLoadError = 4,
    kJournalTimeout = 5,
};
const stdoff::error_category& assert_category();

}  // namespace app

struct error_value_t {
    int32_t code = 0;
    const stdoff::error_category* category = &empty_category();

    error_value_t() = default;
    error_value_t(int32_t c, const stdoff::error_category& cat) : code(c), category(&cat) {}

    bool is_error() const { return code != 0; }
    explicit operator bool() const { return is_error(); }
    // Same error: equal category pointers and equal codes.
    bool same(const error_value_t& other) const { return category == other.category && code == other.code; }
    friend bool operator==(const error_value_t& a, const error_value_t& b) { return a.same(b); }

    const char16_t* name() const { return category->name(); }
    const char16_t* message() const { return category->message(code); }
    // "<name>: <message>", the form used by logs and the command-line tool.
    ustring_t describe() const;
};

// The sentence forms of an error for the user; every text built from an error
// value goes through one of these.
//   window_message_text: "<name>. <message>", which window messages put into
//     their own sentence (usually after "\n(").
//   port_message_text: "<operation>\n<name>: <message>", the device link's
//     texts of its port operations ("Открытие порта", "Настройка порта").
ustring_t window_message_text(const error_value_t& e);
ustring_t port_message_text(const char16_t* operation, const error_value_t& e);

inline error_value_t success() { return error_value_t(); }
inline error_value_t app_error(int32_t code) { return error_value_t(code, app::assert_category()); }
