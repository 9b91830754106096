// The serial line settings and the connection settings built on them. Plain
// data, copied as whole blocks; stored in the configuration file, edited in the
// connection window and applied to the device link.
#pragma once

#include <cstdint>

// Line settings of the serial port (12 bytes).
struct com_port_settings_t {
    uint32_t speed = 9600;             // baud rate
    uint16_t before_send_delay = 0;    // ms to wait before every write
    uint8_t port = 1;                  // COM port number n
    uint8_t parity = 0;                // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stop_bits = 0;             // 0 one, 1 one and a half, 2 two
    uint8_t permanent_echo = 0;        // every byte sent comes back and must be read back
    uint8_t spare[2] = {0, 0};
};
static_assert(sizeof(com_port_settings_t) == 12);

// The names the connection window and luma10ctl give the line settings' codes.
inline constexpr const char16_t* kParityNames[] = {u"Нет", u"Нечётная", u"Чётная", u"Маркер", u"Пробел"};
inline constexpr const char16_t* kStopBitsNames[] = {u"1", u"1.5", u"2"};

// The Modbus addresses a detector can have: 0 is the broadcast, which every
// device on the line executes, and 248..255 are reserved.
inline constexpr uint8_t kBlockIdMin = 1;
inline constexpr uint8_t kBlockIdMax = 247;

// Line settings plus the master's response timeout and the device address (16 bytes).
struct ConnectionSettings {
    com_port_settings_t port_settings;
    uint16_t timeout = 1000;           // response timeout of the Modbus master, ms
    uint8_t block_id = 1;              // Modbus address of the detector
    uint8_t spare = 0;
};
static_assert(sizeof(ConnectionSettings) == 16);
