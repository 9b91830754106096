// Reads the line settings that another program has set on a terminal device,
// such as the slave side of a pseudo-terminal: a pty carries no signal, so its
// termios speed and parity are the only way to tell whether the master talks
// at the speed the simulated line runs at.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

class TtyWatch_t {
public:
    TtyWatch_t() = default;
    ~TtyWatch_t();
    TtyWatch_t(const TtyWatch_t&) = delete;
    TtyWatch_t& operator=(const TtyWatch_t&) = delete;

    // Opens path without becoming its controlling terminal and without taking
    // it over; the peer still opens and configures it as usual.
    bool open(const std::string& path);
    void close();
    // Speed in baud (0 when it is not one of the standard rates) and parity:
    // 'N', 'E' or 'O'. False when nothing is open.
    bool settings(uint32_t& speed, char& parity) const;

private:
    int fd_ = -1;
};

}  // namespace plat
