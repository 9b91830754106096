#include "sim/line.h"

#include <mutex>

#include "platform/pty.h"

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
        pty_.close();
    }
    void set_speed(unsigned) override {}
    std::string path() const override { return path_; }

private:
    std::mutex mu_;
    plat::Pty_t pty_;
    std::string path_;
};

}  // namespace

std::shared_ptr<Line_t> open_pty_line(std::string& error) {
    auto line = std::make_shared<PtyLine_t>();
    if (!line->open(error)) return nullptr;
    return line;
}

std::shared_ptr<Line_t> open_serial_line(const std::string& path, unsigned, char, unsigned, std::string& error) {
    error = "работа с последовательным устройством " + path + " в этой сборке не поддерживается";
    return nullptr;
}

}  // namespace sim
