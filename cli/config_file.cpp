#include "cli/config_file.h"

#include "platform/dirs.h"
#include "platform/files.h"

namespace cli {

namespace {

// The repair's choice, without its renames: the file; nothing while a
// first-time creation was interrupted; a complete new file; the backup.
std::string file_to_read(const std::string& path) {
    if (plat::file_exists(path)) return path;
    if (plat::is_regular_file(path + ".fswwb_creatingnow")) return {};
    if (plat::is_regular_file(path + ".fswwb_new")) return path + ".fswwb_new";
    if (plat::is_regular_file(path + ".fswwb_original_backup")) return path + ".fswwb_original_backup";
    return {};
}

}  // namespace

std::string ConfigPath(const std::string& config_file) {
    return config_file.empty() ? ConfiguratorConfigFilePath() : config_file;
}

std::string ConfigFileProblem(const std::string& path) {
    if (plat::is_dir(path)) return "файл конфигурации " + path + " - это папка";
    const std::string source = file_to_read(path);
    if (source.empty()) return "файл конфигурации " + path + " не найден";
    // A device or FIFO is not opened here (a FIFO would block): reading it
    // gives the start-up values with a message.
    if (!plat::is_regular_file(source)) return {};
    plat::File_t f;
    if (!f.open_read(source)) return "файл конфигурации " + source + " не читается";
    return {};
}

ConfigLoad_t ReadSettings(const std::string& path, AppSettings_t& settings) {
    if (path.empty()) return ReadSettingsFile(path, settings);  // no configuration folder: says why
    const std::string source = file_to_read(path);
    if (source.empty()) return ConfigLoad_t{};
    return ReadSettingsFile(source, settings);
}

}  // namespace cli
