// The simulator's end of the serial line: a pseudo-terminal or a real serial
// device. read, write and close may be called from different threads; close
// waits for a read in progress (reads wait at most a few milliseconds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sim {

class Line_t {
public:
    virtual ~Line_t() = default;
    // Waits up to timeout_ms for bytes. Bytes read, 0 on timeout, -1 when closed or failed.
    virtual long read(uint8_t* buf, size_t cap, int timeout_ms) = 0;
    virtual bool write(const uint8_t* buf, size_t n) = 0;
    virtual void close() = 0;
    // A new line speed (a real device reconfigures its port; a pty has none).
    virtual void set_speed(unsigned speed) = 0;
    virtual std::string path() const = 0;
    // The speed and parity the master has set on its end, when the line can
    // tell (a pty can; a real wire cannot, its garbage speaks for itself).
    virtual bool peer_settings(uint32_t& speed, char& parity) {
        (void)speed;
        (void)parity;
        return false;
    }
};

std::shared_ptr<Line_t> open_pty_line(std::string& error);
std::shared_ptr<Line_t> open_serial_line(const std::string& path, unsigned speed, char parity, unsigned stop_bits,
                                         std::string& error);

}  // namespace sim
