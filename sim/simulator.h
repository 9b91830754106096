// The simulated RS-485 line: one or more detectors (and foreign devices)
// answering Modbus RTU requests on a pseudo-terminal or a real serial device.
//
// Typical use in a test:
//     sim::Options_t o;
//     o.addresses = {1, 2};
//     sim::Simulator_t s(o);
//     std::string err;
//     ASSERT_TRUE(s.start(&err)) << err;
//     open_port(s.path());                 // the configurator's side
//     s.set_concentration(1, 42.0);        // change the world while it runs
//     s.set_fault(sim::Fault_t::kSilent);  // ... or break the line
//
// One thread serves the line; every control call may come from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/device.h"
#include "sim/protocol.h"

namespace sim {

enum class Fault_t {
    kSilent,      // requests are read but never answered
    kLate,        // replies go out after late_ms (longer than a master waits)
    kCorruptCrc,  // the reply's last CRC byte is inverted
    kNoise,       // random bytes are sent instead of the reply
};

// Line speed codes of the speed register (codes::kSpeedTable): the speed of
// a code, 0 past the table.
unsigned speed_of_code(unsigned code);
// Code of a speed, codes::kSpeedCount when it is not in the table.
unsigned code_of_speed(unsigned speed);

// The state file is a few lines per detector; a larger one is not read.
inline constexpr size_t kStateFileMaxBytes = 1024 * 1024;
// The largest concentration the simulator takes, %НКПР (the control socket
// also takes its negative, a sensor drifting below zero).
inline constexpr double kMaxConcentration = 1000.0;
// The sensor temperatures the control socket takes, °C.
inline constexpr double kMinTemperature = -100.0;
inline constexpr double kMaxTemperature = 200.0;
// --trend-day without --trend-records: one day, a record a minute.
inline constexpr uint32_t kTrendDayRecords = 1440;

struct Options_t {
    std::vector<uint8_t> addresses{1};  // detectors, each its own registers
    std::vector<uint8_t> foreign;       // devices answering only with exceptions
    std::string device_path;            // real serial device; empty: a pty
    unsigned com = 0;                   // register the pty as COM n (0: no)
    unsigned speed = 9600;
    char parity = 'N';                  // N, E or O
    unsigned stop_bits = 1;
    bool echo = false;                  // echo what the master sends
    bool line_timing = false;           // wire time for requests, paced replies
    unsigned turnaround_ms = 0;
    bool switch_early = false;          // new address/speed before the reply
    // On a pty: requests from a master whose speed or parity differ from the
    // line's are not understood, as on a real wire. False: any speed will do.
    bool check_master_settings = true;
    int owner = 0;                      // adjustment-mode owner at start
    std::string state_file;             // settings saved by command 2
    uint32_t seed = 1;
    JournalCounts_t records;
    uint16_t sensor_type = 0;
    uint16_t mipex_type = 3;
    double concentration = 0.0;
    double drift = 0.3;
    unsigned trend_delay_ms = 30;
    unsigned calibration_ms = 3000;
    // 4..8: the first sensor calibration of every detector ends in this error
    // state whatever its input (0: decided from the input).
    unsigned calibration_error = 0;
    // Every save command of every detector refused or left unanswered.
    SaveFault_t save_fault = SaveFault_t::kNone;
    // Faults from the start.
    bool silent = false;
    unsigned late_ms = 0;               // non-zero: every reply this late
    bool corrupt_crc = false;
    bool noise = false;
    unsigned drop_after = 0;            // close the line after this many requests
    bool verbose = false;
    bool trace = false;                 // the verbose log with each frame's meaning
    std::string control_path;           // control socket (the program only)
    // Receives the verbose log and notices; default: standard error.
    std::function<void(const std::string&)> log;
    // Sees every complete request frame that arrives (CRC included), on the
    // line's thread before it is answered (and before the faults for its reply
    // are taken, so it may set one); tests use it to check what reached the
    // line, in order.
    std::function<void(const std::vector<uint8_t>&)> on_request;
};

class Line_t;

class Simulator_t {
public:
    explicit Simulator_t(Options_t options);
    ~Simulator_t();
    Simulator_t(const Simulator_t&) = delete;
    Simulator_t& operator=(const Simulator_t&) = delete;

    // Opens the line (and the COM link), loads the state file, starts serving.
    bool start(std::string* error);
    // Stops serving, closes the line, removes the COM link. Idempotent.
    void stop();

    // The device path the master opens (the pty's slave side or --device).
    std::string path() const;

    // Faults: count = number of replies it applies to, -1 until cleared.
    void set_fault(Fault_t f, int count = -1);
    void clear_faults();
    void set_late_ms(unsigned ms);
    // Closes the line as if the cable were pulled; restore_line opens a new
    // pty (a new path, re-registered as the same COM number).
    void drop_line();
    bool restore_line(std::string* error = nullptr);
    bool line_open() const;

    // Detectors are addressed by their present Modbus address. False when no
    // detector has it.
    bool set_concentration(uint8_t address, double value);
    bool set_temperature(uint8_t address, double value);
    bool set_owner(uint8_t address, uint16_t owner);
    bool set_register(uint8_t address, uint16_t r, uint16_t value);
    bool get_register(uint8_t address, uint16_t r, uint16_t& value);
    bool force_calibration_outcome(uint8_t address, uint16_t state);
    // The next count save commands to the detector (-1: every one until set
    // back to kNone) are refused or left unanswered, and nothing is stored;
    // the write before a save is served as usual.
    bool set_save_fault(uint8_t address, SaveFault_t f, int count = -1);
    // The current the detector's 4-20 mA output drives now, in mA (what an
    // ammeter on the output would read); false when no detector has the address.
    bool output_current(uint8_t address, double& ma);
    // A journal's record count, e.g. to let it grow while a master downloads it.
    bool set_journal_count(uint8_t address, Journal_t j, uint32_t n);
    bool with_device(uint8_t address, const std::function<void(Device_t&)>& fn);
    uint32_t factory_serial(uint8_t address);

    // Requests seen (complete, valid frames for any address) and replies sent.
    uint64_t requests() const { return requests_.load(); }
    uint64_t replies() const { return replies_.load(); }
    unsigned speed() const { return speed_.load(); }

    // The text control language of the control socket; returns the answer.
    std::string command(const std::string& line);

private:
    void run();
    void handle(const std::vector<uint8_t>& frame, time_point_t first_byte);
    // Writes bytes; with line timing byte i goes out at t0 + (i + 1) character times.
    void send(const std::vector<uint8_t>& bytes, time_point_t t0);
    void log_bytes(const char* dir, const uint8_t* p, size_t n, const char* note);
    void save_state();
    void load_state();
    bool take_fault(int& counter);
    // True when the master's end is set to other line settings than ours.
    bool master_mismatch(std::string* why);
    double char_time_us() const;
    Device_t* find(uint8_t address);
    bool open_line(std::string* error);

    Options_t opt_;
    mutable std::mutex mu_;             // devices, stations, faults, line pointer
    std::vector<std::unique_ptr<Device_t>> devices_;
    std::vector<Station_t> stations_;
    std::shared_ptr<Line_t> line_;
    std::string path_;
    int silent_ = 0, late_ = 0, corrupt_ = 0, noise_ = 0;
    unsigned late_ms_ = 0;
    uint64_t noise_state_ = 0x12345678;
    std::atomic<unsigned> speed_{9600};
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> requests_{0}, replies_{0};
    std::thread thread_;
    time_point_t started_;
};

// The option parser of the program, usable by tests and tools. Returns false
// with a message on a bad command line; help is set by --help.
bool parse_options(int argc, const char* const* argv, Options_t& out, bool& help, std::string& error);
// The --help text.
const char* help_text();

}  // namespace sim
