#include "link/mb_driver.h"

#include <chrono>
#include <cstring>

#include "link/crc16.h"
#include "link/errors.h"
#include "link/modbus.h"

namespace {

uint64_t tick_ms() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count());
}

bool is_exception_of(const mb_request_t& reply, const mb_request_t& req) {
    return reply.function == (req.function | mb::kExceptionBit);
}

bool is_write(uint8_t function) { return mb::is_single_write(function) || mb::is_multiple_write(function); }

// A write reply echoes the start and, for 15 and 16, the quantity; for 5 and
// 6 the value written (kept low byte first in the request).
bool echo_matches(const mb_request_t& reply, const mb_request_t& req) {
    const uint16_t second = mb::is_single_write(req.function) ? uint16_t(req.data[1] << 8 | req.data[0])
                                                              : req.quantity;
    return reply.start == req.start && reply.quantity == second;
}

// Bytes of the reply a request expects when the device accepts it.
uint32_t expected_reply_size(const mb_request_t& req) {
    constexpr uint32_t kEnvelope = mb::kReadReplyHeaderSize + mb::kCrcSize;
    if (mb::is_bit_read(req.function)) return kEnvelope + (uint32_t(req.quantity) + 7) / 8;
    if (mb::is_register_read(req.function)) return kEnvelope + 2u * req.quantity;
    return mb::kFixedFrameSize;
}

}  // namespace

namespace mb {

size_t build_frame(const mb_request_t& req, uint8_t* frame, error_value_t& err) {
    if (req.slave == 0) {
        err = drv_error(kDrvBadAddress);
        return 0;
    }
    frame[0] = req.slave;
    frame[1] = req.function;
    frame[2] = uint8_t(req.start >> 8);
    frame[3] = uint8_t(req.start & 0xFF);
    size_t len;
    switch (req.function) {
    case mb::kReadCoils: case mb::kReadDiscreteInputs: case mb::kReadHoldingRegisters: case mb::kReadInputRegisters:
        frame[4] = uint8_t(req.quantity >> 8);
        frame[5] = uint8_t(req.quantity & 0xFF);
        len = 6;
        break;
    case mb::kWriteSingleCoil: case mb::kWriteSingleRegister:
        // The record keeps the value low byte first; the wire wants it high first.
        frame[4] = req.data[1];
        frame[5] = req.data[0];
        len = 6;
        break;
    case mb::kWriteMultipleCoils: case mb::kWriteMultipleRegisters: {
        uint32_t count = req.function == mb::kWriteMultipleCoils ? (uint32_t(req.quantity) + 7) / 8 : 2u * req.quantity;
        // The byte count travels in one byte: a quantity whose data does not
        // fit it would go out with a count that contradicts the quantity.
        if (count > mb::kMaxDataBytes || req.data_length < count) {
            err = drv_error(kDrvBadRequestSize);
            return 0;
        }
        frame[4] = uint8_t(req.quantity >> 8);
        frame[5] = uint8_t(req.quantity & 0xFF);
        frame[6] = uint8_t(count);
        std::memcpy(frame + mb::kWriteHeaderSize, req.data, count);
        len = mb::kWriteHeaderSize + count;
        break;
    }
    default:
        err = drv_error(kDrvUnsupportedFunction);
        return 0;
    }
    return crc16_append(frame, len);
}

bool parse_reply(const uint8_t* buf, size_t received, mb_request_t& reply, error_value_t& err) {
    if (received < mb::kReadReplyHeaderSize) return false;
    uint8_t f = buf[1];
    size_t n;
    if (mb::is_bit_read(f) || mb::is_register_read(f)) {
        n = mb::kReadReplyHeaderSize + size_t(buf[2]);
    } else if (mb::is_single_write(f) || mb::is_multiple_write(f)) {
        n = mb::kFixedFrameSize - mb::kCrcSize;
    } else if (f > mb::kExceptionBit) {
        // Exception reply: address, function | 0x80, exception code, CRC. Its
        // checksum is not checked: devices in the field send it wrong. So one
        // corrupted byte can turn the code into 0, and that still refuses.
        if (received < mb::kExceptionFrameSize) return false;
        reply.slave = buf[0];
        reply.function = f;
        reply.data_length = 0;
        err = mb_exception(buf[2]);
        return true;
    } else {
        // A function code no reply carries: nothing tells where the frame
        // ends, so it never completes; the time-out or a cancel ends it.
        return false;
    }
    if (received < n + mb::kCrcSize) return false;
    if (!crc16_check(buf, n + mb::kCrcSize)) {
        err = drv_error(kDrvBadCrc);
        return true;
    }
    reply.slave = buf[0];
    reply.function = f;
    if (mb::is_bit_read(f) || mb::is_register_read(f)) {
        reply.data_length = buf[2];
        std::memcpy(reply.data, buf + mb::kReadReplyHeaderSize, buf[2]);
    } else {
        // The write's echo: start, then quantity (15, 16) or value (5, 6).
        reply.start = uint16_t(buf[2] << 8 | buf[3]);
        reply.quantity = uint16_t(buf[4] << 8 | buf[5]);
        reply.data_length = 0;
    }
    err = success();
    return true;
}

}  // namespace mb

void mb_driver_t::arm() {
    if (!armed_.load(std::memory_order_acquire)) {
        cancel_.store(false, std::memory_order_release);
        armed_.store(true, std::memory_order_release);
    }
}

void mb_driver_t::disarm() {
    cancel();
    armed_.store(false, std::memory_order_release);
}

void mb_driver_t::execute(mb_request_t& req, error_value_t& err) {
    if (mb::is_multiple_write(req.function) && req.data_length > mb::kMaxDataBytes) {
        err = drv_error(kDrvBadRequestSize);
        return;
    }
    err = success();
    ScopedLock_t guard(lock_);
    if (socket_ == nullptr) {
        err = app_error(app::kDriverLogicError);
        return;
    }
    uint8_t frame[mb::kMaxFrameSize];
    size_t len = mb::build_frame(req, frame, err);
    if (len == 0) return;
    // The only cost of the line monitor while nobody watches: this test.
    line_observer_t* const observer = observer_.load(std::memory_order_acquire);
    const int64_t t0 = observer ? line_clock_us() : 0;
    uint8_t buf[kReplyBufferSize];
    uint32_t received = 0;
    transact(req, frame, len, buf, received, err);
    if (observer) {
        line_exchange_t x;
        x.start_us = t0;
        x.round_trip_us = static_cast<uint32_t>(line_clock_us() - t0);
        x.source = current_line_source();
        x.request = frame;
        x.request_len = static_cast<uint32_t>(len);
        x.reply = buf;
        x.reply_len = received;
        x.outcome = err;
        observer->on_exchange(x);
    }
}

void mb_driver_t::transact(mb_request_t& req, const uint8_t* frame, size_t len, uint8_t* buf, uint32_t& received,
                           error_value_t& err) {
    socket_->write(frame, static_cast<uint32_t>(len), err);
    if (err) return;

    // The response time-out is the device's time to answer. On top come the
    // wire times of the request (the write may return once the bytes are
    // queued) and of the expected reply, which at a slow speed can exceed it.
    const uint64_t wire = socket_->wire_time_ms(static_cast<uint32_t>(len) + expected_reply_size(req));
    mb_request_t reply;
    receive(reply, timeout_ms_.load(std::memory_order_relaxed) + wire, buf, received, err);
    if (err.category == &mb_category()) {
        // An exception is ours only when it answers this request.
        if (reply.slave != req.slave || !is_exception_of(reply, req)) err = drv_error(kDrvReplyMismatch);
        return;
    }
    if (err) return;
    // A reply from another slave, to another function (a late read reply
    // must not complete a write), or with the wrong number of registers.
    if (reply.slave != req.slave || reply.function != req.function ||
        (req.function == mb::kReadHoldingRegisters && reply.data_length != 2u * req.quantity)) {
        err = drv_error(kDrvReplyMismatch);
        return;
    }
    // A write reply for other registers answers an earlier request (its reply
    // came late, after this request went out): it confirms nothing about this
    // write, which the device may or may not have executed.
    if (is_write(req.function) && !echo_matches(reply, req)) {
        err = drv_error(kDrvWriteEchoMismatch);
        return;
    }
    // The reply record (quantity 0) replaces the request; only the starting
    // address is kept, so callers know which registers the data belongs to.
    uint16_t start = req.start;
    req = reply;
    req.start = start;
    req.quantity = 0;
}

void mb_driver_t::receive(mb_request_t& reply, uint64_t timeout, uint8_t* buf, uint32_t& received,
                          error_value_t& err) {
    received = 0;
    const uint64_t start = tick_ms();
    for (;;) {
        if (cancel_.exchange(false, std::memory_order_acq_rel)) {
            err = drv_error(kDrvCancelled);
            return;
        }
        // Each read returns within the socket's short time-out, so the loop
        // turns every few milliseconds while the line is quiet. A full buffer
        // asks for zero bytes, which the socket refuses: that ends it too.
        uint32_t n = socket_->read(buf + received, kReplyBufferSize - received, err);
        if (err) return;
        if (n > 0) {
            received += n;
            if (mb::parse_reply(buf, received, reply, err)) return;
        }
        if (tick_ms() - start > timeout) {
            err = drv_error(kDrvTimeout);
            return;
        }
    }
}
