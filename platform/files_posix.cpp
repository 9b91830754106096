#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

namespace plat {

bool file_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool rename_file(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool delete_file(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool sync_folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

File_t::~File_t() {
    if (fd_ >= 0) ::close(fd_);
}

bool File_t::create(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

bool File_t::open_read(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

bool File_t::write_all(const void* data, size_t n) {
    if (fd_ < 0) return false;
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = ::write(fd_, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

long File_t::read(void* buf, size_t n) {
    if (fd_ < 0) return -1;
    char* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd_, p + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return static_cast<long>(got);
}

bool File_t::sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }

bool File_t::close() {
    if (fd_ < 0) return false;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

namespace {
int open_lock_file(const std::string& dir, const std::string& name) {
    if (dir.empty()) return -1;
    std::string path = dir + "/" + name + ".lock";
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}
}  // namespace

bool InstanceLock_t::open(const std::string& name, bool* already_existed) {
    close();
    fd_ = open_lock_file(config_dir(), name);
    if (fd_ < 0) fd_ = open_lock_file("/tmp", name);
    if (fd_ < 0) {
        if (already_existed) *already_existed = false;
        return false;
    }
    int rc;
    do rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    owns_ = rc == 0;
    if (already_existed) *already_existed = !owns_;
    return true;
}

void InstanceLock_t::close() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
    fd_ = -1;
    owns_ = false;
}

}  // namespace plat
