#include "foundation/error.h"

bool stdoff::error_category::equivalent(const error_value_t& value, int32_t code) const {
    return value.category == this && value.code == code;
}

namespace {

constinit const named_category_t kEmptyCategory{u"no category", [](int32_t code) -> const char16_t* {
    return code == 0 ? u"ok" : u"unknown error";
}};

const char16_t* assert_message(int32_t code) {
    switch (code) {
    case app::kNoError: return u"Нет ошибки";
    case app::kLogicError: return u"Логическая ошибка в программе";
    case app::kDriverLogicError: return u"Логическая ошибка в драйвере Modbus";
    case app::kDeviceLogicError: return u"Логическая ошибка устройства";
    case app::kJournalLoadError: return u"Ошибка загрузки журнала";
    case app::kJournalTimeout: return u"Таймаут загрузки журнала";
    default: return u"Неизвестная ошибка";
    }
}
constinit const named_category_t kAssertCategory{u"Приложение", assert_message};

}  // namespace

const stdoff::error_category& empty_category() { return kEmptyCategory; }
const stdoff::error_category& app::assert_category() { return kAssertCategory; }

ustring_t error_value_t::describe() const {
    ustring_t s(name());
    s += u": ";
    s += message();
    return s;
}

ustring_t window_message_text(const error_value_t& e) {
    ustring_t s(e.name());
    s += u". ";
    s += e.message();
    return s;
}

ustring_t port_message_text(const char16_t* operation, const error_value_t& e) {
    ustring_t s(operation);
    s += u"\n";
    s += e.describe();
    return s;
}
