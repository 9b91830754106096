// The byte-stream interface the Modbus master talks through.
#pragma once

#include <cstdint>

#include "foundation/error.h"

class data_socket_t {
public:
    virtual ~data_socket_t() = default;
    // Sends count bytes; returns the number written. Failures go to err.
    virtual uint32_t write(const uint8_t* data, uint32_t count, error_value_t& err) = 0;
    // Reads what has arrived, up to capacity. 0 means nothing came within the
    // socket's own short read time-out and is not an error.
    virtual uint32_t read(uint8_t* buffer, uint32_t capacity, error_value_t& err) = 0;
    // Milliseconds that count bytes take on the wire at the line's speed and
    // framing; 0 for a socket without a line speed.
    virtual uint32_t wire_time_ms(uint32_t count) const { (void)count; return 0; }
};
