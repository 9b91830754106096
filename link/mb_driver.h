// Modbus RTU master: one request record in, one frame out through a byte
// socket, one validated reply (or an error value) back in the same record.
// Functions 1-6, 15 and 16. No retries, no polling, no allocation per exchange.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/error.h"
#include "foundation/lock.h"
#include "link/data_socket.h"
#include "link/line_observer.h"
#include "link/modbus.h"

// Request in, reply out.
struct mb_request_t {
    uint8_t slave = 0;           // slave address
    uint8_t function = 0;        // function code
    uint16_t start = 0;          // starting register or coil address, as on the wire
    uint16_t quantity = 0;       // registers (1-4, 16) or coils (15)
    uint16_t data_length = 0;    // valid bytes in data
    // Functions 5 and 6: the value to write, low byte first. Functions 15 and
    // 16: the bytes to send, in wire order. After a read: the reply's data
    // bytes in wire order (each register high byte first).
    uint8_t data[256] = {};
};

class mb_driver_t {
public:
    static constexpr uint16_t kDefaultTimeoutMs = 1000;
    // Largest reply the receiver collects: room for two of the longest
    // frames (2 x 264 = 528 bytes). The receiver gives up once the buffer is
    // full, so this bounds what the line may deliver (noise, a late reply
    // ahead of the awaited one) before the exchange ends.
    static constexpr uint32_t kReplyBufferSize = 2 * mb::kMaxFrameSize;

    mb_driver_t() = default;
    mb_driver_t(const mb_driver_t&) = delete;
    mb_driver_t& operator=(const mb_driver_t&) = delete;

    // The socket to talk through; not owned. Set it before the first exchange.
    void set_socket(data_socket_t* socket) { socket_ = socket; }
    data_socket_t* socket() const { return socket_; }

    // One exchange. On success req holds the reply's slave address, function
    // code, data length and data, the request's starting address, quantity 0.
    // On any error req is left unchanged. A request to address 0 (the
    // broadcast) is refused and never sent. A write is confirmed only by a
    // reply echoing its start and quantity (value for 5 and 6). The reply is
    // awaited for the response time-out plus the wire time of the request and
    // of the expected reply at the line's speed.
    void execute(mb_request_t& req, error_value_t& err);

    // The exchange lock, for a caller that runs several exchanges in a row
    // without others in between. Recursive: execute works inside.
    void lock() { lock_.enter(); }
    void unlock() { lock_.leave(); }

    // arm: clears a pending cancel unless armed already, and marks armed.
    // disarm: cancels and clears armed. cancel: makes the exchange waiting for
    // a reply (or the next one to wait) end with "Операция прервана" within
    // one socket read time-out. Any thread.
    void arm();
    void disarm();
    void cancel() { cancel_.store(true, std::memory_order_release); }
    bool armed() const { return armed_.load(std::memory_order_acquire); }

    void set_response_timeout(uint16_t ms) { timeout_ms_.store(ms, std::memory_order_relaxed); }
    uint16_t response_timeout() const { return timeout_ms_.load(std::memory_order_relaxed); }

    // The watcher of every exchange (null: none). Any thread; an exchange
    // under way reports to the observer it started with, so the caller keeps
    // an observer alive until the exchanges that may have seen it have ended
    // (taking the exchange lock once is enough).
    void set_observer(line_observer_t* o) { observer_.store(o, std::memory_order_release); }

private:
    // Sends the frame and collects the reply into buf (received bytes).
    void transact(mb_request_t& req, const uint8_t* frame, size_t len, uint8_t* buf, uint32_t& received,
                  error_value_t& err);
    void receive(mb_request_t& reply, uint64_t timeout_ms, uint8_t* buf, uint32_t& received, error_value_t& err);

    // Auto-reset cancel signal: the receive loop tests and clears it.
    std::atomic<bool> cancel_{false};
    data_socket_t* socket_ = nullptr;
    std::atomic<uint16_t> timeout_ms_{kDefaultTimeoutMs};
    std::atomic<bool> armed_{false};
    std::atomic<line_observer_t*> observer_{default_line_observer()};
    RecursiveLock_t lock_;
};

namespace mb {

// Builds the request frame of req into frame (room for kMaxFrameSize bytes) with its
// CRC; returns its length, or 0 with err set when the request cannot be sent
// (also for address 0).
size_t build_frame(const mb_request_t& req, uint8_t* frame, error_value_t& err);

// Parses the first `received` bytes of a reply. Returns false while the reply
// is incomplete; true when it is complete, with err holding the outcome and
// reply filled on success (and with address and function for an exception;
// for a write reply, the echoed start and quantity or value in start and
// quantity).
bool parse_reply(const uint8_t* buf, size_t received, mb_request_t& reply, error_value_t& err);

}  // namespace mb
