// The far end of a serial line for tests: a pseudo-terminal whose slave side
// the code under test opens as its port, and a thread on the master side that
// plays the device by a script.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/crc16.h"
#include "platform/pty.h"

namespace testing_peer {

using Bytes = std::vector<uint8_t>;

inline Bytes with_crc(Bytes b) {
    crc16_seal(b);
    return b;
}

// A function-3 reply carrying regs.
inline Bytes read_reply(uint8_t addr, const std::vector<uint16_t>& regs, uint8_t function = 3) {
    Bytes b{addr, function, uint8_t(regs.size() * 2)};
    for (uint16_t r : regs) { b.push_back(uint8_t(r >> 8)); b.push_back(uint8_t(r & 0xFF)); }
    return with_crc(b);
}

class Peer {
public:
    Peer() { ok_ = pty_.open(); }
    ~Peer() { join(); }

    bool ok() const { return ok_; }
    const std::string& path() const { return pty_.slave_path(); }
    plat::Pty_t& pty() { return pty_; }

    // Runs script on the peer thread.
    void run(std::function<void(Peer&)> script) {
        join();
        thread_ = std::thread([this, script = std::move(script)] { script(*this); });
    }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

    // Reads bytes until a whole request frame is in (its length follows from
    // the function code) or timeout_ms passes. Returns what was read.
    Bytes read_request(int timeout_ms = 2000) {
        Bytes frame;
        uint8_t buf[300];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < deadline) {
            size_t want = expected_length(frame);
            if (want != 0 && frame.size() >= want) break;
            long n = pty_.read(buf, want ? want - frame.size() : 1, 5);
            if (n < 0) break;
            frame.insert(frame.end(), buf, buf + n);
        }
        return frame;
    }
    // Reads whatever arrives within timeout_ms.
    Bytes read_all(int timeout_ms) {
        Bytes out;
        uint8_t buf[300];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (std::chrono::steady_clock::now() < deadline) {
            long n = pty_.read(buf, sizeof buf, 5);
            if (n < 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    // Reads until n bytes are in or timeout_ms passes.
    Bytes read_exact(size_t n, int timeout_ms = 2000) {
        Bytes out;
        uint8_t buf[300];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (out.size() < n && std::chrono::steady_clock::now() < deadline) {
            long r = pty_.read(buf, std::min(sizeof buf, n - out.size()), 5);
            if (r < 0) break;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }
    void send(const Bytes& b) { pty_.write(b.data(), b.size()); }
    void close_line() { pty_.close(); }

    static size_t expected_length(const Bytes& f) {
        if (f.size() < 2) return 0;
        if (f[1] == 15 || f[1] == 16) return f.size() < 7 ? 0 : 9 + size_t(f[6]);
        return 8;
    }

private:
    plat::Pty_t pty_;
    bool ok_ = false;
    std::thread thread_;
};

// Points LUMA10_CONFIG_DIR at a fresh temporary folder for the whole test
// program, so COM links made by tests never reach a real configuration.
inline void use_temp_config_dir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/luma10-test-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        std::string s = d ? d : "/tmp";
        ::setenv("LUMA10_CONFIG_DIR", s.c_str(), 1);
        if (d) std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::getenv("LUMA10_CONFIG_DIR"), ec);
        });
        return s;
    }();
}

}  // namespace testing_peer
