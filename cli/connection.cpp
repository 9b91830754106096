#include "cli/connection.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli/line_trace.h"
#include "link/modbus.h"

namespace cli {

error_value_t Connection::open(const Context& ctx) {
    error_value_t err;
    port_.set_device_path(ctx.device_path);
    port_.configure(ctx.settings.port_settings, err);
    if (err) return err;
    port_.open(err);
    if (err) return err;
    address_ = ctx.settings.block_id;
    master_.set_response_timeout(ctx.settings.timeout);
    master_.arm();
    return err;
}

error_value_t Connection::read_registers(uint16_t start, uint16_t count, uint16_t* out) {
    mb_request_t req;
    req.slave = address_;
    req.function = mb::kReadHoldingRegisters;
    req.start = start;
    req.quantity = count;
    error_value_t err;
    master_.execute(req, err);
    if (err) return err;
    for (uint16_t i = 0; i < count; ++i) out[i] = uint16_t(req.data[2 * i] << 8 | req.data[2 * i + 1]);
    return err;
}

error_value_t Connection::write_registers(uint16_t start, uint16_t count, const uint16_t* values) {
    mb_request_t req;
    req.slave = address_;
    req.function = mb::kWriteMultipleRegisters;
    req.start = start;
    req.quantity = count;
    req.data_length = uint16_t(2 * count);
    for (uint16_t i = 0; i < count && 2u * i + 1 < sizeof req.data; ++i) {
        req.data[2 * i] = uint8_t(values[i] >> 8);
        req.data[2 * i + 1] = uint8_t(values[i] & 0xFF);
    }
    error_value_t err;
    master_.execute(req, err);
    return err;
}

int report(const error_value_t& err, const ustring_t& detail) {
    FlushLineTrace();
    std::fprintf(stderr, "%s\n", text::utf8(err.describe()).c_str());
    if (!detail.empty()) std::fprintf(stderr, "%s\n", text::utf8(detail).c_str());
    return 1;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "luma10ctl: %s\n", message.c_str());
    return 2;
}

bool parse_number(const std::string& text, long min, long max, long& out) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || v < min || v > max) return false;
    out = v;
    return true;
}

}  // namespace cli
