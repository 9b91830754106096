#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace plat {

std::string executable_path() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string program_name() {
    std::string p = executable_path();
    size_t slash = p.rfind('/');
    std::string base = slash == std::string::npos ? p : p.substr(slash + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    return base;
}

bool make_dirs(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) make_dirs(path.substr(0, slash));
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string config_dir() {
    if (const char* env = std::getenv("LUMA10_CONFIG_DIR"); env && *env) {
        std::string d(env);
        while (d.size() > 1 && d.back() == '/') d.pop_back();
        make_dirs(d);
        return d;
    }
    std::string exe = executable_path();
    size_t slash = exe.rfind('/');
    if (slash != std::string::npos) {
        std::string dir = exe.substr(0, slash);
        if (dir.empty()) dir = "/";
        if (::access(dir.c_str(), W_OK) == 0) return dir;
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.config";
    else base = "/tmp";
    std::string d = base + "/luma10";
    make_dirs(d);
    return d;
}

std::string ports_dir() { return config_dir() + "/ports"; }

}  // namespace plat
