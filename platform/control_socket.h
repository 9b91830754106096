// A local control channel for a running program: a unix-domain stream socket
// at a path, taking one text command per line and answering each with text.
// Used by the detector simulator; any tool can talk to it (socat, nc -U).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace plat {

class ControlServer_t {
public:
    using handler_t = std::function<std::string(const std::string&)>;
    ControlServer_t() = default;
    ~ControlServer_t();
    ControlServer_t(const ControlServer_t&) = delete;
    ControlServer_t& operator=(const ControlServer_t&) = delete;

    // Replaces a stale socket at path (one nobody listens on); refuses
    // anything else under that name. The socket is for its owner alone. The
    // handler runs on the server's own thread, one command at a time. False
    // (with a message) on failure.
    bool start(const std::string& path, handler_t handler, std::string* error);
    // Stops serving and removes the socket file.
    void stop();

private:
    void serve();
    int fd_ = -1;
    std::string path_;
    handler_t handler_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

// Sends one command line and collects the whole answer.
bool control_request(const std::string& path, const std::string& line, std::string& answer, std::string* error);

}  // namespace plat
