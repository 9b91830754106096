#include "link/errors.h"

#include <array>
#include <string>

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
    case 9: return u"Ошибка закрытия порта";
    default: return u"Неизвестная ошибка";
    }
}

const stdoff::error_category& comport_category() {
    static const comport_error_category instance;
    return instance;
}

ustring_t port_open_reason(const std::string& path, plat::SerialOpen result, unsigned com_number) {
    if (path.empty()) {
        if (com_number == 0) return ustring_t(u"COM-порт не задан");
        return text::format(64, "COM%u: устройство отсутствует", com_number);
    }
    const char* reason = "не удалось открыть устройство";
    switch (result) {
    case plat::SerialOpen::ok: return ustring_t();
    case plat::SerialOpen::not_found: reason = "устройство отсутствует"; break;
    case plat::SerialOpen::busy: reason = "порт занят другой программой"; break;
    case plat::SerialOpen::not_serial: reason = "это не последовательный порт"; break;
    case plat::SerialOpen::no_permission:
        reason = "нет прав доступа (добавьте пользователя в группу dialout и войдите в систему заново)";
        break;
    case plat::SerialOpen::refused: reason = "порт не принял настройки линии"; break;
    case plat::SerialOpen::failed: break;
    }
    return text::u16(path + ": " + reason);
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
    case 7: return u"Ответ подтверждает другую запись: выполнена ли эта, неизвестно";
    case 8: return u"Недопустимый адрес устройства: запрос не отправлен";
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
    case kMbZeroException: return u"Отказ устройства без кода исключения";
    default: break;
    }
    if (code <= 0 || code > 0xFF) return u"Неизвестная ошибка";
    // One text per exception byte, made once: the category hands out static texts.
    static const std::array<std::u16string, 256> unknown = [] {
        std::array<std::u16string, 256> t;
        for (int c = 0; c < 256; ++c) {
            t[size_t(c)] = u"Неизвестный код исключения ";
            for (char d : std::to_string(c)) t[size_t(c)] += char16_t(d);
        }
        return t;
    }();
    return unknown[size_t(code)].c_str();
}

const stdoff::error_category& mb_category() {
    static const mb_error_category_t instance;
    return instance;
}
