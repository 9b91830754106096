// A private X server for the tests that need a real display: Xvfb on a free
// display number, ended with the test.
#pragma once

#include <string>
#include <sys/types.h>

namespace testx {

class Xvfb {
public:
    // Starts Xvfb and waits until it accepts clients. Ok() is false when Xvfb
    // is not installed or did not come up; Why() says which.
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool Ok() const { return pid_ > 0 && !display_.empty(); }
    const std::string& Why() const { return why_; }
    const std::string& Display() const { return display_; }  // ":N"
    pid_t Pid() const { return pid_; }
    // Kills the server at once, as a dropped session would; waits for it.
    void Kill();
    // Starts the named window manager on this display and waits until it
    // has taken the display (the root names its check window). It is
    // stopped before the server. False, with Why(), when it did not come up.
    bool StartWindowManager(const char* name = "openbox");

private:
    bool Start(int display);
    void StopWindowManager();
    pid_t pid_ = -1, wm_pid_ = -1;
    std::string display_, why_;
};

// True when an executable of this name is on PATH.
bool OnPath(const char* name);

}  // namespace testx
