// luma10ctl settings: the connection settings and the calibration gas
// concentration the configurator would start with, as key=value lines.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/config_file.h"
#include "cli/connection.h"
#include "foundation/connection_settings.h"
#include "foundation/ustring.h"

namespace {

// "Нет (0)": the code's name as the connection window shows it, then the code
// as stored in the file. A code the port refuses has no name.
template <size_t N>
std::string named(const char16_t* const (&names)[N], unsigned code) {
    const std::string name = code < N ? text::utf8(names[code]) : "недопустимое значение";
    return name + " (" + std::to_string(code) + ")";
}

int run_settings(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("settings не принимает аргументов");
    AppSettings_t s;
    cli::ReadSettings(cli::ConfigPath(ctx.config_file), s);

    const com_port_settings_t& p = s.connection.port_settings;
    std::printf("port=%u\n", unsigned(p.port));
    std::printf("speed=%u\n", unsigned(p.speed));
    std::printf("parity=%s\n", named(kParityNames, p.parity).c_str());
    std::printf("stop_bits=%s\n", named(kStopBitsNames, p.stop_bits).c_str());
    std::printf("permanent_echo=%s (%u)\n", p.permanent_echo ? "Да" : "Нет", p.permanent_echo ? 1u : 0u);
    std::printf("before_send_delay=%u\n", unsigned(p.before_send_delay));
    std::printf("timeout=%u\n", unsigned(s.connection.timeout));
    std::printf("block_id=%u\n", unsigned(s.connection.block_id));
    std::printf("balloon_strength=%g\n", s.balloon_strength);
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("settings", "settings                     настройки из файла конфигурации", run_settings);
