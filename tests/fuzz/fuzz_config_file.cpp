// The configuration file as a crash, a damaged disk or a hostile user may
// leave it: the file and its three companions with arbitrary contents. Load
// never fails and leaves values a save writes back and a load then returns
// unchanged; a save made before any load (it repairs first) is read back too.
//
// Input: a flags byte (bit 0 the file, bit 1 ".fswwb_new", bit 2 the backup,
// bit 3 the marker exist; bit 4 saves before loading), then the contents of
// the file, the new file and the backup, separated by the byte 0x1E.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/app_config.h"
#include "tests/foundation/same_settings.h"

namespace fs = std::filesystem;

namespace {

const fs::path& work_dir() {
    static const fs::path dir = [] {
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path d = base / ("luma_fuzz_config_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

struct RemoveWorkDir {
    ~RemoveWorkDir() {
        std::error_code ec;
        fs::remove_all(work_dir(), ec);
    }
} g_remove_work_dir;

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    std::vector<std::string> parts(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0x1E && parts.size() < 3) parts.emplace_back();
        else parts.back() += char(data[i]);
    }
    parts.resize(3);

    const fs::path& dir = work_dir();
    for (const auto& e : fs::directory_iterator(dir)) fs::remove_all(e.path());
    const fs::path file = dir / "luma10.json";
    const std::string name = file.string();
    if (flags & 1) put(file, parts[0]);
    if (flags & 2) put(name + ".fswwb_new", parts[1]);
    if (flags & 4) put(name + ".fswwb_original_backup", parts[2]);
    if (flags & 8) put(name + ".fswwb_creatingnow", "");

    // The parser alone, on each piece of text.
    for (const std::string& p : parts) {
        AppSettings_t s;
        SettingsFromJson(p, s);
    }

    AppSettings_t loaded;
    if (flags & 16) {
        // Saved without a load first: what was saved is what is found.
        AppSettings_t mine;
        mine.connection.block_id = 77;
        mine.balloon_strength = 42.5;
        SaveSettings(mine, name);
        LoadSettings(loaded, name);
        if (!same(loaded, mine)) std::abort();
    } else {
        LoadSettings(loaded, name);
    }

    // Whatever was loaded survives a save and a load unchanged, and no
    // companion file is left afterwards.
    SaveSettings(loaded, name);
    AppSettings_t again;
    again.connection.block_id = 200;
    again.balloon_strength = 1.0;
    LoadSettings(again, name);
    if (!same(again, loaded)) std::abort();
    for (const char* suffix : {".fswwb_new", ".fswwb_original_backup", ".fswwb_creatingnow"})
        if (fs::exists(name + suffix)) std::abort();
    return 0;
}
