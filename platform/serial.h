// Serial lines over the operating system: one open device with its line
// settings, byte reads and writes with short time-outs, and the mapping of
// COM numbers to device paths.
//
// COM numbers: number n opens the device that a link named comN in the ports
// folder (platform/paths.h) points at. Numbers without such a link go, lowest
// first, to the system's serial devices in this order: /dev/ttyUSB*,
// /dev/ttyACM*, then /dev/ttyS* that have real hardware behind them, each group
// in natural order (ttyUSB2 before ttyUSB10). A device that a link already
// names is not given a second number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace plat {

// Line settings in the configurator's own codes.
struct SerialLine {
    uint32_t speed = 9600;   // 600..256000; other than the standard rates through the arbitrary-rate interface
    uint8_t parity = 0;      // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stop_bits = 0;   // 0 one, 1 one and a half (sent as two), 2 two
};

// How an open ended; the system's error numbers mapped to what the user can act on.
enum class SerialOpen {
    ok,
    not_found,      // no such device (also: no device behind the COM number)
    busy,           // another opener holds it
    not_serial,     // the path exists but is not a serial line
    no_permission,  // the user may not open it
    refused,        // the device opened but refused the line settings
    failed,         // any other failure
};

class Serial_t {
public:
    Serial_t() = default;
    ~Serial_t();
    Serial_t(const Serial_t&) = delete;
    Serial_t& operator=(const Serial_t&) = delete;

    // Opens path exclusively in raw 8-bit mode with the given line settings,
    // no flow control, RTS on and DTR off, and discards anything pending. On
    // any failure the line stays closed.
    SerialOpen open(const std::string& path, const SerialLine& line);
    // Closes the line; false when the system reported a failure closing it
    // (the descriptor is released all the same).
    bool close();
    bool is_open() const { return fd_ >= 0; }

    // Writes all bytes (waiting while the output queue is full, at most about
    // a second beyond their wire time). Returns the bytes written, -1 when the
    // device failed before anything went out.
    long write(const uint8_t* data, size_t n);
    // Waits until every byte written has left the transmitter.
    bool drain();
    // Waits up to about 10 ms for the first byte, then returns at once with
    // everything that has arrived, up to cap. Returns 0 when nothing came
    // (not an error) and -1 when the device failed or vanished.
    long read(uint8_t* buf, size_t cap);
    // Discards bytes received but not yet read.
    void discard_input();
    // Reads bytes received but not yet read, up to cap, without waiting.
    // Returns 0 when none are there, -1 when the device failed.
    long read_pending(uint8_t* buf, size_t cap);

    // Milliseconds of silence after which a burst of bytes counts as ended:
    // 35000 / speed + 1, about three and a half characters of ten bits.
    unsigned read_interval_ms() const { return interval_ms_; }

private:
    intptr_t fd_ = -1;  // a descriptor, or a handle on Windows; -1 when closed
    unsigned interval_ms_ = 4;
};

// The wait of a read with nothing on the line, milliseconds.
constexpr int kSerialReadWaitMs = 10;

// Device path of COM n, or empty when nothing is behind that number.
std::string com_device_path(unsigned n);
// Calls fn(n, path) for every n in 1..255 whose device is present (a linked
// port whatever its number), also when another program holds it, in
// increasing order.
void enumerate_com_ports(const std::function<void(unsigned n, const std::string& path)>& fn);

}  // namespace plat
