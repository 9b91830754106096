// luma10ctl: each command lives in its own cli/cmd_*.cpp and registers itself
// with LUMA_CLI_COMMAND; main.cpp parses the connection options shared by all
// commands and dispatches.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "foundation/connection_settings.h"

namespace cli {

// A command's own options as given after its name, parsed once against the
// list its registration declares.
struct Options {
    // Each given option by name: its value, or "" for a flag.
    std::map<std::string, std::string> values;
    // Names in the order given, values and flags alike.
    std::vector<std::string> order;
    // The arguments that are no option, in order (negative numbers included).
    std::vector<std::string> positional;

    bool has(const std::string& name) const { return values.count(name) > 0; }
    // The option's value; "" when it was not given.
    const std::string& value(const std::string& name) const;
};

struct Context {
    // Connection settings after the configuration file's defaults and the
    // command line's overrides (--port, --speed, --parity, --stop-bits, --echo,
    // --delay, --timeout, --address).
    ConnectionSettings settings;
    // Set when --port named a device path instead of a COM number.
    std::string device_path;
    // --config FILE, or empty for the program's own configuration file.
    std::string config_file;
    // Everything after the command name that main did not consume, in order
    // (positional arguments and the command's own options).
    std::vector<std::string> args;
    // The same arguments parsed against the command's declared options.
    Options options;
};

// Returns the process exit code: 0 success, 1 failed exchange, 2 bad usage.
using CommandFn = int (*)(Context& ctx);

struct Command {
    const char* name;
    const char* usage;  // one line, shown in the usage text: "read НАЧАЛО КОЛИЧЕСТВО"
    CommandFn run;
    // The command's own options, separated by spaces; a trailing '=' marks one
    // that takes a value ("--format= -o= --partial"). Any other argument that
    // starts with '-' is an unknown option.
    const char* options = "";
};

// Parses the arguments left for a command against its own options into out:
// empty when all are known, each given once and each value present, else the
// message naming the first fault. An option may carry its value after '='
// ("--warn=5"); a value may look like an option ("--hart -1").
std::string parse_options(const Command& cmd, const std::vector<std::string>& args, Options& out);
// Whether name is one of the command's own options; takes_value (may be
// null) receives whether it takes a value. An own option of the same name as
// a connection option means the command's value when it follows the command
// name: "--address 1 device-link --address 7".
bool is_command_option(const Command& cmd, const std::string& name, bool* takes_value);

// "целое число от 0 до 100": how a usage message names a whole-number range.
std::string whole_range(long min, long max);

// A decimal number as an engineer types it: an optional minus, digits and a
// decimal point ("12.5", "-0.5", ".5"). False for anything else, hexadecimal
// ("0x10"), exponents ("1e3"), "inf" and "nan" included.
bool parse_decimal(const std::string& text, double& out);

void register_command(const Command& cmd);
const std::vector<Command>& commands();

struct Registrar {
    explicit Registrar(const Command& cmd) { register_command(cmd); }
};

}  // namespace cli

#define LUMA_CLI_CONCAT2(a, b) a##b
#define LUMA_CLI_CONCAT(a, b) LUMA_CLI_CONCAT2(a, b)
#define LUMA_CLI_COMMAND(name, usage, fn) \
    static ::cli::Registrar LUMA_CLI_CONCAT(cli_registrar_, __LINE__)(::cli::Command{name, usage, fn})
#define LUMA_CLI_COMMAND_WITH_OPTIONS(name, usage, fn, options) \
    static ::cli::Registrar LUMA_CLI_CONCAT(cli_registrar_, __LINE__)(::cli::Command{name, usage, fn, options})
