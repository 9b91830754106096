#include "sim/simulator.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "foundation/safe_file.h"
#include "link/crc16.h"
#include "model/codes.h"
#include "model/line_monitor.h"
#include "platform/pty.h"
#include "platform/thread.h"
#include "sim/line.h"

namespace sim {

namespace {

constexpr unsigned kDefaultLateMs = 1500;

using std::chrono::microseconds;
using std::chrono::milliseconds;

std::string hex(const uint8_t* p, size_t n) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
        s += b;
    }
    return s;
}

}  // namespace

unsigned speed_of_code(unsigned code) { return code < codes::kSpeedCount ? codes::kSpeedTable[code] : 0; }

unsigned code_of_speed(unsigned speed) {
    for (unsigned i = 0; i < codes::kSpeedCount; ++i)
        if (codes::kSpeedTable[i] == speed) return i;
    return codes::kSpeedCount;
}

Simulator_t::Simulator_t(Options_t options) : opt_(std::move(options)) {
    if (!opt_.log) opt_.log = [](const std::string& s) { std::fprintf(stderr, "%s\n", s.c_str()); };
    speed_ = opt_.speed;
    started_ = clock_t_::now();
    const unsigned code = code_of_speed(opt_.speed);
    for (uint8_t a : opt_.addresses) {
        DeviceConfig_t c;
        c.address = a;
        c.seed = opt_.seed;
        c.records = opt_.records;
        c.baud_code = uint16_t(code < codes::kSpeedCount ? code : codes::kSpeedFallbackIndex);
        c.owner = uint16_t(opt_.owner);
        c.sensor_type = opt_.sensor_type;
        c.mipex_type = opt_.mipex_type;
        c.concentration = opt_.concentration;
        c.drift = opt_.drift;
        c.trend_delay = milliseconds(opt_.trend_delay_ms);
        c.calibration_time = milliseconds(opt_.calibration_ms);
        devices_.push_back(std::make_unique<Device_t>(c, started_));
        if (opt_.calibration_error) devices_.back()->force_calibration_outcome(uint16_t(opt_.calibration_error));
        devices_.back()->set_save_fault(opt_.save_fault);
    }
    for (auto& d : devices_) stations_.push_back(Station_t{d.get(), 0});
    for (uint8_t a : opt_.foreign) stations_.push_back(Station_t{nullptr, a});
    silent_ = opt_.silent ? -1 : 0;
    late_ = opt_.late_ms ? -1 : 0;
    late_ms_ = opt_.late_ms ? opt_.late_ms : kDefaultLateMs;
    corrupt_ = opt_.corrupt_crc ? -1 : 0;
    noise_ = opt_.noise ? -1 : 0;
    noise_state_ ^= opt_.seed;
}

Simulator_t::~Simulator_t() { stop(); }

bool Simulator_t::open_line(std::string* error) {
    std::string err;
    std::shared_ptr<Line_t> line = opt_.device_path.empty()
                                       ? open_pty_line(err)
                                       : open_serial_line(opt_.device_path, opt_.speed, opt_.parity, opt_.stop_bits, err);
    if (!line) {
        if (error) *error = err;
        return false;
    }
    std::lock_guard<std::mutex> g(mu_);
    line_ = line;
    path_ = line->path();
    if (opt_.com && opt_.device_path.empty() && !plat::register_com_link(opt_.com, path_)) {
        if (error) *error = "не удалось зарегистрировать COM" + std::to_string(opt_.com);
        line_.reset();
        return false;
    }
    return true;
}

bool Simulator_t::start(std::string* error) {
    if (running_) return true;
    load_state();
    if (!open_line(error)) return false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void Simulator_t::stop() {
    if (running_.exchange(false) && thread_.joinable()) thread_.join();
    std::shared_ptr<Line_t> line;
    {
        std::lock_guard<std::mutex> g(mu_);
        line.swap(line_);
        if (opt_.com && opt_.device_path.empty() && !path_.empty()) plat::unregister_com_link(opt_.com, path_);
    }
    if (line) line->close();
}

std::string Simulator_t::path() const {
    std::lock_guard<std::mutex> g(mu_);
    return path_;
}

bool Simulator_t::line_open() const {
    std::lock_guard<std::mutex> g(mu_);
    return line_ != nullptr;
}

void Simulator_t::set_fault(Fault_t f, int count) {
    std::lock_guard<std::mutex> g(mu_);
    switch (f) {
    case Fault_t::kSilent: silent_ = count; break;
    case Fault_t::kLate: late_ = count; break;
    case Fault_t::kCorruptCrc: corrupt_ = count; break;
    case Fault_t::kNoise: noise_ = count; break;
    }
}

void Simulator_t::clear_faults() {
    std::lock_guard<std::mutex> g(mu_);
    silent_ = late_ = corrupt_ = noise_ = 0;
}

void Simulator_t::set_late_ms(unsigned ms) {
    std::lock_guard<std::mutex> g(mu_);
    late_ms_ = ms;
}

void Simulator_t::drop_line() {
    std::shared_ptr<Line_t> line;
    {
        std::lock_guard<std::mutex> g(mu_);
        line.swap(line_);
        if (opt_.com && opt_.device_path.empty() && !path_.empty()) plat::unregister_com_link(opt_.com, path_);
    }
    // The serving thread holds its own reference while it reads; the line
    // closes itself so that a read in progress ends rather than racing.
    if (line) line->close();
    opt_.log("линия закрыта");
}

bool Simulator_t::restore_line(std::string* error) {
    if (line_open()) return true;
    if (!open_line(error)) return false;
    opt_.log("линия открыта: " + path());
    return true;
}

bool Simulator_t::take_fault(int& counter) {
    if (counter == 0) return false;
    if (counter > 0) --counter;
    return true;
}

Device_t* Simulator_t::find(uint8_t address) {
    for (auto& d : devices_)
        if (d->address() == address) return d.get();
    return nullptr;
}

bool Simulator_t::with_device(uint8_t address, const std::function<void(Device_t&)>& fn) {
    std::lock_guard<std::mutex> g(mu_);
    Device_t* d = find(address);
    if (!d) return false;
    fn(*d);
    return true;
}

bool Simulator_t::set_concentration(uint8_t a, double v) {
    return with_device(a, [&](Device_t& d) { d.set_concentration(v); d.tick(clock_t_::now()); });
}
bool Simulator_t::set_temperature(uint8_t a, double v) {
    return with_device(a, [&](Device_t& d) { d.set_temperature(v); d.tick(clock_t_::now()); });
}
bool Simulator_t::set_owner(uint8_t a, uint16_t owner) {
    return with_device(a, [&](Device_t& d) { d.set_owner(owner); });
}
bool Simulator_t::set_register(uint8_t a, uint16_t r, uint16_t v) {
    return with_device(a, [&](Device_t& d) { d.poke(r, v); });
}
bool Simulator_t::get_register(uint8_t a, uint16_t r, uint16_t& v) {
    return with_device(a, [&](Device_t& d) { v = d.peek(r); });
}
bool Simulator_t::output_current(uint8_t a, double& ma) {
    return with_device(a, [&](Device_t& d) { ma = d.output_current(); });
}

bool Simulator_t::force_calibration_outcome(uint8_t a, uint16_t state) {
    return with_device(a, [&](Device_t& d) { d.force_calibration_outcome(state); });
}
bool Simulator_t::set_save_fault(uint8_t a, SaveFault_t f, int count) {
    return with_device(a, [&](Device_t& d) { d.set_save_fault(f, count); });
}
bool Simulator_t::set_journal_count(uint8_t a, Journal_t j, uint32_t n) {
    return with_device(a, [&](Device_t& d) { d.set_journal_count(j, n); });
}
uint32_t Simulator_t::factory_serial(uint8_t a) {
    uint32_t s = 0;
    with_device(a, [&](Device_t& d) { s = d.factory_serial(); });
    return s;
}

double Simulator_t::char_time_us() const {
    // Start bit, 8 data bits, parity bit if any, stop bits.
    const unsigned bits = 1 + 8 + (opt_.parity == 'N' ? 0 : 1) + opt_.stop_bits;
    const unsigned s = speed_.load();
    return s ? 1e6 * bits / s : 0.0;
}

void Simulator_t::log_bytes(const char* dir, const uint8_t* p, size_t n, const char* note) {
    if (!opt_.verbose && !opt_.trace) return;
    const double t = std::chrono::duration<double, std::milli>(clock_t_::now() - started_).count();
    char head[48];
    std::snprintf(head, sizeof head, "%10.1f %s ", t, dir);
    std::string s = head + hex(p, n);
    if (note && *note) s += std::string("  (") + note + ")";
    // The trace says what the frame means, in the configurator's line monitor's words.
    if (opt_.trace) s += "  — " + describe_frame(p, n, dir[0] == '-');
    opt_.log(s);
}

void Simulator_t::run() {
    // Line timing paces every byte with a sleep; the default timer slack
    // would make each late by up to 50 us.
    if (opt_.line_timing) plat::use_precise_sleeps();
    std::vector<uint8_t> rx;
    time_point_t first{}, last{};
    uint8_t buf[512];
    auto next_tick = clock_t_::now();
    while (running_) {
        std::shared_ptr<Line_t> line;
        {
            std::lock_guard<std::mutex> g(mu_);
            line = line_;
        }
        const time_point_t now0 = clock_t_::now();
        if (now0 >= next_tick) {
            // Keep the clocks, drift and calibrations moving between requests.
            std::lock_guard<std::mutex> g(mu_);
            for (auto& d : devices_) d->tick(now0);
            next_tick = now0 + milliseconds(100);
        }
        if (!line) {
            rx.clear();
            std::this_thread::sleep_for(milliseconds(5));
            continue;
        }
        // Short waits only while a frame is being gathered; an idle line wakes
        // the thread a few dozen times a second.
        const long n = line->read(buf, sizeof buf, rx.empty() ? 20 : 2);
        const time_point_t now = clock_t_::now();
        if (n < 0) {
            std::this_thread::sleep_for(milliseconds(5));
            continue;
        }
        if (n > 0) {
            // A two-wire adapter hears its own transmission. With line timing
            // the echo keeps pace with the request's wire time (see handle()).
            if (opt_.echo && !opt_.line_timing) line->write(buf, size_t(n));
            if (rx.empty()) first = now;
            last = now;
            rx.insert(rx.end(), buf, buf + n);
            if (rx.size() > 512) rx.erase(rx.begin(), rx.end() - 256);
            const size_t len = request_length(rx.data(), rx.size());
            // A request is taken as soon as it is complete and sound; anything
            // else waits for the silence that ends a frame on a real line.
            if (len && rx.size() == len && crc16_check(rx.data(), rx.size())) {
                std::vector<uint8_t> frame;
                frame.swap(rx);
                handle(frame, first);
            }
            continue;
        }
        // Silence ends a frame: 3.5 character times on a real line. A pty has
        // no wire, and a master descheduled between two writes of one frame
        // must not lose it, so a request still short of the length its header
        // announces gets a much longer grace; anything else ends after 3 ms.
        const size_t want = request_length(rx.data(), rx.size());
        const long floor_us = want > rx.size() || (rx.size() < 2) ? 20000 : 3000;
        const auto gap = microseconds(std::max<long>(long(3.5 * char_time_us()), floor_us));
        if (!rx.empty() && now - last >= gap) {
            std::vector<uint8_t> frame;
            frame.swap(rx);
            handle(frame, first);
        }
    }
}

bool Simulator_t::master_mismatch(std::string* why) {
    if (!opt_.check_master_settings) return false;
    std::shared_ptr<Line_t> line;
    {
        std::lock_guard<std::mutex> g(mu_);
        line = line_;
    }
    uint32_t speed = 0;
    char parity = 'N';
    if (!line || !line->peer_settings(speed, parity)) return false;
    // A rate outside the standard ones cannot be read back; let it pass.
    if ((speed == 0 || speed == speed_.load()) && parity == opt_.parity) return false;
    if (why) *why = "master at " + std::to_string(speed) + " baud, parity " + parity;
    return true;
}

void Simulator_t::handle(const std::vector<uint8_t>& frame, time_point_t first_byte) {
    std::string why;
    if (master_mismatch(&why)) {
        // Bytes sent at another speed or parity arrive as garbage.
        why = "ignored: " + why;
        log_bytes("->", frame.data(), frame.size(), why.c_str());
        return;
    }
    if (opt_.line_timing) {
        // The request is on the wire until its last character has arrived;
        // an echo comes back character by character meanwhile.
        if (opt_.echo) send(frame, first_byte);
        std::this_thread::sleep_until(first_byte + microseconds(long(char_time_us() * double(frame.size()))));
    }
    // Before the faults are taken, so that a test may fault this very reply.
    if (opt_.on_request) opt_.on_request(frame);
    Outcome_t out;
    bool silent = false, late = false, corrupt = false, noise = false;
    unsigned late_ms = 0;
    {
        std::lock_guard<std::mutex> g(mu_);
        out = process_frame(stations_, frame.data(), frame.size(), clock_t_::now());
        if (!out.reply.empty()) {
            silent = take_fault(silent_);
            if (!silent) {
                late = take_fault(late_);
                corrupt = take_fault(corrupt_);
                noise = take_fault(noise_);
            }
        }
        late_ms = late_ms_;
    }
    if (out.station >= 0 || frame[0] == 0) requests_++;
    log_bytes("->", frame.data(), frame.size(), out.reply.empty() ? out.note : (silent ? "silent" : ""));

    Device_t* dev = out.station >= 0 ? stations_[size_t(out.station)].device : nullptr;
    auto switch_now = [&] {
        std::lock_guard<std::mutex> g(mu_);
        if (out.effects.address_changed && dev) dev->apply_address(out.effects.new_address);
        if (out.effects.speed_changed) {
            if (unsigned s = speed_of_code(out.effects.new_baud_code)) {
                speed_ = s;
                if (line_) line_->set_speed(s);
            }
        }
        out.effects.address_changed = out.effects.speed_changed = false;
    };
    if (opt_.switch_early) {
        const uint8_t was = dev ? dev->address() : 0;
        switch_now();
        if (dev && !out.reply.empty() && dev->address() != was) {
            // Having switched, the device answers from its new address.
            out.reply[0] = dev->address();
            out.reply.resize(out.reply.size() - 2);
            crc16_seal(out.reply);
        }
    }

    // Switched before replying: the master, still at the old speed, hears noise.
    const bool garbled = opt_.switch_early && master_mismatch(nullptr);
    if (garbled) noise = true;
    if (!out.reply.empty() && !silent) {
        if (late) std::this_thread::sleep_for(milliseconds(late_ms));
        if (opt_.turnaround_ms) std::this_thread::sleep_for(milliseconds(opt_.turnaround_ms));
        if (noise) {
            std::vector<uint8_t> junk(4 + noise_state_ % 12);
            for (auto& b : junk) {
                noise_state_ = mix64(noise_state_);
                b = uint8_t(noise_state_);
            }
            out.reply.swap(junk);
        } else if (corrupt) {
            out.reply.back() ^= 0xFF;
        }
        send(out.reply, clock_t_::now());
        replies_++;
        log_bytes("<-", out.reply.data(), out.reply.size(),
                  noise ? "noise" : corrupt ? "bad CRC" : late ? "late" : "");
    }
    switch_now();
    if (out.effects.save_requested) save_state();
    if (opt_.drop_after && requests_.load() >= opt_.drop_after && line_open()) drop_line();
}

void Simulator_t::send(const std::vector<uint8_t>& bytes, time_point_t t0) {
    std::shared_ptr<Line_t> line;
    {
        std::lock_guard<std::mutex> g(mu_);
        line = line_;
    }
    if (!line) return;
    if (!opt_.line_timing) {
        line->write(bytes.data(), bytes.size());
        return;
    }
    // One character time per byte: byte i has left the wire at start + (i + 1)
    // character times. Deadlines are absolute, and every byte already due goes
    // out in one write, so sleep overshoot and write cost never add up (at
    // 115200 baud a character lasts 87 us, about what a wake-up costs).
    const double ct = char_time_us();
    size_t sent = 0;
    while (sent < bytes.size()) {
        const double elapsed = std::chrono::duration<double, std::micro>(clock_t_::now() - t0).count();
        const size_t due = std::min(bytes.size(), size_t(elapsed / ct));
        if (due > sent) {
            if (!line->write(&bytes[sent], due - sent)) return;
            sent = due;
        } else {
            std::this_thread::sleep_until(t0 + microseconds(long(ct * double(sent + 1))));
        }
    }
}

void Simulator_t::save_state() {
    if (opt_.state_file.empty()) return;
    std::ostringstream s;
    s << "# luma10-sim: settings saved by the save command; device index, register, value\n";
    {
        std::lock_guard<std::mutex> g(mu_);
        for (size_t i = 0; i < devices_.size(); ++i)
            for (const auto& [r, v] : devices_[i]->saved_settings()) s << "device " << i << ' ' << r << ' ' << v << '\n';
    }
    // The configurator's crash-safe writer: a crash never leaves half a file,
    // and nothing is written through a link planted beside the file.
    if (WriteFileSafely(opt_.state_file, s.str()) == 0)
        opt_.log("не удалось записать файл состояния " + opt_.state_file);
}

void Simulator_t::load_state() {
    if (opt_.state_file.empty()) return;
    std::string bytes;
    switch (ReadFileSafely(opt_.state_file, bytes, kStateFileMaxBytes)) {
    case plat::ReadResult::read: break;
    case plat::ReadResult::absent: return;
    case plat::ReadResult::not_regular: opt_.log("файл состояния " + opt_.state_file + " не обычный файл"); return;
    case plat::ReadResult::too_large: opt_.log("файл состояния " + opt_.state_file + " слишком велик"); return;
    case plat::ReadResult::failed:
        opt_.log("не удалось прочитать файл состояния " + opt_.state_file + ": " +
                 plat::error_text(plat::last_error()));
        return;
    }
    std::istringstream f(bytes);
    std::vector<std::vector<std::pair<uint16_t, uint16_t>>> per(devices_.size());
    std::string line;
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::string word;
        size_t index;
        unsigned r, v;
        if (!(in >> word) || word != "device") continue;
        if (!(in >> index >> r >> v) || index >= per.size() || r > 65535 || v > 65535) continue;
        per[index].emplace_back(uint16_t(r), uint16_t(v));
    }
    std::lock_guard<std::mutex> g(mu_);
    for (size_t i = 0; i < devices_.size(); ++i) devices_[i]->load_settings(per[i]);
}

}  // namespace sim
