#include "sim/line.h"

#include <mutex>

#include "platform/pty.h"
#include "platform/serial.h"
#include "platform/tty_watch.h"

namespace sim {

namespace {

class PtyLine_t final : public Line_t {
public:
    bool open(std::string& error) {
        if (!pty_.open()) {
            error = "не удалось создать псевдотерминал: " + pty_.errno_text();
            return false;
        }
        path_ = pty_.slave_path();
        watch_.open(path_);
        return true;
    }
    long read(uint8_t* buf, size_t cap, int timeout_ms) override {
        std::lock_guard<std::mutex> g(mu_);
        return pty_.read(buf, cap, timeout_ms);
    }
    bool write(const uint8_t* buf, size_t n) override {
        std::lock_guard<std::mutex> g(mu_);
        return pty_.write(buf, n);
    }
    void close() override {
        std::lock_guard<std::mutex> g(mu_);
        watch_.close();
        pty_.close();
    }
    void set_speed(unsigned) override {}
    std::string path() const override { return path_; }
    bool peer_settings(uint32_t& speed, char& parity) override {
        std::lock_guard<std::mutex> g(mu_);
        return watch_.settings(speed, parity);
    }

private:
    std::mutex mu_;
    plat::Pty_t pty_;
    plat::TtyWatch_t watch_;
    std::string path_;
};

// A real serial device, e.g. a USB RS-485 adapter wired to another one.
class SerialLine_t final : public Line_t {
public:
    SerialLine_t(std::string path, plat::SerialLine settings) : path_(std::move(path)), settings_(settings) {}
    bool open(std::string& error) {
        switch (port_.open(path_, settings_)) {
        case plat::SerialOpen::ok: return true;
        case plat::SerialOpen::not_found: error = path_ + ": нет такого устройства"; break;
        case plat::SerialOpen::busy: error = path_ + ": устройство занято"; break;
        case plat::SerialOpen::not_serial: error = path_ + ": не последовательный порт"; break;
        case plat::SerialOpen::no_permission: error = path_ + ": нет прав доступа"; break;
        case plat::SerialOpen::refused: error = path_ + ": устройство не приняло настройки линии"; break;
        case plat::SerialOpen::failed: error = path_ + ": не удалось открыть"; break;
        }
        return false;
    }
    // The port waits up to about 10 ms for a first byte, whatever timeout_ms says.
    long read(uint8_t* buf, size_t cap, int) override {
        std::lock_guard<std::mutex> g(mu_);
        return port_.read(buf, cap);
    }
    bool write(const uint8_t* buf, size_t n) override {
        std::lock_guard<std::mutex> g(mu_);
        return port_.write(buf, n) == long(n);
    }
    void close() override {
        std::lock_guard<std::mutex> g(mu_);
        port_.close();
    }
    void set_speed(unsigned speed) override {
        std::lock_guard<std::mutex> g(mu_);
        if (!port_.is_open() || speed == settings_.speed) return;
        // Let the reply leave at the old speed before the port is set anew.
        port_.drain();
        port_.close();
        settings_.speed = speed;
        port_.open(path_, settings_);
    }
    std::string path() const override { return path_; }

private:
    std::mutex mu_;
    plat::Serial_t port_;
    std::string path_;
    plat::SerialLine settings_;
};

}  // namespace

std::shared_ptr<Line_t> open_pty_line(std::string& error) {
    auto line = std::make_shared<PtyLine_t>();
    if (!line->open(error)) return nullptr;
    return line;
}

std::shared_ptr<Line_t> open_serial_line(const std::string& path, unsigned speed, char parity, unsigned stop_bits,
                                         std::string& error) {
    plat::SerialLine settings;
    settings.speed = speed;
    settings.parity = parity == 'O' ? 1 : parity == 'E' ? 2 : 0;
    settings.stop_bits = stop_bits == 2 ? 2 : 0;
    auto line = std::make_shared<SerialLine_t>(path, settings);
    if (!line->open(error)) return nullptr;
    return line;
}

}  // namespace sim
