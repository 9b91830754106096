// The device link: the one object through which the program reaches the
// detector. It owns the serial port, its socket, the Modbus master, the two
// worker threads and the pending-write map, and keeps a parameter map up to
// date with a poll cycle on worker 1 while the port is open.
//
// Threads: open, close and apply run on the window thread (and on worker 1 for
// the device search); register operations block and run on the workers;
// is_open never waits for the line and may be asked on every refresh. The
// pending-write map is guarded by the link lock; every exchange is serialised
// by the master's exchange lock, which a journal download on worker 2 holds
// across a selector write and the block read that follows it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "foundation/connection_settings.h"
#include "foundation/error.h"
#include "foundation/lock.h"
#include "foundation/objectthread.h"
#include "link/com_port.h"
#include "link/mb_driver.h"
#include "model/params.h"

class mb_link_t {
public:
    // Builds the link over params (the application state's map by default),
    // adds the poll cycle to worker 1 and starts both workers.
    explicit mb_link_t(ParamMap_t& params);
    // Closes the port, stops worker 1 then worker 2.
    ~mb_link_t();

    // A poll cycle starts at most this often; one that took longer is
    // followed by the next at once.
    static constexpr int64_t kPollPeriodMs = 2000;
    mb_link_t(const mb_link_t&) = delete;
    mb_link_t& operator=(const mb_link_t&) = delete;

    // A failed register read writes its message to standard output (on by
    // default); console tools whose output is data turn it off, and so does
    // the configurator unless asked for it. Windows that write a diagnostic
    // line of their own ask read_diagnostics() first.
    static void set_read_diagnostics(bool on);
    static bool read_diagnostics();

    // Port operations; each returns its error value (success: code 0). text
    // (may be null) receives the message for the user on failure,
    // "<operation>\n<category>: <message>" (port_message_text); a port that
    // did not open adds a line "<device path>: <reason>". After a failed open
    // or apply the port is closed; close leaves it closed whatever it returns.
    error_value_t open(ustring_t* text = nullptr);
    error_value_t close(ustring_t* text = nullptr);
    error_value_t apply(const ConnectionSettings& settings, ustring_t* text = nullptr);
    // Never waits for the line.
    bool is_open() const;
    // Opens this device path instead of the device of the COM number (from
    // the next open on); empty goes back to the COM number.
    void set_device_path(const std::string& path);

    // Function 3 into dest (count host-order words); slave 0 = default address.
    error_value_t read_registers(uint16_t start, uint16_t count, uint16_t* dest, uint8_t slave = 0);
    // Function 16 of count (1..4) words of value, lowest word first, to the
    // default address. Any other count is refused with "Недопустимый размер
    // данных в запросе" and nothing is sent.
    error_value_t write_registers(uint16_t start, uint16_t count, uint64_t value);
    // Stores a write for the next poll cycle, replacing one still pending for
    // the same start. Refuses a count outside 1..4 as write_registers does.
    error_value_t queue_write(uint16_t start, uint16_t count, uint64_t value);
    // Reads a block into the register image and updates the parameters wholly
    // inside it.
    error_value_t read_block(uint16_t start, uint16_t count);

    // One parameter: read it now (slave 0 = default address), write it now, or
    // queue the write for the poll cycle.
    error_value_t read_param(mb_param_t& p, uint8_t slave = 0);
    error_value_t write_param(const mb_param_t& p, uint64_t value);
    error_value_t queue_param(const mb_param_t& p, uint64_t value);
    // cfg_file_ver, then the identity block 1151..1164; read before every
    // journal download.
    error_value_t read_identity();

    // The watcher of every exchange on the line (null: none). Any thread;
    // never waits. An exchange under way may still report to the previous
    // watcher, which lives until the workers have stopped (or until
    // lock_master has been taken and released once).
    void set_line_observer(line_observer_t* observer);

    objectthread_t& worker1() { return worker1_; }
    objectthread_t& worker2() { return worker2_; }
    // The master's exchange lock, held across multi-request sequences.
    void lock_master() { master_.lock(); }
    void unlock_master() { master_.unlock(); }

    // The last outcome of the poll cycle: the link check's failure, else the
    // first failed block of the last whole cycle, else success.
    error_value_t link_status() const;
    // How many poll cycles in a row have ended in a failure (0 after one
    // that succeeded, or at opening).
    uint32_t failed_cycles_in_row() const {
        std::lock_guard<std::mutex> g(status_lock_);
        return failed_in_row_;
    }
    uint64_t completed_cycles() const { return completed_cycles_.load(); }
    uint8_t default_slave() const { return default_slave_.load(); }
    uint16_t response_timeout() const { return master_.response_timeout(); }
    com_port_settings_t port_settings() const { return port_.settings(); }
    // Port settings, response timeout and default address as the link holds them.
    ConnectionSettings connection_settings() const;
    ParamMap_t& params() { return params_; }
    // Number of writes waiting for the next cycle.
    size_t pending_writes() const;

    // Pausing the poll cycle, for work that wants the line to itself (a
    // journal download, a poll of several addresses). Counted: the cycle
    // runs again when every pause has been resumed. While paused worker 1
    // sends no poll requests (a cycle under way stops before its next
    // request) but runs its one-shot tasks as usual. Any thread; never waits.
    // A resume without a pause does nothing.
    void pause_polling();
    void resume_polling();
    bool polling_paused() const;

    // One count of a link's counter held for the guard's lifetime. The
    // counter outlives the link if need be, so the guard may be destroyed
    // before or after the link, on any thread.
    class count_guard_t {
    public:
        ~count_guard_t();
        count_guard_t(const count_guard_t&) = delete;
        count_guard_t& operator=(const count_guard_t&) = delete;

    protected:
        explicit count_guard_t(std::shared_ptr<std::atomic<int>> count);

    private:
        std::shared_ptr<std::atomic<int>> count_;
    };
    // A pause held for the guard's lifetime.
    class poll_pause_guard_t : public count_guard_t {
    public:
        explicit poll_pause_guard_t(mb_link_t& link) : count_guard_t(link.pauses_) {}
    };

    // A journal download running, held for the guard's lifetime. While one
    // runs the poll cycle comes every kDownloadPollPeriodMs instead of every 2 s and,
    // after the link check and the queued writes, reads only the blocks some
    // shown window needs kept fresh (live_block_guard_t): the download keeps
    // the line, the values on screen still move. Such a cycle does not count
    // as completed.
    static constexpr int64_t kDownloadPollPeriodMs = 3500;
    class download_guard_t : public count_guard_t {
    public:
        explicit download_guard_t(mb_link_t& link) : count_guard_t(link.downloads_) {}
    };
    bool download_running() const;

    // A register block a window needs kept fresh while a download runs, for
    // the guard's lifetime (any thread; may outlive the link).
    struct live_blocks_t;
    class live_block_guard_t {
    public:
        live_block_guard_t(mb_link_t& link, uint16_t start, uint16_t count);
        ~live_block_guard_t();
        live_block_guard_t(const live_block_guard_t&) = delete;
        live_block_guard_t& operator=(const live_block_guard_t&) = delete;

    private:
        std::shared_ptr<live_blocks_t> blocks_;
        std::pair<uint16_t, uint16_t> block_;
    };

    // One turn of the poll cycle (worker 1 runs it as a periodic task); returns
    // the milliseconds until the next turn is due, which worker 1 sleeps. While
    // the port is open and its device has failed (an adapter pulled out), the
    // turn that is due for a link check opens the device again first: the
    // same device path, or whatever device the COM number now names.
    int64_t poll();

private:
    struct pending_write_t {
        uint64_t value;
        uint16_t count;
    };

    void set_link_status(const error_value_t& e);
    // The poll cycle is to stop where it is: worker 1 stopping, or a pause.
    bool poll_cut_short();
    // Milliseconds until the next cycle may start (0: now).
    int64_t until_next_cycle() const;

    // Written by worker 1, read by the connection window: code and category
    // travel together under their own small lock.
    mutable std::mutex status_lock_;
    error_value_t status_;
    uint32_t failed_in_row_ = 0;
    std::atomic<uint8_t> default_slave_{1};
    com_port_t port_;
    com_port_socket_t socket_;
    mb_driver_t master_;
    std::atomic<uint64_t> completed_cycles_{0};
    objectthread_t worker1_;
    objectthread_t worker2_;
    mutable RecursiveLock_t link_lock_;
    std::map<uint16_t, pending_write_t> pending_;

    // Shared with the pause guards, see poll_pause_guard_t.
    std::shared_ptr<std::atomic<int>> pauses_ = std::make_shared<std::atomic<int>>(0);

    // Shared with the download and live-block guards.
    std::shared_ptr<std::atomic<int>> downloads_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<live_blocks_t> live_blocks_;

    ParamMap_t& params_;
    // Start tick of the last poll cycle; -1 while none has started.
    int64_t cycle_start_ = -1;
};
