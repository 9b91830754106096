// The Modbus master through a scripted socket: the input chooses one request
// and then what the line delivers, read by read. The exchange must end (the
// script's end closes the line), and a success must be a reply that truly
// answers the request.
//
// Input: function selector, quantity, slave, flags, then chunks of
// [length][bytes]; each chunk is what one read returns (length 0: a quiet
// read). Flag bit 0 appends the CRC of everything delivered as a last chunk;
// bit 1 makes the request's write fail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/crc16.h"
#include "link/errors.h"
#include "link/mb_driver.h"

namespace {

class ScriptedSocket final : public data_socket_t {
public:
    std::vector<std::vector<uint8_t>> chunks;
    std::vector<uint8_t> delivered, written;
    bool fail_write = false;
    size_t next = 0;

    uint32_t write(const uint8_t* data, uint32_t count, error_value_t& err) override {
        if (fail_write) {
            err = comport_error(kComWriteFailed);
            return 0;
        }
        written.assign(data, data + count);
        return count;
    }
    uint32_t read(uint8_t* buffer, uint32_t capacity, error_value_t& err) override {
        if (capacity == 0 || next >= chunks.size()) {
            // The line is gone once the script has run out.
            err = comport_error(kComReadFailed);
            return 0;
        }
        std::vector<uint8_t>& c = chunks[next];
        const uint32_t n = c.size() < capacity ? uint32_t(c.size()) : capacity;
        if (n > 0) std::memcpy(buffer, c.data(), n);
        delivered.insert(delivered.end(), c.begin(), c.begin() + n);
        if (n == c.size()) ++next;
        else c.erase(c.begin(), c.begin() + n);
        return n;
    }
};

constexpr uint8_t kFunctions[] = {3, 16, 4, 6, 1, 2, 5, 15};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    mb_request_t req;
    req.function = kFunctions[data[0] % sizeof kFunctions];
    req.quantity = data[1];
    req.slave = data[2];
    req.start = 1000;
    const uint8_t flags = data[3];
    if (req.function == 15 || req.function == 16) {
        req.data_length = req.function == 16 ? uint16_t(2 * req.quantity) : uint16_t((req.quantity + 7) / 8);
        if (req.data_length > 255) req.data_length = 255;
        for (uint16_t i = 0; i < req.data_length; ++i) req.data[i] = uint8_t(i * 7);
    }
    const mb_request_t sent = req;

    ScriptedSocket socket;
    socket.fail_write = flags & 2;
    std::vector<uint8_t> all;
    for (size_t i = 4; i < size;) {
        const size_t len = data[i++];
        const size_t n = len < size - i ? len : size - i;
        socket.chunks.emplace_back(data + i, data + i + n);
        all.insert(all.end(), data + i, data + i + n);
        i += n;
    }
    if (flags & 1) {
        std::vector<uint8_t> crc(2);
        const uint16_t c = crc16_modbus(all.data(), all.size());
        crc[0] = uint8_t(c & 0xFF);
        crc[1] = uint8_t(c >> 8);
        socket.chunks.push_back(crc);
    }

    mb_driver_t master;
    master.set_socket(&socket);
    master.set_response_timeout(60000);
    master.arm();
    error_value_t err;
    master.execute(req, err);

    // Nothing ever goes to the broadcast address.
    if (sent.slave == 0 && !socket.written.empty()) std::abort();
    if (err) {
        // A failed exchange leaves the request as it was.
        if (std::memcmp(&req, &sent, sizeof req) != 0) std::abort();
        return 0;
    }
    // Success: the request went out whole, and a reply of that slave to that
    // function with a good checksum came back (for a read, with the data of
    // the quantity asked for).
    const std::vector<uint8_t>& in = socket.delivered;
    if (socket.written.size() < 8 || socket.written[0] != sent.slave || socket.written[1] != sent.function)
        std::abort();
    if (in.size() < 5 || in[0] != sent.slave || in[1] != sent.function) std::abort();
    if (req.slave != sent.slave || req.function != sent.function || req.start != sent.start) std::abort();
    const size_t n = sent.function <= 4 ? 3u + in[2] : 6u;
    if (in.size() < n + 2 || !crc16_check(in.data(), n + 2)) std::abort();
    if (sent.function == 3 && req.data_length != 2u * sent.quantity) std::abort();
    if (sent.function <= 4 && std::memcmp(req.data, in.data() + 3, req.data_length) != 0) std::abort();
    // A write is confirmed only by its own echo: the frame's start and quantity or value.
    if (sent.function > 4 && std::memcmp(in.data() + 2, socket.written.data() + 2, 4) != 0) std::abort();
    return 0;
}
