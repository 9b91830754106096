// luma10ctl --trace: every exchange of the command on standard error, in the
// line monitor's words. The workers only copy into the monitor's ring; a
// thread of its own decodes and prints, so the trace never holds up the line.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "model/line_monitor.h"

namespace cli {

// Prints what the trace has not printed yet, so that a message that follows
// comes after the exchanges it is about. Does nothing without --trace.
void FlushLineTrace();

class LineTrace {
public:
    // Becomes the watcher of every port and master made from now on.
    LineTrace();
    // Prints what is still waiting and stops watching.
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    // Decodes and prints what has come in (any thread; one at a time).
    void print();

private:
    void run();

    line_monitor_t monitor_;
    std::mutex print_lock_;  // drain() has one consumer at a time
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace cli
