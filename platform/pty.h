// Pseudo-terminals: the far end of a serial line, for the simulated detector
// and for tests. The master side is held here; the slave side has a device
// path that the configurator opens like any serial port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class Pty_t {
public:
    Pty_t() = default;
    ~Pty_t();
    Pty_t(const Pty_t&) = delete;
    Pty_t& operator=(const Pty_t&) = delete;

    // Creates a pty pair in raw 8-bit mode. The slave is not held open here, so
    // the peer may open it exclusively. False (with errno_text) on failure.
    bool open();
    // Closes the master: the peer's reads and writes start failing, as when a
    // USB adapter is pulled out.
    void close();
    bool is_open() const { return fd_ >= 0; }
    const std::string& slave_path() const { return path_; }
    std::string errno_text() const { return error_; }

    // Waits up to timeout_ms (-1: forever) for bytes, then reads what has
    // arrived, up to cap. Returns bytes read, 0 on timeout, -1 on error or
    // when the line is gone.
    long read(uint8_t* buf, size_t cap, int timeout_ms);
    // Writes all bytes; returns false when the line is gone.
    bool write(const uint8_t* buf, size_t n);
    // Discards bytes waiting to be read.
    void discard_input();

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

// Makes COM n resolve to path by a link named comN in the ports folder (see
// platform/paths.h). Replaces an existing link. False when it cannot be made.
bool register_com_link(unsigned n, const std::string& path);
// Removes the link named comN if it points at path (or at anything, when path is empty).
void unregister_com_link(unsigned n, const std::string& path = {});

}  // namespace plat
