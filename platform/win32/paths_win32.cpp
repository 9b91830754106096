#include "platform/paths.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "platform/files.h"
#include "platform/win32/errors.h"
#include "platform/win32/wide.h"

namespace plat {

using win::narrow;
using win::widen;

namespace {

size_t last_separator(const std::string& path) { return path.find_last_of("\\/"); }

std::string folder_of(const std::string& path) {
    const size_t sep = last_separator(path);
    return sep == std::string::npos ? "." : path.substr(0, sep);
}

std::string base_of(const std::string& path) {
    const size_t sep = last_separator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// Whether this user may create files in a folder: tried, not guessed from
// its access list (an installed program's folder under Program Files is
// readable but not writable for a user without elevation).
bool folder_writable(const std::string& dir) {
    const std::wstring probe = widen(dir) + L"\\luma10-write-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

std::string appdata_folder() {
    wchar_t buf[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf))) return narrow(buf);
    const char* env = std::getenv("APPDATA");
    return env && *env ? std::string(env) : std::string();
}

struct ConfigChoice {
    std::string dir;
    std::string problem;
};

// 1. %LUMA10_CONFIG_DIR% when set (tests and demos use it);
// 2. the program's own folder when the user may write there (a copy on a
//    stick, an unpacked archive, the build folder);
// 3. otherwise %APPDATA%\luma10 (an installed program under Program Files).
ConfigChoice choose_config_dir() {
    if (const char* env = std::getenv("LUMA10_CONFIG_DIR"); env && *env) {
        std::string d(env);
        while (d.size() > 3 && (d.back() == '\\' || d.back() == '/')) d.pop_back();
        make_dirs(d);
        std::string why;
        if (!folder_is_users_own(d, &why)) return {{}, why};
        return {d, {}};
    }
    const std::string own = folder_of(executable_path());
    if (!own.empty() && folder_writable(own)) return {own, {}};
    const std::string appdata = appdata_folder();
    if (appdata.empty()) return {{}, "не найдена папка данных приложений (APPDATA)"};
    const std::string d = appdata + "\\luma10";
    if (!make_dirs(d)) return {{}, "не удалось создать папку настроек " + d + ": " + error_text(last_error())};
    return {d, {}};
}

}  // namespace

std::string executable_path() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return narrow(buf);
        }
        buf.resize(buf.size() * 2);
    }
}

// Windows starts a program by its file, never through a link with a name of
// its own: the started name is the program file's.
std::string started_path() { return executable_path(); }

std::string program_name() {
    std::string base = base_of(started_path());
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    return base;
}

std::string config_dir() { return choose_config_dir().dir; }

std::string config_dir_problem() {
    ConfigChoice c = choose_config_dir();
    return c.dir.empty() ? "Нет папки настроек: " + c.problem : std::string();
}

// COM numbers on Windows are the system's own; no folder of links chooses them.
std::string ports_dir() { return {}; }

std::string runtime_dir() { return {}; }

bool make_dirs(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t sep = last_separator(path);
    if (sep != std::string::npos && sep > 0 && path[sep - 1] != ':') make_dirs(path.substr(0, sep));
    if (CreateDirectoryW(widen(path).c_str(), nullptr)) return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return true;
    win::set_errno_from_last_error();
    return false;
}

// A folder's access list decides who may write in it; the user's own folders
// (the program's, %APPDATA%) are the user's by default. Only that it is a
// folder is checked here.
bool folder_is_users_own(const std::string& path, std::string* why) {
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    std::string reason;
    if (a == INVALID_FILE_ATTRIBUTES) {
        win::set_errno_from_last_error();
        reason = "папка " + path + " недоступна: " + error_text(last_error());
    } else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = path + " — не папка";
    }
    if (why) *why = reason;
    return reason.empty();
}

}  // namespace plat
