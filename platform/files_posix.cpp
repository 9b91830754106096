#include "platform/files.h"
#include "platform/errno_text.h"

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

bool is_regular_file(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_absent(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) != 0;
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

int last_error() { return errno; }

std::string error_text(int os_error) {
    switch (os_error) {
    case EDQUOT: return "Превышена дисковая квота";
    case EROFS: return "Файловая система доступна только для чтения";
    case ELOOP: return "Символьная ссылка там, где нужен файл, или слишком много ссылок";
    case EADDRINUSE: return "Адрес уже используется";
    case ECONNREFUSED: return "Никто не принимает соединения";
    case ENOTSOCK: return "Это не сокет";
    case EBUSY: return "Устройство или ресурс заняты";
    case ENXIO: return "Нет такого устройства или адреса";
    case ETIMEDOUT: return "Время ожидания истекло";
    case EAGAIN: return "Ресурс временно недоступен";
    case ETXTBSY: return "Файл занят";
    default: return errno_text(os_error);
    }
}

ReadResult read_regular_file(const std::string& path, size_t max_bytes, std::string& bytes) {
    bytes.clear();
    // Looked at before opening: opening a device may have effects of its own
    // (a serial port's control lines), and a FIFO may block the open.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? ReadResult::absent : ReadResult::failed;
    if (!S_ISREG(st.st_mode)) return ReadResult::not_regular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::absent : ReadResult::failed;
    // The name may have been swapped between the look and the open.
    ReadResult result = ReadResult::read;
    if (::fstat(fd, &st) != 0) result = ReadResult::failed;
    else if (!S_ISREG(st.st_mode)) result = ReadResult::not_regular;
    else if (static_cast<unsigned long long>(st.st_size) > max_bytes) result = ReadResult::too_large;
    char chunk[4096];
    while (result == ReadResult::read) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = ReadResult::failed;
        else if (n == 0) break;
        else if (bytes.size() + static_cast<size_t>(n) > max_bytes) result = ReadResult::too_large;  // grew meanwhile
        else bytes.append(chunk, static_cast<size_t>(n));
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    if (result != ReadResult::read) bytes.clear();
    return result;
}

File_t::~File_t() {
    if (fd_ >= 0) ::close(fd_);
}

bool File_t::create_new(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
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
// The lock file stays between runs, so it is opened, not created anew; but
// never through a link, and only when it is a regular file.
int open_lock_file(const std::string& dir, const std::string& name) {
    if (dir.empty()) return -1;
    std::string path = dir + "/" + name + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}
}  // namespace

bool InstanceLock_t::open(const std::string& name, bool* already_existed) {
    close();
    fd_ = open_lock_file(config_dir(), name);
    if (fd_ < 0) fd_ = open_lock_file(runtime_dir(), name);
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
