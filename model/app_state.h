// The application state G_: the parameter map, the device link pointer, the
// connection settings in force, the devices found by the search, and the
// hand-overs between the window thread and the link's workers.
//
// Threads: the queries read plain fields and parameter snapshots from any
// thread. Device operations block on the bus and run on a worker. Texts for the
// user travel to the window thread as posted tasks; the task looks at the main
// window when it runs, so texts posted before the window exists are dropped.
// The hold-off table belongs to the window thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "foundation/app_config.h"
#include "foundation/connection_settings.h"
#include "foundation/containers.h"
#include "foundation/error.h"
#include "foundation/task.h"
#include "foundation/ustring.h"
#include "model/params.h"

class mb_link_t;

// The main window as the application state sees it. The windowing toolkit
// implements it; every call comes on the window thread.
class IWindowSide {
public:
    virtual ~IWindowSide() = default;
    // Puts text into the status line, stamps it with tick and shows it.
    virtual void show_status_text(const ustring_t& text, uint64_t tick) = 0;
    // Shows text on the message panel; hide_after_ms 0 keeps it until replaced
    // or cleared.
    virtual void show_info_message(const ustring_t& text, uint32_t hide_after_ms) = 0;
    virtual void show_error_message(const ustring_t& text, uint32_t hide_after_ms) = 0;
    virtual void clear_message() = 0;
};

// A device answering the search.
struct found_device_t {
    uint32_t address = 0;
    uint32_t serial_number = 0;  // 0: the device did not say
};

class G_t {
public:
    // Posts a callable to the window thread without waiting; false when there
    // is no window thread to take it (the callable is then dropped).
    using WindowPoster = std::function<bool(std::function<void()>)>;

    G_t();
    ~G_t();
    G_t(const G_t&) = delete;
    G_t& operator=(const G_t&) = delete;

    // State queries (any thread).
    bool is_port_open() const;
    bool is_connected() const;
    bool adjustment_mode_on() const;
    bool adjustment_mode_off() const;

    // Device operations (worker only).
    size_t invalidate_all_parameters() { return params.invalidate_all(); }
    // The parameter's registers (up to four words, lowest first) written now;
    // "Порт не открыт" without a link. The one write path of the windows'
    // procedures.
    error_value_t write_parameter(const mb_param_t& p, uint64_t value);
    // The save-settings command.
    error_value_t save_settings();

    // Hand-overs to the workers. Ownership of the task passes to the worker;
    // without a link the task is destroyed unrun. A periodic task runs on
    // worker 1 every period_ms; the windows' readers follow values the poll
    // cycle refreshes every two seconds, so five looks a second are plenty.
    static constexpr int64_t kPeriodicTaskMs = 200;
    void post_to_worker1(ITask* task);
    void post_to_worker2(ITask* task);
    ITask* add_periodic_task(ITask* task, int64_t period_ms = kPeriodicTaskMs);
    void remove_periodic_task(ITask* handle);

    // Hand-overs to the window thread (any thread, never waiting).
    void status_text(const ustring_t& text);
    void info_message(const ustring_t& text);
    void error_message(uint32_t hide_after_ms, const ustring_t& text);
    void clear_message();

    // Hold-off table (window thread). Keys are control addresses.
    void hold(const void* key, uint32_t ms);
    void hold(const void* key, uint32_t ms, uint32_t now);
    // False while the key's deadline is set and not yet passed; true otherwise,
    // and then the deadline is cleared.
    bool can_update_control(const void* key);
    bool can_update_control(const void* key, uint32_t now);
    // Holds a control showing a value just written until the poll cycle has
    // read that value back (read_back true), at most ms: the refresh would
    // otherwise put the device's old value back until the next poll.
    void hold_until(const void* key, uint32_t ms, std::function<bool()> read_back);

    // The link's apply connection settings; afterwards, whatever the result,
    // copies what the link now holds into the settings in force. The window
    // thread and worker 1 (the device search) both apply: the settings lock
    // is held across the link's apply and the copy, so two applies never
    // interleave and no reader sees a record half written.
    bool apply_connection_settings(const ConnectionSettings& settings, ustring_t* text);
    // A copy of the connection settings in force, from any thread.
    ConnectionSettings connection_settings() const;
    // Replaces the settings in force without touching the link (start-up,
    // before the first apply).
    void set_connection_settings(const ConnectionSettings& settings);

    // The configuration file (start-up and exit): loads the connection
    // settings and the calibration gas concentration into the fields above
    // (what cannot be read keeps its value), and saves them. The load's
    // outcome says what to tell the user and whether to save at exit.
    ConfigLoad_t load_config(const std::string& path);
    void save_config(const std::string& path) const;

    std::atomic<bool> poll_mode{false};
    // Which detector this program put into adjustment mode, so that it gives
    // the mode back before the port closes: kTakenFlag with the detector's
    // factory number in the low 32 bits, or 0 when it took none (a mode found
    // held is left held).
    static constexpr uint64_t kTakenFlag = uint64_t(1) << 32;
    std::atomic<uint64_t> adjustment_mode_taken{0};
    ParamMap_t params;
    std::atomic<IWindowSide*> main_window{nullptr};
    std::atomic<mb_link_t*> link{nullptr};
    Array_T<found_device_t> found_devices;
    double calibration_gas_concentration = 10.0;

    // How tasks reach the window thread; set by start-up (and by tests).
    WindowPoster window_poster;

private:
    void post_to_window(std::function<void(IWindowSide&)> fn);

    std::map<const void*, uint32_t> hold_off_;
    std::map<const void*, std::function<bool()>> read_back_;
    mutable std::mutex settings_lock_;
    ConnectionSettings connection_settings_;
};

// The application state of the process, made before main runs.
extern G_t G_;
