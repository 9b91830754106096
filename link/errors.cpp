#include "link/errors.h"

#include <array>
#include <string>

#include "link/modbus.h"

namespace {

const char16_t* comport_message(int32_t code) {
    switch (code) {
    case kComOk: return u"Нет ошибки";
    case kComOpenFailed: return u"Ошибка открытия порта";
    case kComWriteFailed: return u"Ошибка передачи";
    case kComInvalidData: return u"Неверные данные";
    case kComInvalidSize: return u"Неверный размер данных";
    case kComNotOpen: return u"Порт не открыт";
    case kComReadFailed: return u"Ошибка приема";
    case kComNoEcho: return u"Эхо отсутствует";
    case kComEchoMismatch: return u"Эхо не совпадает с запросом";
    case kComCloseFailed: return u"Ошибка закрытия порта";
    default: return u"Неизвестная ошибка";
    }
}

const char16_t* drv_message(int32_t code) {
    switch (code) {
    case kDrvOk: return u"Нет ошибки";
    case kDrvUnsupportedFunction: return u"Функция не поддерживается драйвером";
    case kDrvBadRequestSize: return u"Недопустимый размер данных в запросе";
    case kDrvBadCrc: return u"Неверная контрольная сумма";
    case kDrvReplyMismatch: return u"Отклик не соответствует запросу";
    case kDrvTimeout: return u"Таймаут приёма данных";
    case kDrvCancelled: return u"Операция прервана";
    case kDrvWriteEchoMismatch: return u"Ответ подтверждает другую запись: выполнена ли эта, неизвестно";
    case kDrvBadAddress: return u"Недопустимый адрес устройства: запрос не отправлен";
    default: return u"Неизвестная ошибка";
    }
}

const char16_t* mb_message(int32_t code) {
    switch (code) {
    case mb::kExIllegalFunction: return u"Недопустимая функция";
    case mb::kExIllegalDataAddress: return u"Недопустимый адрес";
    case mb::kExIllegalDataValue: return u"Недопустимое значение данных";
    case mb::kExDeviceFailure: return u"Сбой устройства";
    case mb::kExAcknowledge: return u"Запрос принят. Обрабатывается";
    case mb::kExDeviceBusy: return u"Устройство занято";
    case mb::kExNegativeAcknowledge: return u"Отрицательный ответ";
    case mb::kExMemoryParityError: return u"Сбой памяти устройства";
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

constinit const named_category_t kComportCategory{u"COM-порт", comport_message};
constinit const named_category_t kDrvCategory{u"Modbus-драйвер", drv_message};
constinit const named_category_t kMbCategory{u"Modbus-протокол", mb_message};

}  // namespace

const stdoff::error_category& comport_category() { return kComportCategory; }
const stdoff::error_category& drv_category() { return kDrvCategory; }
const stdoff::error_category& mb_category() { return kMbCategory; }

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
