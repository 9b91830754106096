// The Modbus reply parser on arbitrary bytes. A valid CRC is appended to the
// input, so the fuzzer reaches the frames behind the checksum; the bytes are
// then offered as the receiver offers them, one more at a time, until the
// parser calls the reply complete.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/crc16.h"
#include "link/errors.h"
#include "link/mb_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > mb_driver_t::kReplyBufferSize - 2) return 0;
    std::vector<uint8_t> buf(data, data + size);
    buf.resize(size + 2);
    crc16_append(buf.data(), size);

    for (size_t received = 1; received <= buf.size(); ++received) {
        // Exactly the bytes received so far, so a read beyond them is caught.
        std::vector<uint8_t> part(buf.begin(), buf.begin() + received);
        mb_request_t reply;
        error_value_t err;
        if (!mb::parse_reply(part.data(), received, reply, err)) continue;
        const uint8_t f = part[1];
        if (f > 0x80) {
            // An exception reply ends the exchange and is never a success.
            if (!err || reply.function != f || reply.slave != part[0]) std::abort();
        } else if (!err) {
            // A good reply was complete with a matching checksum, and a read
            // reply carries exactly the data its byte count announced.
            if (reply.slave != part[0] || reply.function != f) std::abort();
            const size_t n = (f >= 1 && f <= 4) ? 3u + part[2] : 6u;
            if (received < n + 2 || !crc16_check(part.data(), n + 2)) std::abort();
            if (f >= 1 && f <= 4 &&
                (reply.data_length != part[2] || std::memcmp(reply.data, part.data() + 3, part[2]) != 0))
                std::abort();
        } else if (err.category != &drv_category()) {
            std::abort();
        }
        break;
    }
    return 0;
}
