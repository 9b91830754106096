// luma10ctl settings: the connection settings and the calibration gas
// concentration the configurator would start with, as key=value lines.
//
// The file is only read, never repaired: the configurator may be writing it
// at this very moment, and moving its companion files under it would break
// that write. When the file itself is missing, the same choice the repair on
// start-up would make picks the complete companion to read.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "cli/connection.h"
#include "foundation/app_config.h"
#include "platform/files.h"

namespace {

bool read_whole(const std::string& path, std::string& bytes) {
    plat::File_t f;
    if (!f.open_read(path)) return false;
    char buf[1024];
    for (;;) {
        const long n = f.read(buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(buf, static_cast<size_t>(n));
    }
}

// The file the next start-up would load, without touching any of them.
std::string file_to_read(const std::string& path) {
    if (plat::file_exists(path)) return path;
    if (plat::file_exists(path + ".fswwb_creatingnow")) return {};
    if (plat::file_exists(path + ".fswwb_new")) return path + ".fswwb_new";
    if (plat::file_exists(path + ".fswwb_original_backup")) return path + ".fswwb_original_backup";
    return {};
}

int run_settings(cli::Context& ctx) {
    if (!ctx.args.empty()) return cli::usage_error("settings не принимает аргументов");
    const std::string path = ctx.config_file.empty() ? ConfigFilePath() : ctx.config_file;
    AppSettings_t s;
    const std::string source = file_to_read(path);
    std::string bytes;
    if (!source.empty() && read_whole(source, bytes)) SettingsFromJson(bytes, s);

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
