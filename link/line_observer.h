// A watcher of the line: the master and the serial port hand it the raw facts
// of every exchange while one is set. Nobody watching costs one pointer test
// per exchange; nothing is formatted or allocated for it.
//
// Threads: the calls come on the thread running the exchange (a worker),
// inside the master's exchange lock, so they arrive in line order. An
// observer must not block: copy the facts and format them elsewhere.
#pragma once

#include <cstdint>

#include "foundation/error.h"

// Who sent a request: the poll cycle, a journal download, or anything else
// (a window's task, a command of the console tool). Set per thread by the
// code that runs the requests; read only while an observer is set.
enum class line_source_t : uint8_t { task = 0, poll = 1, download = 2 };

line_source_t current_line_source();

// Marks the requests of this thread as coming from source for its lifetime.
class line_source_scope_t {
public:
    explicit line_source_scope_t(line_source_t source);
    ~line_source_scope_t();
    line_source_scope_t(const line_source_scope_t&) = delete;
    line_source_scope_t& operator=(const line_source_scope_t&) = delete;

private:
    line_source_t saved_;
};

// One exchange as the master saw it. The byte pointers are valid only during
// the call.
struct line_exchange_t {
    int64_t start_us = 0;           // steady clock, when the request went out
    uint32_t round_trip_us = 0;     // until the reply was complete or the exchange ended
    line_source_t source = line_source_t::task;
    const uint8_t* request = nullptr;  // the frame sent, CRC included (empty: nothing was sent)
    uint32_t request_len = 0;
    const uint8_t* reply = nullptr;    // every byte read after the request
    uint32_t reply_len = 0;
    error_value_t outcome;
};

// Things seen on the line outside the master's reply buffer.
enum class line_event_kind_t : uint8_t {
    stale = 0,  // bytes waiting before a request and dropped (a late reply or noise)
    echo = 1,   // what a two-wire adapter read back of the request
};

class line_observer_t {
public:
    virtual ~line_observer_t() = default;
    virtual void on_exchange(const line_exchange_t& x) = 0;
    virtual void on_line_event(line_event_kind_t kind, int64_t at_us, const uint8_t* bytes, uint32_t len) = 0;
};

// The watcher every master and serial port starts with when made (null:
// none), for a tool that traces all its traffic (luma10ctl --trace). Set it
// before the links are made and keep the watcher alive until they are gone.
void set_default_line_observer(line_observer_t* observer);
line_observer_t* default_line_observer();

// The steady clock in microseconds, the time base of the facts above.
int64_t line_clock_us();
