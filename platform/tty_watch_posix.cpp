#include "platform/tty_watch.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace plat {

namespace {

uint32_t baud_of(speed_t s) {
    switch (s) {
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}

}  // namespace

TtyWatch_t::~TtyWatch_t() { close(); }

bool TtyWatch_t::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return fd_ >= 0;
}

void TtyWatch_t::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TtyWatch_t::settings(uint32_t& speed, char& parity) const {
    termios t{};
    if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0) return false;
    speed = baud_of(::cfgetospeed(&t));
    parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    return true;
}

}  // namespace plat
