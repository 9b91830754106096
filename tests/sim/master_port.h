// The master's end of a simulated line for the simulator's tests: opens the
// pty's slave side through the program's own serial line and reads with
// deadlines.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/crc16.h"
#include "platform/serial.h"

namespace simtest {

using bytes_t = std::vector<uint8_t>;

inline bytes_t hex(const char* s) {
    bytes_t out;
    int nib = -1;
    for (; *s; ++s) {
        int v = (*s >= '0' && *s <= '9') ? *s - '0' : (*s >= 'A' && *s <= 'F') ? *s - 'A' + 10
              : (*s >= 'a' && *s <= 'f') ? *s - 'a' + 10 : -1;
        if (v < 0) continue;
        if (nib < 0) nib = v;
        else { out.push_back(uint8_t(nib << 4 | v)); nib = -1; }
    }
    return out;
}

inline bytes_t with_crc(bytes_t f) {
    crc16_seal(f);
    return f;
}

// The two register words of a float, low word first.
inline std::vector<uint16_t> float_words(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return {uint16_t(bits & 0xFFFF), uint16_t(bits >> 16)};
}

inline bytes_t read_req(uint8_t a, uint16_t start, uint16_t count) {
    return with_crc({a, 3, uint8_t(start >> 8), uint8_t(start), uint8_t(count >> 8), uint8_t(count)});
}

inline bytes_t write_req(uint8_t a, uint16_t start, const std::vector<uint16_t>& words) {
    bytes_t f{a, 16, uint8_t(start >> 8), uint8_t(start), 0, uint8_t(words.size()), uint8_t(words.size() * 2)};
    for (uint16_t w : words) {
        f.push_back(uint8_t(w >> 8));
        f.push_back(uint8_t(w));
    }
    return with_crc(f);
}

class MasterPort {
public:
    explicit MasterPort(const std::string& path) { ok_ = port_.open(path, plat::SerialLine{}) == plat::SerialOpen::ok; }
    bool ok() const { return ok_; }
    bool send(const bytes_t& b) { return port_.write(b.data(), b.size()) == long(b.size()); }
    // Reads until `want` bytes arrived or timeout_ms passed; -1 in `status`
    // when the line has gone (the simulator closed its end).
    bytes_t receive(size_t want, int timeout_ms, int* status = nullptr,
                    std::chrono::steady_clock::time_point* first = nullptr,
                    std::chrono::steady_clock::time_point* last = nullptr) {
        bytes_t out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        if (status) *status = 0;
        while (out.size() < want && std::chrono::steady_clock::now() < end) {
            uint8_t buf[512];
            const long n = port_.read(buf, sizeof buf);
            if (n < 0) {
                if (status) *status = -1;
                break;
            }
            if (n == 0) continue;
            const auto now = std::chrono::steady_clock::now();
            if (out.empty() && first) *first = now;
            if (last) *last = now;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    // One request, one reply of the expected length.
    bytes_t exchange(const bytes_t& req, size_t reply_len, int timeout_ms = 1000) {
        send(req);
        return receive(reply_len, timeout_ms);
    }

private:
    plat::Serial_t port_;
    bool ok_ = false;
};

}  // namespace simtest
