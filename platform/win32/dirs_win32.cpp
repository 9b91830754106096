#include "platform/dirs.h"

#include <windows.h>

#include <cstdlib>

#include "platform/win32/wide.h"

namespace plat {

using win::narrow;
using win::widen;

bool list_dir(const std::string& path, std::vector<DirEntry>* out) {
    out->clear();
    std::wstring pattern = widen(path.empty() ? std::string(".") : path);
    if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        out->push_back({narrow(n), (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return true;
}

bool is_dir(const std::string& path) {
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string current_dir() {
    wchar_t buf[MAX_PATH * 2];
    const DWORD n = GetCurrentDirectoryW(DWORD(std::size(buf)), buf);
    return n > 0 && n < std::size(buf) ? narrow(std::wstring(buf, n)) : std::string("C:\\");
}

std::string home_dir() {
    const char* h = std::getenv("USERPROFILE");
    return h && *h && is_dir(h) ? std::string(h) : current_dir();
}

}  // namespace plat
