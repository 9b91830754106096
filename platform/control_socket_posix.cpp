#include "platform/control_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace plat {

namespace {

bool make_address(const std::string& path, sockaddr_un& a, std::string* error) {
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof a.sun_path) {
        if (error) *error = "слишком длинный путь сокета: " + path;
        return false;
    }
    std::memcpy(a.sun_path, path.c_str(), path.size());
    return true;
}

bool send_all(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        // MSG_NOSIGNAL: a client that went away must not kill the program.
        ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

ControlServer_t::~ControlServer_t() { stop(); }

bool ControlServer_t::start(const std::string& path, handler_t handler, std::string* error) {
    stop();
    sockaddr_un a;
    if (!make_address(path, a, error)) return false;
    // Only a stale socket is removed: a file of that name is somebody's data,
    // and a socket someone still listens on belongs to a running program.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            if (error) *error = path + ": уже есть и это не сокет; нужно другое имя";
            return false;
        }
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool alive = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (probe >= 0) ::close(probe);
        if (alive) {
            if (error) *error = path + ": этот сокет слушает другая программа";
            return false;
        }
        ::unlink(path.c_str());
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error) *error = error_text(errno);
        return false;
    }
    // Whoever may connect may drive the simulated detectors: the socket is the
    // owner's alone. Nobody can connect between bind and listen, so the mode is
    // in force before the first connection.
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0) {
        if (error) *error = path + ": " + error_text(errno);
        ::close(fd);
        if (bound) ::unlink(path.c_str());
        return false;
    }
    fd_ = fd;
    path_ = path;
    handler_ = std::move(handler);
    running_ = true;
    thread_ = std::thread([this] { serve(); });
    return true;
}

void ControlServer_t::stop() {
    if (running_.exchange(false) && thread_.joinable()) thread_.join();
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    fd_ = -1;
}

void ControlServer_t::serve() {
    while (running_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        // One client at a time; each line is one command.
        std::string pending;
        while (running_) {
            pollfd q{c, POLLIN, 0};
            int r = ::poll(&q, 1, 100);
            if (r == 0) continue;
            if (r < 0 && errno == EINTR) continue;
            char buf[512];
            ssize_t n = r > 0 ? ::recv(c, buf, sizeof buf, 0) : -1;
            if (n <= 0) break;
            pending.append(buf, size_t(n));
            if (pending.size() > 65536) break;
            size_t nl;
            bool ok = true;
            while (ok && (nl = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                ok = send_all(c, handler_(line) + "\n");
            }
            if (!ok) break;
        }
        ::close(c);
    }
}

bool control_request(const std::string& path, const std::string& line, std::string& answer, std::string* error) {
    sockaddr_un a;
    if (!make_address(path, a, error)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (error) *error = path + ": " + error_text(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    bool ok = send_all(fd, line + "\n");
    ::shutdown(fd, SHUT_WR);
    answer.clear();
    char buf[512];
    while (ok) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) {
            ok = false;
            break;
        }
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buf, size_t(n));
    }
    ::close(fd);
    if (!ok && error) *error = "нет ответа от " + path;
    return ok;
}

}  // namespace plat
