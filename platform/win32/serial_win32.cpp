#include "platform/serial.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <algorithm>
#include <set>
#include <vector>

#include "platform/win32/wide.h"

namespace plat {

using win::from_handle;
using win::to_handle;
using win::widen;

namespace {

constexpr unsigned kMaxComNumber = 255;

// The line as the configurator wants it: the speed, 8 data bits, parity
// (checked exactly when there is one), stop bits, DTR off and RTS on. The
// Windows codes of parity (none, odd, even, mark, space) and stop bits (one,
// one and a half, two) are the configurator's own. Flow control and character
// handling are switched off whatever a previous program left: XON/XOFF would
// swallow the bytes 0x11 and 0x13 of a frame, CTS/DSR flow would stop
// sending on an adapter that does not drive those lines.
void make_raw(DCB& dcb, const SerialLine& line) {
    dcb.BaudRate = line.speed;
    dcb.ByteSize = 8;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stop_bits;
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != 0 ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

// Time-outs of a read: it returns at the latest kSerialReadWaitMs after it
// was issued, and earlier when, after some bytes, the line has been quiet for
// the read interval. A write may take its bytes' wire time at this speed and a
// second more (the interface's bound), never forever.
COMMTIMEOUTS line_timeouts(const COMMTIMEOUTS& current, uint32_t speed, unsigned interval_ms) {
    COMMTIMEOUTS t = current;
    t.ReadIntervalTimeout = interval_ms;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = kSerialReadWaitMs;
    t.WriteTotalTimeoutMultiplier = 11000 / (speed ? speed : 1) + 1;
    t.WriteTotalTimeoutConstant = 1000;
    return t;
}

SerialOpen open_failure(DWORD e) {
    switch (e) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST: return SerialOpen::not_found;
    // A port another program has open is refused with "access denied":
    // ports are never shared.
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: case ERROR_BUSY: return SerialOpen::busy;
    default: return SerialOpen::failed;
    }
}

}  // namespace

Serial_t::~Serial_t() { close(); }

SerialOpen Serial_t::open(const std::string& path, const SerialLine& line) {
    close();
    // Not shared, an existing device only, synchronous I/O.
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return open_failure(GetLastError());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    // A file or a pipe opens too, but has no line state.
    if (GetFileType(h) != FILE_TYPE_CHAR || !GetCommState(h, &dcb) || !GetCommTimeouts(h, &timeouts)) {
        CloseHandle(h);
        return SerialOpen::not_serial;
    }
    const unsigned interval = 35000u / (line.speed ? line.speed : 1) + 1;
    make_raw(dcb, line);
    bool applied = SetCommState(h, &dcb) != 0;
    if (!applied && line.stop_bits == ONE5STOPBITS) {
        // Many UARTs offer one and a half stop bits only with five data bits;
        // two is the nearest a receiver expecting 1.5 still accepts.
        dcb.StopBits = TWOSTOPBITS;
        applied = SetCommState(h, &dcb) != 0;
    }
    const COMMTIMEOUTS wanted = line_timeouts(timeouts, line.speed, interval);
    // A refused setting would leave a line that mangles frames (wrong rate or
    // parity) or reads that never return: fail the open instead.
    if (!applied || !SetCommTimeouts(h, const_cast<COMMTIMEOUTS*>(&wanted))) {
        CloseHandle(h);
        return SerialOpen::refused;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    fd_ = from_handle(h);
    interval_ms_ = interval;
    return SerialOpen::ok;
}

bool Serial_t::close() {
    if (fd_ == -1) return true;
    const bool ok = CloseHandle(to_handle(fd_)) != 0;
    fd_ = -1;
    return ok;
}

long Serial_t::write(const uint8_t* data, size_t n) {
    if (fd_ == -1) return -1;
    size_t done = 0;
    while (done < n) {
        DWORD w = 0;
        const DWORD chunk = n - done > 0x10000u ? 0x10000u : DWORD(n - done);
        if (!WriteFile(to_handle(fd_), data + done, chunk, &w, nullptr)) break;
        done += w;
        if (w < chunk) break;  // the write time-out ran out
    }
    if (done == 0 && n != 0) return -1;
    return static_cast<long>(done);
}

// On a serial port FlushFileBuffers returns once the transmitter is empty.
bool Serial_t::drain() { return fd_ != -1 && FlushFileBuffers(to_handle(fd_)) != 0; }

long Serial_t::read(uint8_t* buf, size_t cap) {
    if (fd_ == -1) return -1;
    if (cap == 0) return 0;
    DWORD n = 0;
    const DWORD want = cap > 0x10000u ? 0x10000u : DWORD(cap);
    if (!ReadFile(to_handle(fd_), buf, want, &n, nullptr)) return -1;
    return static_cast<long>(n);
}

long Serial_t::read_pending(uint8_t* buf, size_t cap) {
    if (fd_ == -1) return -1;
    if (cap == 0) return 0;
    // The driver's count of received bytes; a read of no more than that many
    // returns at once whatever the time-outs say.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(to_handle(fd_), &errors, &status)) return -1;
    if (status.cbInQue == 0) return 0;
    DWORD n = 0;
    const DWORD want = DWORD(std::min<size_t>(cap, status.cbInQue));
    if (!ReadFile(to_handle(fd_), buf, want, &n, nullptr)) return -1;
    return static_cast<long>(n);
}

void Serial_t::discard_input() {
    if (fd_ != -1) PurgeComm(to_handle(fd_), PURGE_RXCLEAR);
}

// ---- COM numbers --------------------------------------------------------

namespace {

std::string device_path_of(unsigned n) { return "\\\\.\\COM" + std::to_string(n); }

// "COM7" -> 7; 0 for any other name.
unsigned com_number_of(const wchar_t* name) {
    if (std::wcsncmp(name, L"COM", 3) != 0 || name[3] < L'1' || name[3] > L'9') return 0;
    unsigned n = 0;
    for (const wchar_t* p = name + 3; *p; ++p) {
        if (*p < L'0' || *p > L'9' || n > kMaxComNumber) return 0;
        n = n * 10 + unsigned(*p - L'0');
    }
    return n <= kMaxComNumber ? n : 0;
}

// The serial ports the system knows: the drivers' entries under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (value data "COM3"), and the COMn names
// of the device namespace (ports some drivers and Wine register only there).
// A port another program holds is listed as well. Ports 1..30 are also asked
// directly, by an open that requests no access: a port Wine makes from a link
// in its dosdevices folder is found only that way.
constexpr unsigned kProbedPorts = 30;

std::set<unsigned> system_ports() {
    std::set<unsigned> ports;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            wchar_t data[64];
            DWORD name_len = DWORD(std::size(name));
            DWORD data_bytes = sizeof data - sizeof(wchar_t);
            DWORD type = 0;
            const LONG rc = RegEnumValueW(key, i, name, &name_len, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                          &data_bytes);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
            data[data_bytes / sizeof(wchar_t)] = L'\0';
            if (unsigned n = com_number_of(data)) ports.insert(n);
        }
        RegCloseKey(key);
    }
    std::vector<wchar_t> names(1 << 16);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD len = QueryDosDeviceW(nullptr, names.data(), DWORD(names.size()));
        if (len != 0) {
            for (const wchar_t* p = names.data(); p < names.data() + len && *p; p += std::wcslen(p) + 1)
                if (unsigned n = com_number_of(p)) ports.insert(n);
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        names.resize(names.size() * 4);
    }
    for (unsigned n = 1; n <= kProbedPorts; ++n) {
        if (ports.count(n)) continue;
        HANDLE h = CreateFileW(widen(device_path_of(n)).c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            ports.insert(n);
        } else if (GetLastError() == ERROR_ACCESS_DENIED) {
            ports.insert(n);  // held by another program
        }
    }
    return ports;
}

}  // namespace

// COM n is the system's own device of that number; "\\.\COMn" reaches it
// whatever its number (the plain name "COMn" only works up to 9).
std::string com_device_path(unsigned n) {
    if (n < 1 || n > kMaxComNumber) return {};
    return device_path_of(n);
}

void enumerate_com_ports(const std::function<void(unsigned n, const std::string& path)>& fn) {
    for (unsigned n : system_ports()) fn(n, com_device_path(n));
}

}  // namespace plat
