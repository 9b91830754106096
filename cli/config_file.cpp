#include "cli/config_file.h"

#include "platform/dirs.h"
#include "platform/files.h"

namespace cli {

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

// The repair's choice, without its renames: the file; nothing while a
// first-time creation was interrupted; a complete new file; the backup.
std::string file_to_read(const std::string& path) {
    if (plat::file_exists(path)) return path;
    if (plat::file_exists(path + ".fswwb_creatingnow")) return {};
    if (plat::file_exists(path + ".fswwb_new")) return path + ".fswwb_new";
    if (plat::file_exists(path + ".fswwb_original_backup")) return path + ".fswwb_original_backup";
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
    plat::File_t f;
    if (!f.open_read(source)) return "файл конфигурации " + source + " не читается";
    return {};
}

void ReadSettings(const std::string& path, AppSettings_t& settings) {
    const std::string source = file_to_read(path);
    std::string bytes;
    if (!source.empty() && read_whole(source, bytes)) SettingsFromJson(bytes, settings);
}

}  // namespace cli
