// Arbitrary baud rates through the kernel's termios2 interface. This lives in
// its own file because the kernel's termios header clashes with the C
// library's <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace plat::detail {

// Sets both directions of fd to speed with the BOTHER encoding, keeping every
// other setting. False when the driver refuses.
bool set_arbitrary_speed(int fd, uint32_t speed) {
    struct termios2 tio;
    if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_cflag &= ~(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    tio.c_ispeed = speed;
    tio.c_ospeed = speed;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace plat::detail
