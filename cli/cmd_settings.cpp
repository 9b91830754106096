// luma10ctl settings: the connection settings and the calibration gas
// concentration the configurator would start with, as key=value lines.
#include <cstdio>

#include "cli/command.h"
#include "cli/config_file.h"
#include "cli/connection.h"

namespace {

int run_settings(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("settings не принимает аргументов");
    AppSettings_t s;
    cli::ReadSettings(cli::ConfigPath(ctx.config_file), s);

    const com_port_settings_t& p = s.connection.port_settings;
    std::printf("port=%u\n", unsigned(p.port));
    std::printf("speed=%u\n", unsigned(p.speed));
    std::printf("parity=%u\n", unsigned(p.parity));
    std::printf("stop_bits=%u\n", unsigned(p.stop_bits));
    std::printf("permanent_echo=%u\n", p.permanent_echo ? 1u : 0u);
    std::printf("before_send_delay=%u\n", unsigned(p.before_send_delay));
    std::printf("timeout=%u\n", unsigned(s.connection.timeout));
    std::printf("block_id=%u\n", unsigned(s.connection.block_id));
    std::printf("balloon_strength=%g\n", s.balloon_strength);
    return 0;
}

}  // namespace

LUMA_CLI_COMMAND("settings", "settings                     настройки из файла конфигурации", run_settings);
