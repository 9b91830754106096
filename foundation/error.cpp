#include "foundation/error.h"

bool stdoff::error_category::equivalent(const error_value_t& value, int32_t code) const {
    return value.category == this && value.code == code;
}

const stdoff::error_category& empty_category() {
    static const empty_category_t instance;
    return instance;
}

namespace app {

const char16_t* assert_category_t::name() const { return u"Приложение"; }

const char16_t* assert_category_t::message(int32_t code) const {
    switch (code) {
    case 0: return u"Нет ошибки";
    case 1: return u"Логическая ошибка в программе";
    case 2: return u"Логическая ошибка в драйвере Modbus";
    case 3: return u"Логическая ошибка устройства";
    case 4: return u"Ошибка загрузки журнала";
    case 5: return u"Таймаут загрузки журнала";
    default: return u"Неизвестная ошибка";
    }
}

const stdoff::error_category& assert_category() {
    static const assert_category_t instance;
    return instance;
}

}  // namespace app

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
