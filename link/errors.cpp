#include "link/errors.h"

const char16_t* comport_error_category::name() const { return u"COM-порт"; }

const char16_t* comport_error_category::message(int32_t code) const {
    switch (code) {
    case 0: return u"Нет ошибки";
    case 1: return u"Ошибка открытия порта";
    case 2: return u"Ошибка передачи";
    case 3: return u"Неверные данные";
    case 4: return u"Неверный размер данных";
    case 5: return u"Порт не открыт";
    case 6: return u"Ошибка приема";
    case 7: return u"Эхо отсутствует";
    case 8: return u"Эхо не совпадает с запросом";
    default: return u"Неизвестная ошибка";
    }
}

const stdoff::error_category& comport_category() {
    static const comport_error_category instance;
    return instance;
}

const char16_t* drv_error_category_t::name() const { return u"Modbus-драйвер"; }

const char16_t* drv_error_category_t::message(int32_t code) const {
    switch (code) {
    case 0: return u"Нет ошибки";
    case 1: return u"Функция не поддерживается драйвером";
    case 2: return u"Недопустимый размер данных в запросе";
    case 3: return u"Неверная контрольная сумма";
    case 4: return u"Отклик не соответствует запросу";
    case 5: return u"Таймаут приёма данных";
    case 6: return u"Операция прервана";
    default: return u"Неизвестная ошибка";
    }
}

const stdoff::error_category& drv_category() {
    static const drv_error_category_t instance;
    return instance;
}

const char16_t* mb_error_category_t::name() const { return u"Modbus-протокол"; }

const char16_t* mb_error_category_t::message(int32_t code) const {
    switch (code) {
    case 1: return u"Недопустимая функция";
    case 2: return u"Недопустимый адрес";
    case 3: return u"Недопустимое значение данных";
    case 4: return u"Сбой устройства";
    case 5: return u"Запрос принят. Обрабатывается";
    case 6: return u"Устройство занято";
    case 7: return u"Отрицательный ответ";
    case 8: return u"Сбой памяти устройства";
    default: return u"Неизвестная ошибка";
    }
}

const stdoff::error_category& mb_category() {
    static const mb_error_category_t instance;
    return instance;
}
