#include "platform/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/files.h"
#include "platform/paths.h"

namespace plat {

Pty_t::~Pty_t() { close(); }

bool Pty_t::open() {
    close();
    int master = -1, slave = -1;
    char name[PATH_MAX] = {0};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error_ = error_text(errno);
        return false;
    }
    // Raw mode on both ends: no echo, no line editing, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    if (::tcgetattr(master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(master, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // Keep the slave closed: while no one has it open, writes to the master
    // still queue, and the peer can open it exclusively.
    ::close(slave);
    fd_ = master;
    path_ = name;
    return true;
}

void Pty_t::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long Pty_t::read(uint8_t* buf, size_t cap, int timeout_ms) {
    if (fd_ < 0) return -1;
    pollfd p{fd_, POLLIN, 0};
    int r;
    do { r = ::poll(&p, 1, timeout_ms); } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (p.revents & POLLIN) {
        ssize_t n;
        do { n = ::read(fd_, buf, cap); } while (n < 0 && errno == EINTR);
        if (n > 0) return n;
        if (n < 0 && errno == EAGAIN) return 0;
        // EIO on a master whose slave is closed: no one is on the line right
        // now. That is a quiet line for the peer, not a failure.
        if (n < 0 && errno == EIO) return 0;
        return -1;
    }
    if (p.revents & POLLHUP) {
        // The slave side is not open: nothing can arrive. Wait a little so
        // callers polling in a loop do not spin.
        if (timeout_ms != 0) ::usleep(static_cast<useconds_t>((timeout_ms < 0 || timeout_ms > 5 ? 5 : timeout_ms) * 1000));
        return 0;
    }
    return -1;
}

bool Pty_t::write(const uint8_t* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        if (fd_ < 0) return false;
        ssize_t w = ::write(fd_, buf + done, n - done);
        if (w > 0) { done += static_cast<size_t>(w); continue; }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 10);
            continue;
        }
        return false;
    }
    return true;
}

void Pty_t::discard_input() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

bool register_com_link(unsigned n, const std::string& path) {
    std::string dir = ports_dir();
    if (!make_dirs(dir)) return false;
    std::string link = dir + "/com" + std::to_string(n);
    ::unlink(link.c_str());
    return ::symlink(path.c_str(), link.c_str()) == 0;
}

void unregister_com_link(unsigned n, const std::string& path) {
    const std::string dir = ports_dir();
    if (dir.empty()) return;
    std::string link = dir + "/com" + std::to_string(n);
    if (!path.empty()) {
        char target[PATH_MAX];
        ssize_t len = ::readlink(link.c_str(), target, sizeof target - 1);
        if (len < 0 || std::string(target, static_cast<size_t>(len)) != path) return;
    }
    ::unlink(link.c_str());
}

}  // namespace plat
