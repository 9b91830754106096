// Error categories of the serial transport and the Modbus master.
#pragma once

#include <string>

#include "foundation/error.h"
#include "platform/serial.h"

// "COM-порт": failures of the serial port.
enum comport_code : int32_t {
    kComOk = 0,
    kComOpenFailed = 1,
    kComWriteFailed = 2,
    kComInvalidData = 3,
    kComInvalidSize = 4,
    kComNotOpen = 5,
    kComReadFailed = 6,
    kComNoEcho = 7,
    kComEchoMismatch = 8,
    kComCloseFailed = 9,
};

const stdoff::error_category& comport_category();
inline error_value_t comport_error(int32_t code) { return error_value_t(code, comport_category()); }

// Why a port did not open, as the line under "Ошибка открытия порта":
// "<device path>: <reason>" (busy, absent, not a serial port, no permission
// with the hint to join the dialout group). Without a path (nothing behind
// the COM number) the port is named by its number; COM 0 is no port at all.
ustring_t port_open_reason(const std::string& path, plat::SerialOpen result, unsigned com_number);

// "Modbus-драйвер": failures found by the master itself.
enum drv_code : int32_t {
    kDrvOk = 0,
    kDrvUnsupportedFunction = 1,
    kDrvBadRequestSize = 2,
    kDrvBadCrc = 3,
    kDrvReplyMismatch = 4,
    kDrvTimeout = 5,
    kDrvCancelled = 6,
    // A write's reply confirms another start, count or value: it answers some
    // other request (a late reply), so this write is not confirmed.
    kDrvWriteEchoMismatch = 7,
    // Address 0 is the broadcast, which every device on the line executes
    // and none answers: no request goes there.
    kDrvBadAddress = 8,
};

const stdoff::error_category& drv_category();
inline error_value_t drv_error(int32_t code) { return error_value_t(code, drv_category()); }

// "Modbus-протокол": exception codes reported by the device, as received.
// An exception reply always ends its exchange with an error: an exception
// code of 0, which as an error code would read as success, is kept as
// kMbZeroException. Codes without a message of their own are named with
// their number.
inline constexpr int32_t kMbZeroException = 0x100;
const stdoff::error_category& mb_category();
inline error_value_t mb_error(int32_t code) { return error_value_t(code, mb_category()); }
// The error of an exception reply carrying this exception code byte; never success.
inline error_value_t mb_exception(uint8_t code) { return mb_error(code == 0 ? kMbZeroException : code); }
