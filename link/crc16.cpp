#include "link/crc16.h"

#include <array>

namespace {

// Table-driven form of the reflected algorithm, built at compile time.
constexpr std::array<uint16_t, 256> make_table() {
    std::array<uint16_t, 256> t{};
    for (uint16_t i = 0; i < 256; ++i) {
        uint16_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? uint16_t((c >> 1) ^ 0xA001) : uint16_t(c >> 1);
        t[i] = c;
    }
    return t;
}
constexpr auto kTable = make_table();

}  // namespace

uint16_t crc16_modbus(const uint8_t* data, size_t len) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < len; ++i) crc = uint16_t((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

size_t crc16_append(uint8_t* data, size_t len) {
    uint16_t crc = crc16_modbus(data, len);
    data[len] = uint8_t(crc & 0xFF);
    data[len + 1] = uint8_t(crc >> 8);
    return len + 2;
}

void crc16_seal(std::vector<uint8_t>& frame) {
    const size_t n = frame.size();
    frame.resize(n + 2);
    crc16_append(frame.data(), n);
}

bool crc16_check(const uint8_t* data, size_t len) {
    if (len < 2) return false;
    uint16_t crc = crc16_modbus(data, len - 2);
    return data[len - 2] == uint8_t(crc & 0xFF) && data[len - 1] == uint8_t(crc >> 8);
}
