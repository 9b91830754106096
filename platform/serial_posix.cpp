#include "platform/serial.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/paths.h"

namespace plat {

namespace detail {
bool set_arbitrary_speed(int fd, uint32_t speed);
}

namespace {

using clock_type = std::chrono::steady_clock;

// The rates termios names; any other rate goes through the arbitrary-rate interface.
speed_t standard_speed(uint32_t speed) {
    switch (speed) {
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
    }
}

// Raw 8-bit line: no line editing, no character translation, no flow control,
// the receiver on and the modem-control lines ignored. VMIN = VTIME = 0: reads
// never block in the driver; poll() does the waiting.
void make_raw(termios& tio, const SerialLine& line) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IGNPAR);
    // Parity checking exactly when the line has parity; a byte that fails it
    // reads as 0, so the frame's checksum fails rather than the frame shrinking.
    if (line.parity != 0) tio.c_iflag |= INPCK;
    else tio.c_iflag &= ~INPCK;
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    switch (line.parity) {
    case 1: tio.c_cflag |= PARENB | PARODD; break;                 // odd
    case 2: tio.c_cflag |= PARENB; break;                          // even
    case 3: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;        // mark: parity bit always 1
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;                 // space: parity bit always 0
    default: break;
    }
    // termios has no one and a half stop bits; two is the nearest that a
    // receiver expecting 1.5 still accepts.
    if (line.stop_bits != 0) tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

// Slave side of a Unix 98 pseudo-terminal (the simulator's and the tests' lines).
bool is_pseudo_terminal(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

int remaining_ms(clock_type::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// poll() for one event, restarting after signals until the deadline.
int poll_until(int fd, short events, clock_type::time_point deadline, short* revents) {
    for (;;) {
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, remaining_ms(deadline));
        if (r >= 0) { *revents = p.revents; return r; }
        if (errno != EINTR) return -1;
    }
}

}  // namespace

Serial_t::~Serial_t() { close(); }

SerialOpen Serial_t::open(const std::string& path, const SerialLine& line) {
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case ENOENT: case ENODEV: case ENXIO: case ENOTDIR: case ELOOP: return SerialOpen::not_found;
        case EBUSY: return SerialOpen::busy;
        case EACCES: case EPERM: case EROFS: return SerialOpen::no_permission;
        case EISDIR: return SerialOpen::not_serial;
        default: return SerialOpen::failed;
        }
    }
    // A regular file, a pipe or a directory opens but carries no line.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        return SerialOpen::not_serial;
    }
    // Not shared: TIOCEXCL keeps other openers out (except privileged ones),
    // and the advisory lock stops a second instance of this program even when
    // it runs as root.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? SerialOpen::busy : SerialOpen::failed;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        // ENOTTY: a character device that is no terminal (/dev/null, /dev/zero).
        const int e = errno;
        ::close(fd);
        return e == ENOTTY || e == EINVAL ? SerialOpen::not_serial : SerialOpen::failed;
    }
    make_raw(tio, line);
    speed_t std_speed = standard_speed(line.speed);
    if (std_speed != 0) {
        ::cfsetispeed(&tio, std_speed);
        ::cfsetospeed(&tio, std_speed);
    }
    bool applied = ::tcsetattr(fd, TCSANOW, &tio) == 0;
    if (!applied && line.parity != 0 && is_pseudo_terminal(fd)) {
        // A pseudo-terminal has no parity bit to send: it refuses PARENB and
        // passes bytes unchanged, so the line is set up without parity.
        make_raw(tio, SerialLine{line.speed, 0, line.stop_bits});
        applied = ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    // A refused setting would leave a line that mangles frames (wrong rate or
    // parity, cooked mode): fail the open instead.
    if (!applied || (std_speed == 0 && !detail::set_arbitrary_speed(fd, line.speed))) {
        ::close(fd);
        return SerialOpen::refused;
    }
    // RTS on (some RS-485 adapters power their driver from it), DTR off.
    // Pseudo-terminals have no modem lines; failures here do not matter.
    int rts = TIOCM_RTS, dtr = TIOCM_DTR;
    ::ioctl(fd, TIOCMBIS, &rts);
    ::ioctl(fd, TIOCMBIC, &dtr);
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    interval_ms_ = 35000u / (line.speed ? line.speed : 1) + 1;
    return SerialOpen::ok;
}

bool Serial_t::close() {
    if (fd_ < 0) return true;
    // The exclusive flag belongs to the terminal, not to this descriptor, and
    // outlives the close where the terminal does (a pty slave lives as long as
    // its master): clear it, or an unprivileged reopen would find it busy.
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    // close() releases the descriptor even when it reports a failure (EIO from
    // a device that failed); it must not be retried, EINTR included.
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0 || errno == EINTR;
}

long Serial_t::write(const uint8_t* data, size_t n) {
    if (fd_ < 0) return -1;
    size_t done = 0;
    // The output queue only fills when the line is far slower than we write;
    // give it the frame's wire time at the slowest rate and a second more.
    auto deadline = clock_type::now() + std::chrono::milliseconds(1000 + n * 11 * 1000 / 600);
    while (done < n) {
        ssize_t w = ::write(fd_, data + done, n - done);
        if (w > 0) { done += static_cast<size_t>(w); continue; }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            short rev = 0;
            int r = poll_until(fd_, POLLOUT, deadline, &rev);
            if (r <= 0 || (rev & (POLLERR | POLLHUP | POLLNVAL))) break;
            continue;
        }
        break;
    }
    if (done == 0 && n != 0) return -1;
    return static_cast<long>(done);
}

bool Serial_t::drain() {
    if (fd_ < 0) return false;
    int r;
    do { r = ::tcdrain(fd_); } while (r != 0 && errno == EINTR);
    return r == 0;
}

long Serial_t::read(uint8_t* buf, size_t cap) {
    if (fd_ < 0) return -1;
    if (cap == 0) return 0;
    short rev = 0;
    int r = poll_until(fd_, POLLIN, clock_type::now() + std::chrono::milliseconds(kSerialReadWaitMs), &rev);
    if (r < 0) return -1;
    if (r == 0) return 0;
    // A hung-up line (USB adapter pulled, far end of a pty closed) reports
    // HUP/ERR for good: a failure, not a quiet line, or the caller would spin.
    if (rev & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    // Whatever is there now is returned at once. The caller recognises the end
    // of a frame by its length, so waiting for a quiet interval here would only
    // add latency to every exchange.
    ssize_t n;
    do { n = ::read(fd_, buf, cap); } while (n < 0 && errno == EINTR);
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    return static_cast<long>(n);
}

long Serial_t::read_pending(uint8_t* buf, size_t cap) {
    if (fd_ < 0) return -1;
    if (cap == 0) return 0;
    short rev = 0;
    const int r = poll_until(fd_, POLLIN, clock_type::now(), &rev);
    if (r <= 0) return r < 0 ? -1 : 0;
    if (rev & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    ssize_t n;
    do { n = ::read(fd_, buf, cap); } while (n < 0 && errno == EINTR);
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    return static_cast<long>(n);
}

void Serial_t::discard_input() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

// ---- COM numbers --------------------------------------------------------

namespace {

constexpr unsigned kMaxComNumber = 255;

struct DeviceName {
    int group;          // 0 ttyUSB, 1 ttyACM, 2 ttyS
    unsigned long index;
    std::string path;
};

bool is_char_device(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::string real_path(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf) == nullptr) return path;
    return buf;
}

// A ttyS node exists for every UART the driver could have; only those with a
// detected chip (type other than unknown) are ports. A port someone else holds
// cannot be asked, but it exists.
bool serial8250_has_hardware(const std::string& name) {
    std::string sys = "/sys/class/tty/" + name + "/device";
    if (::access(sys.c_str(), F_OK) != 0) return false;
    int fd = ::open(("/dev/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;
    serial_struct ss{};
    bool real = ::ioctl(fd, TIOCGSERIAL, &ss) == 0 && ss.type != PORT_UNKNOWN;
    ::close(fd);
    return real;
}

std::vector<DeviceName> system_devices() {
    static const char* const kGroups[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<DeviceName> out;
    DIR* dir = ::opendir("/dev");
    if (dir == nullptr) return out;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        for (int g = 0; g < 3; ++g) {
            size_t plen = std::strlen(kGroups[g]);
            if (name.size() <= plen || name.compare(0, plen, kGroups[g]) != 0) continue;
            std::string digits = name.substr(plen);
            if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
            std::string path = "/dev/" + name;
            if (!is_char_device(path)) continue;
            if (g == 2 && !serial8250_has_hardware(name)) continue;
            out.push_back({g, std::strtoul(digits.c_str(), nullptr, 10), path});
        }
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const DeviceName& a, const DeviceName& b) {
        return a.group != b.group ? a.group < b.group : a.index < b.index;
    });
    return out;
}

// Device paths of COM 1..last (index 0 unused; empty where nothing is behind the number).
std::vector<std::string> com_map(unsigned last) {
    std::vector<std::string> links(kMaxComNumber + 1);
    std::string dir = ports_dir();
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name.size() < 4 || name.compare(0, 3, "com") != 0) continue;
            std::string digits = name.substr(3);
            if (digits.size() > 3 || digits[0] == '0' ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                continue;
            unsigned n = static_cast<unsigned>(std::strtoul(digits.c_str(), nullptr, 10));
            if (n < 1 || n > kMaxComNumber) continue;
            std::string link = dir + "/" + name;
            char target[PATH_MAX];
            ssize_t len = ::readlink(link.c_str(), target, sizeof target - 1);
            if (len <= 0) { links[n] = link; continue; }  // not a link: the entry itself is the device
            std::string t(target, static_cast<size_t>(len));
            links[n] = t[0] == '/' ? t : dir + "/" + t;
        }
        ::closedir(d);
    }

    std::vector<std::string> linked;
    for (const auto& l : links)
        if (!l.empty()) linked.push_back(real_path(l));
    std::vector<std::string> map(last + 1);
    size_t next = 0;
    std::vector<DeviceName> devices = system_devices();
    for (unsigned n = 1; n <= last; ++n) {
        if (!links[n].empty()) { map[n] = links[n]; continue; }
        while (next < devices.size() &&
               std::find(linked.begin(), linked.end(), real_path(devices[next].path)) != linked.end())
            ++next;
        if (next < devices.size()) map[n] = devices[next++].path;
    }
    return map;
}

}  // namespace

std::string com_device_path(unsigned n) {
    if (n < 1 || n > kMaxComNumber) return {};
    return com_map(n)[n];
}

void enumerate_com_ports(const std::function<void(unsigned n, const std::string& path)>& fn) {
    std::vector<std::string> map = com_map(kMaxComNumber);
    for (unsigned n = 1; n <= kMaxComNumber; ++n)
        if (!map[n].empty() && is_char_device(map[n])) fn(n, map[n]);
}

}  // namespace plat
