#include "sim/protocol.h"

#include "link/crc16.h"
#include "link/modbus.h"

namespace sim {

namespace {

uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

void push16(std::vector<uint8_t>& v, uint16_t w) {
    v.push_back(uint8_t(w >> 8));
    v.push_back(uint8_t(w & 0xFF));
}

}  // namespace

size_t request_length(const uint8_t* buf, size_t n) {
    if (n < 2) return 0;
    switch (buf[1]) {
    case mb::kReadHoldingRegisters: return mb::kFixedFrameSize;
    case mb::kWriteMultipleRegisters:
        return n < mb::kWriteHeaderSize ? 0 : mb::kWriteHeaderSize + buf[6] + mb::kCrcSize;
    default: return 0;
    }
}

std::vector<uint8_t> exception_reply(uint8_t address, uint8_t function, uint8_t code) {
    std::vector<uint8_t> v{address, uint8_t(function | mb::kExceptionBit), code};
    crc16_seal(v);
    return v;
}

Outcome_t process_frame(std::vector<Station_t>& stations, const uint8_t* f, size_t n, time_point_t now) {
    Outcome_t out;
    if (n < 4 || !crc16_check(f, n)) {
        out.note = "ignored: bad CRC or too short";
        return out;
    }
    const uint8_t address = f[0], function = f[1];
    const bool broadcast = address == 0;
    if (!broadcast) {
        for (size_t i = 0; i < stations.size(); ++i)
            if (stations[i].address() == address) out.station = int(i);
        if (out.station < 0) {
            out.note = "ignored: other address";
            return out;
        }
    }
    const size_t expected = request_length(f, n);
    if (function != mb::kReadHoldingRegisters && function != mb::kWriteMultipleRegisters) {
        if (!broadcast) out.reply = exception_reply(address, function, kExIllegalFunction);
        return out;
    }
    if (expected != n) {
        // A multiple write whose length does not match its byte count, or a
        // read frame of the wrong size: not a frame this device takes.
        out.note = "ignored: malformed";
        return out;
    }
    if (!broadcast && stations[size_t(out.station)].device == nullptr) {
        out.reply = exception_reply(address, function, kExIllegalAddress);
        return out;
    }
    const uint16_t start = be16(f + 2), count = be16(f + 4);

    if (function == mb::kReadHoldingRegisters) {
        if (broadcast) {
            out.note = "ignored: broadcast read";
            return out;
        }
        if (count < 1 || count > mb::kMaxReadRegisters) {
            out.reply = exception_reply(address, function, kExIllegalValue);
            return out;
        }
        uint16_t words[mb::kMaxReadRegisters];
        Device_t& d = *stations[size_t(out.station)].device;
        if (exception_t e = d.read(start, count, words, now); e != kExOk) {
            out.reply = exception_reply(address, function, e);
            return out;
        }
        out.reply = {address, mb::kReadHoldingRegisters, uint8_t(count * 2)};
        for (uint16_t i = 0; i < count; ++i) push16(out.reply, words[i]);
        crc16_seal(out.reply);
        return out;
    }

    // A multiple write.
    const uint8_t bytes = f[6];
    if (count < 1 || count > mb::kMaxWriteRegisters || bytes != count * 2) {
        if (!broadcast) out.reply = exception_reply(address, function, kExIllegalValue);
        return out;
    }
    uint16_t words[mb::kMaxWriteRegisters];
    for (uint16_t i = 0; i < count; ++i) words[i] = be16(f + mb::kWriteHeaderSize + 2 * i);
    if (broadcast) {
        out.note = "broadcast: no reply";
        for (Station_t& s : stations)
            if (s.device) {
                WriteEffects_t fx;
                if (s.device->write(start, words, count, now, fx) == kExOk) {
                    // No reply follows a broadcast, so a new address takes
                    // effect at once (every detector then shares it).
                    out.effects.speed_changed |= fx.speed_changed;
                    if (fx.speed_changed) out.effects.new_baud_code = fx.new_baud_code;
                    out.effects.save_requested |= fx.save_requested;
                    if (fx.address_changed) s.device->apply_address(fx.new_address);
                }
            }
        return out;
    }
    Device_t& d = *stations[size_t(out.station)].device;
    if (exception_t e = d.write(start, words, count, now, out.effects); e != kExOk) {
        out.reply = exception_reply(address, function, e);
        return out;
    }
    if (out.effects.unanswered) {
        out.note = "dropped: save fault";
        return out;
    }
    out.reply = {address, mb::kWriteMultipleRegisters};
    push16(out.reply, start);
    push16(out.reply, count);
    crc16_seal(out.reply);
    return out;
}

}  // namespace sim
