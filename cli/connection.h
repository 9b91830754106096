// The device connection shared by luma10ctl's commands: one port, its socket
// and the Modbus master, opened from a Context.
#pragma once

#include <cstdint>
#include <string>

#include "cli/command.h"
#include "foundation/error.h"
#include "link/com_port.h"
#include "link/mb_driver.h"

namespace cli {

class Connection {
public:
    Connection() { master_.set_socket(&socket_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Configures and opens the port from ctx (its COM number or device path),
    // sets the master's response timeout and arms it.
    error_value_t open(const Context& ctx);

    com_port_t& port() { return port_; }
    // After a failed open: "<device path>: <reason>".
    ustring_t open_failure_reason() const { return port_.open_failure_reason(); }
    mb_driver_t& master() { return master_; }
    uint8_t address() const { return address_; }

    // Function 3: count registers from start into out (host order).
    error_value_t read_registers(uint16_t start, uint16_t count, uint16_t* out);
    // Function 16: count registers from values (host order) at start.
    error_value_t write_registers(uint16_t start, uint16_t count, const uint16_t* values);

private:
    com_port_t port_;
    com_port_socket_t socket_{&port_};
    mb_driver_t master_;
    uint8_t address_ = 1;
};

// Prints "<category name>: <message>" on stderr, and detail on a line of its
// own when there is one; returns exit code 1.
int report(const error_value_t& err, const ustring_t& detail = ustring_t());
// Prints a line on stderr; returns exit code 2.
int usage_error(const std::string& message);

// Unsigned decimal in [min, max]; false for anything else.
bool parse_number(const std::string& text, long min, long max, long& out);

}  // namespace cli
