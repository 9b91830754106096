// Error categories of the serial transport and the Modbus master.
#pragma once

#include "foundation/error.h"

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
};

class comport_error_category final : public stdoff::error_category {
public:
    const char16_t* name() const override;
    const char16_t* message(int32_t code) const override;
};
const stdoff::error_category& comport_category();
inline error_value_t comport_error(int32_t code) { return error_value_t(code, comport_category()); }

// "Modbus-драйвер": failures found by the master itself.
enum drv_code : int32_t {
    kDrvOk = 0,
    kDrvUnsupportedFunction = 1,
    kDrvBadRequestSize = 2,
    kDrvBadCrc = 3,
    kDrvReplyMismatch = 4,
    kDrvTimeout = 5,
    kDrvCancelled = 6,
};

class drv_error_category_t final : public stdoff::error_category {
public:
    const char16_t* name() const override;
    const char16_t* message(int32_t code) const override;
};
const stdoff::error_category& drv_category();
inline error_value_t drv_error(int32_t code) { return error_value_t(code, drv_category()); }

// "Modbus-протокол": exception codes reported by the device, as received.
class mb_error_category_t final : public stdoff::error_category {
public:
    const char16_t* name() const override;
    const char16_t* message(int32_t code) const override;
};
const stdoff::error_category& mb_category();
inline error_value_t mb_error(int32_t code) { return error_value_t(code, mb_category()); }
