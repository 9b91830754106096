// CRC-16/MODBUS: initial value 0xFFFF, reflected polynomial 0xA001, appended to
// a frame low-order byte first. 01 03 00 00 00 01 gives 0x0A84 (84 0A on the wire).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

uint16_t crc16_modbus(const uint8_t* data, size_t len);

// Appends the CRC of data[0..len) at data[len], data[len + 1]; returns len + 2.
size_t crc16_append(uint8_t* data, size_t len);

// Appends the CRC of the frame's bytes to the frame.
void crc16_seal(std::vector<uint8_t>& frame);

// True when the last two of len bytes are the CRC of those before them.
bool crc16_check(const uint8_t* data, size_t len);
