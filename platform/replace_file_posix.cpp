#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace plat {
namespace {

std::atomic<unsigned> g_fresh_counter{0};

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

replace_result_t replace_file_contents(const std::string& path, const void* data, size_t size) {
    replace_result_t r;
    // A name of our own in the target's folder: same file system, so the
    // rename is atomic. It does not grow with the target's name, which may
    // already be as long as the file system allows. O_EXCL keeps two writers
    // (or a stale leftover) apart.
    const std::string folder = folder_of(path);
    std::string fresh;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        fresh = folder + "/.luma10_" + std::to_string(::getpid()) + "_" + std::to_string(g_fresh_counter++) + ".tmp";
        fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        r.step = replace_step::create;
        r.os_error = errno;
        return r;
    }
    bool ok = write_all(fd, static_cast<const char*>(data), size);
    if (ok && ::fsync(fd) != 0) ok = false;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(fresh.c_str());
        r.step = replace_step::write;
        r.os_error = saved;
        return r;
    }
    if (::rename(fresh.c_str(), path.c_str()) != 0) {
        r.step = replace_step::replace;
        r.os_error = errno;
        ::unlink(fresh.c_str());
        return r;
    }
    // Make the rename itself durable; a failure here leaves a complete file
    // either way, so it is not reported.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return r;
}

}  // namespace plat
