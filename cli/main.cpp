// luma10ctl: talks to a detector from the command line.
//   luma10ctl [connection options] COMMAND [arguments]
// Connection options may stand anywhere on the line.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/config_file.h"
#include "cli/connection.h"
#include "cli/line_trace.h"

namespace {

const char* const kOptionsHelp =
    "Параметры подключения (по умолчанию — из файла конфигурации luma10.json):\n"
    "  --port ПОРТ       номер COM-порта (3 или COM3) или путь к устройству (/dev/ttyUSB0)\n"
    "  --speed БОД       скорость, 600..256000\n"
    "  --parity ЧЁТНОСТЬ none|odd|even|mark|space\n"
    "  --stop-bits СТОП  1|1.5|2\n"
    "  --echo            адаптер возвращает эхо каждого отправленного байта\n"
    "  --delay МС        задержка перед отправкой, мс\n"
    "  --timeout МС      таймаут ответа, мс\n"
    "  --address АДРЕС   адрес устройства Modbus, 1..247\n"
    "  --config ФАЙЛ     файл конфигурации\n"
    "  --trace           каждый обмен с устройством в поток ошибок: время, байты,\n"
    "                    их смысл, время ответа и исход\n";

void print_usage(FILE* out) {
    std::fprintf(out, "Использование: luma10ctl [параметры] КОМАНДА [аргументы]\n\nКоманды:\n");
    for (const cli::Command& c : cli::commands()) std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(out, "\n%s", kOptionsHelp);
}

// Connection options as given on the command line; unset ones keep the defaults.
struct Overrides {
    std::optional<unsigned> port;
    std::string device_path;
    std::optional<uint32_t> speed;
    std::optional<uint8_t> parity;
    std::optional<uint8_t> stop_bits;
    bool echo = false;
    std::optional<uint16_t> delay;
    std::optional<uint16_t> timeout;
    std::optional<uint8_t> address;
};

// The one place where the connection defaults are filled in before the
// command line's options are applied. The defaults are those of a fresh
// configuration (9600 8N1, COM1, response timeout 1000 ms, address 1);
// ctx.config_file names the configuration whose values are to seed them.
// The defaults are what the configurator itself would start with: the
// configuration file's connection settings (or --config FILE), else the
// settings of a fresh configuration.
void fill_defaults(cli::Context& ctx) {
    AppSettings_t s;
    const ConfigLoad_t loaded = cli::ReadSettings(cli::ConfigPath(ctx.config_file), s);
    if (!loaded.message.empty()) std::fprintf(stderr, "luma10ctl: %s\n", loaded.message.c_str());
    ctx.settings = s.connection;
}

bool parse_port(const std::string& v, Overrides& o) {
    if (!v.empty() && v[0] == '/') { o.device_path = v; o.port.reset(); return true; }
    std::string digits = v;
    if (digits.size() > 3 && (digits.compare(0, 3, "COM") == 0 || digits.compare(0, 3, "com") == 0)) digits = digits.substr(3);
    long n;
    if (!cli::parse_number(digits, 1, 255, n)) return false;
    o.port = static_cast<unsigned>(n);
    o.device_path.clear();
    return true;
}

bool parse_option(const std::string& name, const std::string& v, Overrides& o, cli::Context& ctx) {
    long n;
    if (name == "--port") return parse_port(v, o);
    if (name == "--speed") {
        if (!cli::parse_number(v, 600, 256000, n)) return false;
        o.speed = static_cast<uint32_t>(n);
        return true;
    }
    if (name == "--parity") {
        static const char* const kNames[] = {"none", "odd", "even", "mark", "space"};
        for (uint8_t i = 0; i < 5; ++i)
            if (v == kNames[i]) { o.parity = i; return true; }
        return false;
    }
    if (name == "--stop-bits") {
        if (v == "1") o.stop_bits = 0;
        else if (v == "1.5") o.stop_bits = 1;
        else if (v == "2") o.stop_bits = 2;
        else return false;
        return true;
    }
    if (name == "--delay" || name == "--timeout") {
        if (!cli::parse_number(v, 0, 65535, n)) return false;
        (name == "--delay" ? o.delay : o.timeout) = static_cast<uint16_t>(n);
        return true;
    }
    if (name == "--address") {
        // 0 is the broadcast, which every detector on the line would execute.
        if (!cli::parse_number(v, kBlockIdMin, kBlockIdMax, n)) return false;
        o.address = static_cast<uint8_t>(n);
        return true;
    }
    if (name == "--config") { ctx.config_file = v; return !v.empty(); }
    return false;
}

// The connection options, declared as a command declares its own and read by
// the same parser; their values are checked by parse_option.
const cli::Command kConnection{"", "", nullptr,
                               "--port= --speed= --parity= --stop-bits= --echo --delay= --timeout= --address= "
                               "--config= --trace"};

void apply(const Overrides& o, cli::Context& ctx) {
    com_port_settings_t& s = ctx.settings.port_settings;
    if (o.port) s.port = static_cast<uint8_t>(*o.port);
    ctx.device_path = o.device_path;
    if (o.speed) s.speed = *o.speed;
    if (o.parity) s.parity = *o.parity;
    if (o.stop_bits) s.stop_bits = *o.stop_bits;
    if (o.echo) s.permanent_echo = 1;
    if (o.delay) s.before_send_delay = *o.delay;
    if (o.timeout) ctx.settings.timeout = *o.timeout;
    if (o.address) ctx.settings.block_id = *o.address;
}

}  // namespace

int main(int argc, char** argv) {
    cli::Context ctx;
    Overrides o;
    std::string command;
    const cli::Command* cmd = nullptr;  // once the command has been named
    // The connection options as given, each with its value, wherever they stand.
    std::vector<std::string> connection_args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") { print_usage(stdout); return 0; }
        const bool inline_value = a.compare(0, 2, "--") == 0 && a.find('=') != std::string::npos;
        const std::string name = inline_value ? a.substr(0, a.find('=')) : a;
        bool takes_value = false;
        if (cmd && is_command_option(*cmd, name, &takes_value)) {
            // The command's own option, even where a connection option has
            // the same name: it and its value go to the command.
            ctx.args.push_back(a);
            if (takes_value && !inline_value && i + 1 < argc) ctx.args.push_back(argv[++i]);
            continue;
        }
        if (is_command_option(kConnection, name, &takes_value)) {
            connection_args.push_back(a);
            if (takes_value && !inline_value && i + 1 < argc) connection_args.push_back(argv[++i]);
            continue;
        }
        if (command.empty() && a.compare(0, 1, "-") != 0) {
            command = a;
            for (const cli::Command& c : cli::commands())
                if (command == c.name) cmd = &c;
        } else {
            ctx.args.push_back(a);
        }
    }
    // A connection option given twice, with a value it does not take or
    // without one, or with a value out of its range.
    cli::Options connection;
    if (const std::string refused = cli::parse_options(kConnection, connection_args, connection); !refused.empty()) {
        cli::usage_error(refused);
        print_usage(stderr);
        return 2;
    }
    bool trace = false;
    for (const std::string& name : connection.order) {
        if (name == "--trace") {
            trace = true;
            continue;
        }
        if (name == "--echo") {
            o.echo = true;
            continue;
        }
        const std::string& value = connection.value(name);
        if (!parse_option(name, value, o, ctx)) {
            std::string range;
            if (name == "--address")
                range = " (допустимо " + std::to_string(kBlockIdMin) + ".." + std::to_string(kBlockIdMax) + ")";
            cli::usage_error("недопустимое значение " + name + ": " + value + range);
            print_usage(stderr);
            return 2;
        }
    }
    if (!command.empty() && !cmd) {
        cli::usage_error("неизвестная команда: " + command);
        print_usage(stderr);
        return 2;
    }
    // An option neither of the connection nor of the command, one of the
    // command's given twice or without its value, is named as such before
    // the command sees its arguments.
    const std::string refused =
        cli::parse_options(cmd ? *cmd : cli::Command{"", "", nullptr}, ctx.args, ctx.options);
    if (!refused.empty()) {
        cli::usage_error(refused);
        print_usage(stderr);
        return 2;
    }
    if (!cmd) { print_usage(stderr); return 2; }
    // A configuration file named on the line must be there to be read: its
    // absence would quietly put the fresh defaults in its place.
    if (!ctx.config_file.empty()) {
        if (const std::string why = cli::ConfigFileProblem(ctx.config_file); !why.empty()) {
            cli::usage_error(why);
            print_usage(stderr);
            return 2;
        }
    }

    fill_defaults(ctx);
    apply(o, ctx);

    // Made before the command's links and gone after them.
    std::optional<cli::LineTrace> tracing;
    if (trace) tracing.emplace();
    const int rc = cmd->run(ctx);
    tracing.reset();
    if (rc == 2) print_usage(stderr);
    return rc;
}
