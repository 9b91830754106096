#include "platform/files.h"
#include "platform/errno_text.h"

#include <windows.h>

#include <cerrno>

#include "platform/paths.h"
#include "platform/win32/errors.h"
#include "platform/win32/wide.h"

namespace plat {

using win::from_handle;
using win::to_handle;
using win::widen;

namespace {

DWORD attributes(const std::string& path) { return GetFileAttributesW(widen(path).c_str()); }

// A link or junction: the entry points elsewhere, so it is not a regular file.
bool is_reparse(DWORD a) { return (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

}  // namespace

bool file_exists(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_regular_file(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && !is_reparse(a) &&
           !(a & FILE_ATTRIBUTE_DEVICE);
}

bool is_absent(const std::string& path) {
    if (attributes(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME;
}

bool rename_file(const std::string& from, const std::string& to) {
    // Write-through: the call returns once the move is on the disk, which
    // is what flushing the folder does on Linux.
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    win::set_errno_from_last_error();
    return false;
}

bool delete_file(const std::string& path) {
    if (DeleteFileW(widen(path).c_str())) return true;
    const DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return true;
    win::set_errno_from_last_error();
    return false;
}

// Windows has no flush of a folder; every rename above is written through.
bool sync_folder_of(const std::string&) { return true; }

int last_error() { return errno; }

std::string error_text(int os_error) {
    if (os_error >= win::kWindowsErrorBase) return win::system_message(DWORD(os_error - win::kWindowsErrorBase));
    switch (os_error) {
    case EROFS: return "Диск защищён от записи";
    case EBUSY: return "Файл занят другой программой";
    default: return errno_text(os_error);
    }
}

ReadResult read_regular_file(const std::string& path, size_t max_bytes, std::string& bytes) {
    bytes.clear();
    const DWORD a = attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) {
        const DWORD e = GetLastError();
        win::set_errno_from_last_error();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ReadResult::absent : ReadResult::failed;
    }
    if (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return ReadResult::not_regular;
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        win::set_errno_from_last_error();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ReadResult::absent : ReadResult::failed;
    }
    ReadResult result = ReadResult::read;
    // The name may have been swapped between the look and the open.
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK) result = ReadResult::not_regular;
    else if (!GetFileSizeEx(h, &size)) result = ReadResult::failed;
    else if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) result = ReadResult::too_large;
    char chunk[4096];
    while (result == ReadResult::read) {
        DWORD n = 0;
        if (!ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
            win::set_errno_from_last_error();
            result = ReadResult::failed;
        } else if (n == 0) {
            break;
        } else if (bytes.size() + n > max_bytes) {
            result = ReadResult::too_large;  // grew meanwhile
        } else {
            bytes.append(chunk, n);
        }
    }
    CloseHandle(h);
    if (result != ReadResult::read) bytes.clear();
    return result;
}

File_t::~File_t() {
    if (fd_ != -1) CloseHandle(to_handle(fd_));
}

bool File_t::create_new(const std::string& path) {
    close();
    // CREATE_NEW fails on any existing entry, a link included.
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        win::set_errno_from_last_error();
        return false;
    }
    fd_ = from_handle(h);
    return true;
}

bool File_t::open_read(const std::string& path) {
    close();
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        win::set_errno_from_last_error();
        return false;
    }
    fd_ = from_handle(h);
    return true;
}

bool File_t::write_all(const void* data, size_t n) {
    if (fd_ == -1) return false;
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const DWORD chunk = n > 0x40000000u ? 0x40000000u : DWORD(n);
        DWORD w = 0;
        if (!WriteFile(to_handle(fd_), p, chunk, &w, nullptr) || w == 0) {
            win::set_errno_from_last_error();
            return false;
        }
        p += w;
        n -= w;
    }
    return true;
}

long File_t::read(void* buf, size_t n) {
    if (fd_ == -1) return -1;
    char* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < n) {
        const size_t want = n - got > 0x40000000u ? 0x40000000u : n - got;
        DWORD r = 0;
        if (!ReadFile(to_handle(fd_), p + got, DWORD(want), &r, nullptr)) {
            win::set_errno_from_last_error();
            return -1;
        }
        if (r == 0) break;
        got += r;
    }
    return static_cast<long>(got);
}

// Commit: the file's data and size go to the disk before the call returns.
bool File_t::sync() {
    if (fd_ == -1) return false;
    if (FlushFileBuffers(to_handle(fd_))) return true;
    win::set_errno_from_last_error();
    return false;
}

bool File_t::close() {
    if (fd_ == -1) return false;
    const bool ok = CloseHandle(to_handle(fd_)) != 0;
    if (!ok) win::set_errno_from_last_error();
    fd_ = -1;
    return ok;
}

// The instance lock is the named mutex itself: the system keeps it while any
// holder's handle is open and drops it when the holder ends, however it ends.
bool InstanceLock_t::open(const std::string& name, bool* already_existed) {
    close();
    HANDLE h = CreateMutexW(nullptr, FALSE, widen(name).c_str());
    const DWORD e = GetLastError();
    if (h == nullptr) {
        // A mutex of that name exists but this user may not open it: held by
        // another user's instance.
        if (already_existed) *already_existed = e == ERROR_ACCESS_DENIED;
        return e == ERROR_ACCESS_DENIED;
    }
    fd_ = from_handle(h);
    owns_ = e != ERROR_ALREADY_EXISTS;
    if (already_existed) *already_existed = !owns_;
    return true;
}

void InstanceLock_t::close() {
    if (fd_ != -1) CloseHandle(to_handle(fd_));
    fd_ = -1;
    owns_ = false;
}

}  // namespace plat
