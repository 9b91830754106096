// The facts of Modbus RTU that the master, the device link and the simulator
// share: function codes, exception codes, frame sizes and the register limits
// that follow from them. Each is named here once, with how it comes about.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mb {

// Function codes.
inline constexpr uint8_t kReadCoils = 1;
inline constexpr uint8_t kReadDiscreteInputs = 2;
inline constexpr uint8_t kReadHoldingRegisters = 3;
inline constexpr uint8_t kReadInputRegisters = 4;
inline constexpr uint8_t kWriteSingleCoil = 5;
inline constexpr uint8_t kWriteSingleRegister = 6;
inline constexpr uint8_t kWriteMultipleCoils = 15;
inline constexpr uint8_t kWriteMultipleRegisters = 16;
// An exception reply carries the request's function code with this bit set.
inline constexpr uint8_t kExceptionBit = 0x80;

inline constexpr bool is_bit_read(uint8_t f) { return f == kReadCoils || f == kReadDiscreteInputs; }
inline constexpr bool is_register_read(uint8_t f) { return f == kReadHoldingRegisters || f == kReadInputRegisters; }
inline constexpr bool is_single_write(uint8_t f) { return f == kWriteSingleCoil || f == kWriteSingleRegister; }
inline constexpr bool is_multiple_write(uint8_t f) { return f == kWriteMultipleCoils || f == kWriteMultipleRegisters; }

// Exception codes a device answers with.
inline constexpr uint8_t kExIllegalFunction = 1;
inline constexpr uint8_t kExIllegalDataAddress = 2;
inline constexpr uint8_t kExIllegalDataValue = 3;
inline constexpr uint8_t kExDeviceFailure = 4;
inline constexpr uint8_t kExAcknowledge = 5;
inline constexpr uint8_t kExDeviceBusy = 6;
inline constexpr uint8_t kExNegativeAcknowledge = 7;
inline constexpr uint8_t kExMemoryParityError = 8;

// Frame layout: address (1) and function (1), then the request's fields, then
// the CRC (2, low byte first).
inline constexpr size_t kCrcSize = 2;
// A read request, and the reply to a write: address, function, start (2),
// quantity or value (2), CRC.
inline constexpr size_t kFixedFrameSize = 8;
// Before the data of a write of several registers or coils: address,
// function, start (2), quantity (2), byte count (1).
inline constexpr size_t kWriteHeaderSize = 7;
// Before the data of a read reply: address, function, byte count (1).
inline constexpr size_t kReadReplyHeaderSize = 3;
// A byte count travels in one byte, so no frame carries more data than this.
inline constexpr size_t kMaxDataBytes = 255;
// The longest frame the master builds: a write of kMaxDataBytes.
inline constexpr size_t kMaxFrameSize = kWriteHeaderSize + kMaxDataBytes + kCrcSize;  // 264
// An exception reply: address, function | kExceptionBit, code, CRC.
inline constexpr size_t kExceptionFrameSize = 5;

// A protocol data unit (function code and its fields) is at most 253 bytes:
// a serial line frame is at most 256, less address and CRC.
inline constexpr size_t kMaxPduSize = 253;
// A read reply's PDU is function, byte count and two bytes a register:
// 2 + 2 * 125 = 252 <= 253.
inline constexpr uint16_t kMaxReadRegisters = (kMaxPduSize - 2) / 2;  // 125
// A write request's PDU is function, start, quantity, byte count and two
// bytes a register: 6 + 2 * 123 = 252 <= 253.
inline constexpr uint16_t kMaxWriteRegisters = (kMaxPduSize - 6) / 2;  // 123

}  // namespace mb
