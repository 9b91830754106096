// luma10ctl --trace: every exchange of the command on standard error, in the
// line monitor's words. The workers only copy into the monitor's ring; a
// thread of its own decodes and prints, so the trace never holds up the line.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "model/line_monitor.h"

namespace cli {

class LineTrace {
public:
    // Becomes the watcher of every port and master made from now on.
    LineTrace();
    // Prints what is still waiting and stops watching.
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

private:
    void run();
    void print();

    line_monitor_t monitor_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace cli
