#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/files.h"

namespace plat {

namespace {

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string real_folder(const std::string& folder) {
    char buf[PATH_MAX];
    return ::realpath(folder.c_str(), buf) ? std::string(buf) : folder;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// argv[0] as the program was started, from the kernel's copy of the command line.
std::string first_argument() {
    std::ifstream f("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return all.substr(0, all.find('\0'));
}

std::string find_started_path() {
    const std::string exe = executable_path();
    const std::string argv0 = first_argument();
    if (argv0.empty()) return exe;
    std::string candidate;
    if (argv0.find('/') != std::string::npos) {
        candidate = argv0;
    } else if (const char* path = std::getenv("PATH")) {
        // A bare name was found by the shell in PATH; the first match is it.
        const std::string dirs = path;
        for (size_t b = 0; b <= dirs.size();) {
            size_t e = dirs.find(':', b);
            if (e == std::string::npos) e = dirs.size();
            const std::string dir = e > b ? dirs.substr(b, e - b) : ".";
            const std::string c = dir + "/" + argv0;
            struct stat st;
            if (::stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(c.c_str(), X_OK) == 0) {
                candidate = c;
                break;
            }
            b = e + 1;
        }
    }
    // A name that leads elsewhere (a launcher may pass any argv[0]) is not
    // this program's name.
    if (candidate.empty() || !same_file(candidate, exe)) return exe;
    // The folder made absolute and clean; the last part stays as started (a
    // link keeps its own name).
    return real_folder(folder_of(candidate)) + "/" + base_of(candidate);
}

// Taken once, and before main runs: argv[0] may be relative to the folder
// the program was started in.
const std::string& started_once() {
    static const std::string path = find_started_path();
    return path;
}
[[maybe_unused]] const bool g_started_taken = !started_once().empty();

bool usable_absolute(const char* v) { return v && v[0] == '/'; }

struct ConfigChoice {
    std::string dir;
    std::string problem;
};

// The user's home: $HOME, else the password database's entry.
std::string home_folder() {
    if (const char* h = std::getenv("HOME"); usable_absolute(h)) return h;
    passwd entry{};
    passwd* pw = nullptr;
    char buf[4096];
    if (::getpwuid_r(::geteuid(), &entry, buf, sizeof buf, &pw) == 0 && pw && usable_absolute(pw->pw_dir))
        return pw->pw_dir;
    return {};
}

ConfigChoice choose_config_dir() {
    std::string why;
    if (const char* env = std::getenv("LUMA10_CONFIG_DIR"); env && *env) {
        std::string d(env);
        while (d.size() > 1 && d.back() == '/') d.pop_back();
        make_dirs(d);
        if (!folder_is_users_own(d, &why)) return {{}, why};
        return {d, {}};
    }
    const std::string started = started_path();
    const std::string own = folder_of(started);
    const bool portable = file_exists(own + "/" + kPortableMarker) ||
                          file_exists(folder_of(executable_path()) + "/" + kPortableMarker);
    if (portable && ::access(own.c_str(), W_OK) == 0 && folder_is_users_own(own)) return {own, {}};

    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); usable_absolute(xdg)) base = xdg;
    else if (const std::string home = home_folder(); !home.empty()) base = home + "/.config";
    else return {{}, "не найдена домашняя папка: HOME не задан, и у пользователя нет домашней папки"};
    const std::string d = base + "/luma10";
    if (!make_dirs(d)) return {{}, "не удалось создать папку настроек " + d + ": " + error_text(last_error())};
    if (!folder_is_users_own(d, &why)) return {{}, why};
    return {d, {}};
}

}  // namespace

std::string executable_path() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string started_path() { return started_once().empty() ? executable_path() : started_once(); }

std::string program_name() {
    std::string base = base_of(started_path());
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
    // Only the user may look into a folder made here: it holds the user's settings.
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool folder_is_users_own(const std::string& path, std::string* why) {
    struct stat st;
    std::string reason;
    if (::stat(path.c_str(), &st) != 0) reason = "папка " + path + " недоступна: " + error_text(errno);
    else if (!S_ISDIR(st.st_mode)) reason = path + " — не папка";
    else if (st.st_uid != ::geteuid() && st.st_uid != 0) reason = "папка " + path + " принадлежит другому пользователю";
    else if ((st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && st.st_gid != ::getegid()))
        reason = "в папку " + path + " могут писать другие пользователи";
    if (why) *why = reason;
    return reason.empty();
}

std::string config_dir() { return choose_config_dir().dir; }

std::string config_dir_problem() {
    ConfigChoice c = choose_config_dir();
    return c.dir.empty() ? "Нет папки настроек: " + c.problem : std::string();
}

std::string ports_dir() {
    const std::string config = config_dir();
    if (config.empty()) return {};
    const std::string d = config + "/ports";
    // A ports folder someone else made or may write in could point COM n at
    // any device: its links are not trusted.
    struct stat st;
    if (::lstat(d.c_str(), &st) == 0 && !folder_is_users_own(d)) return {};
    return d;
}

std::string runtime_dir() {
    const char* r = std::getenv("XDG_RUNTIME_DIR");
    if (!usable_absolute(r)) return {};
    struct stat st;
    // The runtime folder is the user's alone (0700), never root's shared one.
    if (::stat(r, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077)) return {};
    return r;
}

}  // namespace plat
