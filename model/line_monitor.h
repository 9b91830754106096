// The line monitor: what went out on the line, what came back, how long it
// took and why an exchange failed, as lines of text for the engineer.
//
// line_monitor_t is the watcher the device link reports to (link/line_observer.h).
// On the worker it only copies the raw facts into a ring of fixed size,
// under a lock held for the copy alone; a full ring drops its oldest record
// and counts it. The consumer (the window thread's refresh, or the console
// tool's trace thread) calls drain(), which decodes the records into lines:
// time of day with milliseconds, who sent the request, the bytes in hex,
// their meaning (address, function, register range, this detector's
// parameters with their values, exception texts), the round trip and the
// outcome in the words the user sees elsewhere. Only the last line_limit
// lines are kept, so memory stays flat however long the line is watched.
//
// Threads: on_exchange / on_line_event from any worker; everything else from
// one consumer thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/line_observer.h"

// Kinds of failure the statistics count.
enum class line_failure_t : uint8_t {
    timeout = 0,   // nothing (complete) came back in time
    crc,           // the reply's checksum was wrong
    exception,     // the device refused with an exception
    mismatch,      // a reply to something else (another address, a late reply)
    port,          // the serial port failed (write, echo, read)
    cancelled,     // the port was closed under the exchange
    other,
    count_
};

struct line_stats_t {
    uint64_t exchanges = 0;
    uint64_t failures[size_t(line_failure_t::count_)] = {};
    uint64_t noise = 0;    // exchanges whose reply bytes held garbage
    uint64_t late = 0;     // late replies seen (dropped before a request or taken for another)
    uint64_t stale = 0;    // stale input dropped before a request (late replies included)
    uint64_t echoes = 0;   // echo read-backs
    uint64_t lost = 0;     // records the ring dropped before they were decoded
    uint64_t round_trip_sum_us = 0;
    uint32_t worst_round_trip_us = 0;

    uint64_t failed() const;
    uint32_t mean_round_trip_us() const { return exchanges ? uint32_t(round_trip_sum_us / exchanges) : 0; }
};

// One raw record as copied on the worker.
struct line_record_t {
    static constexpr uint32_t kRequestMax = 264;
    static constexpr uint32_t kReplyMax = 528;
    enum class kind_t : uint8_t { exchange, stale, echo } kind = kind_t::exchange;
    line_source_t source = line_source_t::task;
    int64_t at_us = 0;
    uint32_t round_trip_us = 0;
    error_value_t outcome;
    uint16_t request_len = 0;
    uint16_t reply_len = 0;
    uint8_t request[kRequestMax];
    uint8_t reply[kReplyMax];
};

class line_monitor_t final : public line_observer_t {
public:
    static constexpr size_t kRingRecords = 256;
    static constexpr size_t kLineLimit = 3000;

    explicit line_monitor_t(size_t ring_records = kRingRecords, size_t line_limit = kLineLimit);
    ~line_monitor_t() override;
    line_monitor_t(const line_monitor_t&) = delete;
    line_monitor_t& operator=(const line_monitor_t&) = delete;

    // Worker side: a copy into the ring, nothing else.
    void on_exchange(const line_exchange_t& x) override;
    void on_line_event(line_event_kind_t kind, int64_t at_us, const uint8_t* bytes, uint32_t len) override;

    // Consumer side. Decodes every record waiting into lines (appended to
    // fresh when given) and counts them in the statistics; returns the number
    // of new lines.
    size_t drain(std::vector<std::string>* fresh = nullptr);
    // The kept lines, oldest first (UTF-8).
    const std::deque<std::string>& lines() const { return lines_; }
    // All kept lines, each ended by a line feed.
    std::string text() const;
    const line_stats_t& stats() const { return stats_; }
    // The statistics in one line, for the pane's header.
    std::string stats_text() const;
    void reset_stats() { stats_ = line_stats_t{}; }
    // Takes the time of day afresh for the clock base (a long watch or a
    // change of the system's clock would otherwise drift).
    void rebase_clock();
    void clear_lines() { lines_.clear(); }
    // Records waiting in the ring.
    size_t pending() const;

    // Decodes one record into lines (for tests and for the simulator's trace).
    static void decode(const line_record_t& r, int64_t clock_base_us, int32_t day_ms_base,
                       std::vector<std::string>& out);

private:
    // The slot for the next record (lock held); the caller fills it and
    // counts it in size_.
    line_record_t& next_slot();
    void count(const line_record_t& r);

    mutable std::mutex lock_;
    std::unique_ptr<line_record_t[]> ring_;
    size_t capacity_;
    size_t head_ = 0;   // next record to decode
    size_t size_ = 0;   // records waiting
    uint64_t lost_ = 0; // dropped since the last drain

    // Consumer side only.
    std::unique_ptr<line_record_t> scratch_;
    std::deque<std::string> lines_;
    size_t line_limit_;
    line_stats_t stats_;
    // The clock base: the steady clock and the local time of day (ms since
    // midnight) at the same moment, taken at construction and rebase_clock.
    int64_t clock_base_us_;
    int32_t day_ms_base_;
};

// One direction of a frame as the simulator saw it: the request it received
// (from_master true) or the reply it sent, decoded into one line without a
// time stamp.
std::string describe_frame(const uint8_t* bytes, size_t len, bool from_master);
