#include "link/com_port.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "link/errors.h"

namespace {

using clock_type = std::chrono::steady_clock;

// Echo is read back and compared in pieces of at most this many bytes.
constexpr uint32_t kEchoPiece = 64;
// Extra time an echo piece may take beyond its wire time: USB adapters hand
// received bytes over on their own timer (up to 16 ms by default) and the
// scheduler adds its share.
constexpr int kEchoMarginMs = 50;

plat::SerialLine line_of(const com_port_settings_t& s) {
    return plat::SerialLine{s.speed, s.parity, s.stop_bits};
}

}  // namespace

uint32_t line_wire_time_ms(uint32_t count, const com_port_settings_t& s) {
    const uint32_t bits = 1 + 8 + (s.parity ? 1 : 0) + (s.stop_bits ? 2 : 1);
    const uint32_t speed = s.speed ? s.speed : 9600;
    return static_cast<uint32_t>((uint64_t(count) * bits * 1000 + speed - 1) / speed);
}

com_port_t::~com_port_t() { close(); }

void com_port_t::set_open(bool open) {
    open_.store(open, std::memory_order_release);
    failed_.store(false, std::memory_order_release);
}

void com_port_t::open(error_value_t& err) {
    err = success();
    ScopedLock_t guard(lock_);
    if (open_.load(std::memory_order_relaxed)) return;
    open_locked(err);
    if (!err) set_open(true);
}

// Opens the line on the target path; the open flag is the caller's business.
void com_port_t::open_locked(error_value_t& err) {
    const std::string path = target_path();
    const com_port_settings_t s = settings();
    last_open_path_ = path;
    last_open_ = path.empty() ? plat::SerialOpen::not_found : line_.open(path, line_of(s));
    if (last_open_ != plat::SerialOpen::ok) err = comport_error(kComOpenFailed);
}

error_value_t com_port_t::close() {
    ScopedLock_t guard(lock_);
    const bool closed = line_.close();
    set_open(false);
    return closed ? success() : comport_error(kComCloseFailed);
}

void com_port_t::reopen(error_value_t& err) {
    err = success();
    ScopedLock_t guard(lock_);
    if (!open_.load(std::memory_order_relaxed) || !failed_.load(std::memory_order_relaxed)) return;
    line_.close();  // a failed device may fail its close too; the line is gone either way
    open_locked(err);
    if (!err) failed_.store(false, std::memory_order_release);
}

ustring_t com_port_t::open_failure_reason() const {
    ScopedLock_t guard(lock_);
    if (last_open_ == plat::SerialOpen::ok) return ustring_t();
    return port_open_reason(last_open_path_, last_open_, settings().port);
}

void com_port_t::configure(const com_port_settings_t& settings, error_value_t& err) {
    if (settings.parity > 4 || settings.stop_bits > 2 || settings.speed < 600 || settings.speed > 256000) {
        err = comport_error(kComInvalidData);
        return;
    }
    err = success();
    ScopedLock_t guard(lock_);
    {
        std::lock_guard<std::mutex> g(settings_lock_);
        settings_ = settings;
    }
    if (open_.load(std::memory_order_relaxed)) {
        line_.close();
        open_locked(err);
        set_open(!err);
    }
}

com_port_settings_t com_port_t::settings() const {
    std::lock_guard<std::mutex> g(settings_lock_);
    return settings_;
}

uint32_t com_port_t::write(const uint8_t* data, uint32_t count, error_value_t& err) {
    err = success();
    if (data == nullptr) { err = comport_error(kComInvalidData); return 0; }
    if (count == 0) { err = comport_error(kComInvalidSize); return 0; }
    if (!is_open()) { err = comport_error(kComNotOpen); return 0; }
    // The delay gives a slow device time to turn its RS-485 driver around;
    // it must not hold the lock, so that close() is never kept waiting.
    const uint16_t delay = settings().before_send_delay;
    if (delay != 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));

    ScopedLock_t guard(lock_);
    if (!open_.load(std::memory_order_relaxed)) { err = comport_error(kComNotOpen); return 0; }
    const com_port_settings_t s = settings();
    // The device failed and could not be opened again: nothing goes out.
    if (!line_.is_open()) { err = comport_error(kComWriteFailed); return 0; }
    // Bytes a late reply left behind would be taken for the start of the
    // answer to this frame. A watcher of the line is shown them first.
    line_observer_t* const observer = observer_.load(std::memory_order_acquire);
    if (observer) report_stale(*observer);
    line_.discard_input();
    long written = line_.write(data, count);
    if (written < 0 || static_cast<uint32_t>(written) != count) {
        err = comport_error(kComWriteFailed);
        if (written < 0) failed_.store(true, std::memory_order_release);
        return written < 0 ? 0 : static_cast<uint32_t>(written);
    }
    if (s.permanent_echo) {
        // write() returns when the bytes are queued, not sent: wait until they
        // have left so the echo deadline starts from the line, not the queue.
        if (!line_.drain()) err = comport_error(kComWriteFailed);
        else {
            uint8_t echo[kEchoKeep];
            uint32_t echoed = 0;
            if (int32_t code = read_echo(data, count, s, echo, echoed); code != kComOk) err = comport_error(code);
            if (observer) observer->on_line_event(line_event_kind_t::echo, line_clock_us(), echo, echoed);
        }
    }
    return count;
}

void com_port_t::report_stale(line_observer_t& observer) {
    uint8_t stale[kEchoKeep];
    uint32_t n = 0;
    for (long got; n < sizeof stale && (got = line_.read_pending(stale + n, sizeof stale - n)) > 0;)
        n += static_cast<uint32_t>(got);
    if (n > 0) observer.on_line_event(line_event_kind_t::stale, line_clock_us(), stale, n);
}

int32_t com_port_t::read_echo(const uint8_t* sent, uint32_t count, const com_port_settings_t& s, uint8_t* kept,
                              uint32_t& kept_len) {
    uint8_t echo[kEchoPiece];
    bool any = false;
    // What came back is kept (up to kEchoKeep bytes) for a watcher of the line.
    auto keep = [&](const uint8_t* p, uint32_t n) {
        for (uint32_t i = 0; i < n && kept_len < kEchoKeep; ++i) kept[kept_len++] = p[i];
    };
    for (uint32_t off = 0; off < count; off += kEchoPiece) {
        uint32_t need = count - off < kEchoPiece ? count - off : kEchoPiece;
        auto deadline = clock_type::now() + std::chrono::milliseconds(line_wire_time_ms(need, s) + kEchoMarginMs);
        uint32_t got = 0;
        while (got < need) {
            long n = line_.read(echo + got, need - got);
            if (n < 0) return any ? kComEchoMismatch : kComNoEcho;
            if (n > 0) {
                any = true;
                keep(echo + got, static_cast<uint32_t>(n));
                if (std::memcmp(echo + got, sent + off + got, static_cast<size_t>(n)) != 0) return kComEchoMismatch;
                got += static_cast<uint32_t>(n);
            }
            if (got < need && clock_type::now() >= deadline) return any ? kComEchoMismatch : kComNoEcho;
        }
    }
    return kComOk;
}

uint32_t com_port_t::read(uint8_t* buffer, uint32_t capacity, error_value_t& err) {
    err = success();
    if (buffer == nullptr) { err = comport_error(kComInvalidData); return 0; }
    if (capacity == 0) { err = comport_error(kComInvalidSize); return 0; }
    ScopedLock_t guard(lock_);
    if (!open_.load(std::memory_order_relaxed)) { err = comport_error(kComNotOpen); return 0; }
    if (!line_.is_open()) { err = comport_error(kComReadFailed); return 0; }
    long n = line_.read(buffer, capacity);
    if (n < 0) {
        err = comport_error(kComReadFailed);
        failed_.store(true, std::memory_order_release);
        return 0;
    }
    return static_cast<uint32_t>(n);
}

void com_port_t::set_device_path(const std::string& path) {
    std::lock_guard<std::mutex> g(settings_lock_);
    device_path_ = path;
}

std::string com_port_t::device_path() const {
    std::lock_guard<std::mutex> g(settings_lock_);
    return device_path_;
}

std::string com_port_t::target_path() const {
    std::string path;
    unsigned port;
    {
        std::lock_guard<std::mutex> g(settings_lock_);
        path = device_path_;
        port = settings_.port;
    }
    // Looked up at every open: the ports folder and the system's devices may
    // have changed since the last one.
    return path.empty() ? plat::com_device_path(port) : path;
}

plat::SerialOpen com_port_t::last_open_result() const {
    ScopedLock_t guard(lock_);
    return last_open_;
}

void com_port_t::enumerate_ports(const std::function<void(unsigned n, const std::string& path)>& fn) {
    plat::enumerate_com_ports(fn);
}
