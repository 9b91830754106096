// The serial port the configurator talks to the detector through: line
// settings, open/close/configure, frame writes with the optional echo
// read-back of two-wire RS-485 adapters, and reads with short time-outs.
//
// Threads: open, close and configure come from the window thread, write and
// read from the workers through the Modbus master. Every operation that
// touches the line takes the port's recursive lock; the before-send delay
// sleeps outside it. The open state is kept in an atomic as well, changed
// only under the lock, so that asking whether the port is open never waits
// for a read in progress; the settings have a small lock of their own, never
// held across the line.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <functional>
#include <string>

#include "foundation/connection_settings.h"
#include "foundation/error.h"
#include "foundation/lock.h"
#include "link/data_socket.h"
#include "link/line_observer.h"
#include "platform/serial.h"

class com_port_t {
public:
    com_port_t() = default;
    ~com_port_t();
    com_port_t(const com_port_t&) = delete;
    com_port_t& operator=(const com_port_t&) = delete;

    // Never waits: reads the atomic open state.
    bool is_open() const { return open_.load(std::memory_order_acquire); }
    // Opens the port with the stored settings unless it is open already.
    // Failure: "Ошибка открытия порта"; the port stays closed, and
    // open_failure_reason() says why.
    void open(error_value_t& err);
    // Closes the port if open. The port is closed afterwards in any case; a
    // failure the system reported on the way is "Ошибка закрытия порта".
    error_value_t close();

    // Whether the device failed under an open port (a read or write the
    // system refused: an adapter pulled out, the far end of a pty gone) since
    // it was last opened. The port stays open until closed.
    bool failed() const { return failed_.load(std::memory_order_acquire); }
    // For an open port whose device failed: closes the line and opens the
    // device again, looking up the device behind the COM number afresh, so
    // that an adapter plugged back in is found whatever the system now calls
    // it. The port stays open either way; when the device cannot be opened
    // (err "Ошибка открытия порта") it stays failed, and the next try may
    // succeed. A port that is closed, or open and not failed, is left alone.
    void reopen(error_value_t& err);
    // The line under "Ошибка открытия порта" for the last failed open:
    // "<device path>: <reason>". Empty after a successful open.
    ustring_t open_failure_reason() const;
    // Checks and stores new settings (speed 600..256000, parity 0..4, stop
    // bits 0..2, else "Неверные данные" and nothing changes); an open port is
    // reopened with them, and stays closed if that fails.
    void configure(const com_port_settings_t& settings, error_value_t& err);
    com_port_settings_t settings() const;

    // Sends count bytes after the before-send delay. Input still pending from
    // earlier traffic (a late reply) is discarded first, so that what is read
    // next belongs to this frame. With permanent_echo the echo is read back and
    // compared. Returns the number of bytes the line took, also when the echo
    // check fails.
    uint32_t write(const uint8_t* data, uint32_t count, error_value_t& err);
    // Reads what has arrived, up to capacity; 0 after about 10 ms of silence.
    uint32_t read(uint8_t* buffer, uint32_t capacity, error_value_t& err);

    // Opens this device path instead of the device behind the COM number.
    // Kept apart from the settings (they hold only the number); empty restores
    // the COM number. Takes effect at the next open.
    void set_device_path(const std::string& path);
    std::string device_path() const;
    // The path the next open uses: the override, or the device of COM <port>.
    std::string target_path() const;
    // How the last open attempt ended, for callers that want to tell a missing
    // device from one held by another program.
    plat::SerialOpen last_open_result() const;

    // Calls fn(n, device path) for each present port, whatever its number, in
    // increasing order, including ports another program holds.
    static void enumerate_ports(const std::function<void(unsigned n, const std::string& path)>& fn);

    // The watcher told of stale input dropped before a frame and of the echo
    // read back (null: none; then nothing is read for it). Any thread.
    void set_observer(line_observer_t* o) { observer_.store(o, std::memory_order_release); }
    // Most bytes of stale input or echo a watcher is shown per frame.
    static constexpr uint32_t kEchoKeep = 264;

private:
    void open_locked(error_value_t& err);
    void report_stale(line_observer_t& observer);
    int32_t read_echo(const uint8_t* sent, uint32_t count, const com_port_settings_t& s, uint8_t* kept,
                      uint32_t& kept_len);
    void set_open(bool open);

    // Guards settings_ and device_path_ only; taken after lock_ where both are held.
    mutable std::mutex settings_lock_;
    com_port_settings_t settings_;
    std::string device_path_;
    mutable RecursiveLock_t lock_;
    plat::Serial_t line_;
    std::atomic<bool> open_{false};
    std::atomic<bool> failed_{false};
    std::atomic<line_observer_t*> observer_{default_line_observer()};
    plat::SerialOpen last_open_ = plat::SerialOpen::ok;
    std::string last_open_path_;
};

// Wire time of count characters in milliseconds, rounded up: per character a
// start bit, 8 data bits, a parity bit when parity is on, and the stop bits
// (1.5 counts as 2, which is what the line sends).
uint32_t line_wire_time_ms(uint32_t count, const com_port_settings_t& s);

// data_socket_t over a port it points to but does not own.
class com_port_socket_t final : public data_socket_t {
public:
    explicit com_port_socket_t(com_port_t* port) : port_(port) {}
    uint32_t write(const uint8_t* data, uint32_t count, error_value_t& err) override {
        return port_->write(data, count, err);
    }
    uint32_t read(uint8_t* buffer, uint32_t capacity, error_value_t& err) override {
        return port_->read(buffer, capacity, err);
    }
    uint32_t wire_time_ms(uint32_t count) const override { return line_wire_time_ms(count, port_->settings()); }

private:
    com_port_t* port_;
};
