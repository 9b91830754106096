// UTF-8 <-> UTF-16 for the wide (W) Win32 calls, and the system's message
// for an error code. Internal to the Windows platform layer.
#pragma once

#include <windows.h>

#include <string>

namespace plat::win {

inline std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

inline std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

inline HANDLE to_handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
inline intptr_t from_handle(HANDLE h) { return reinterpret_cast<intptr_t>(h); }

}  // namespace plat::win
