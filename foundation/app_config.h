// The configuration file: the connection settings and the calibration gas
// concentration, kept between runs in a pretty-printed UTF-8 JSON file under
// the object "app_config". Read once at start, written once at exit, always
// through the crash-safe replacement of safe_file.h.
#pragma once

#include <string>

#include "foundation/connection_settings.h"

struct AppSettings_t {
    ConnectionSettings connection;
    double balloon_strength = 10.0;  // calibration gas concentration, %
};

// The range the calibration window accepts for balloon_strength.
inline constexpr double kBalloonStrengthMin = 0.01;
inline constexpr double kBalloonStrengthMax = 100.0;

// No configuration file the program wrote comes near this; a larger one is
// not read.
inline constexpr size_t kConfigFileMaxBytes = 1024 * 1024;

// <configuration folder>/<program name>.json (luma10.json for luma10); "" when
// there is no configuration folder.
std::string ConfigFilePath();
// <configuration folder>/luma10.json: the configurator's file, which the
// command-line tool reads for its defaults whatever its own name; "" when
// there is no configuration folder.
std::string ConfiguratorConfigFilePath();

// What loading the configuration file found.
struct ConfigLoad_t {
    enum Outcome {
        kLoaded,      // read and applied
        kAbsent,      // no file (or an empty one): nothing to say
        kNoFolder,    // no configuration folder (path "")
        kNotRegular,  // a device, a FIFO, a folder: not read
        kTooLarge,    // over kConfigFileMaxBytes: not read
        kMalformed,   // not the program's JSON (or not UTF-8)
        kUnreadable,  // the system refused to read it
    };
    Outcome outcome = kAbsent;
    // False when the file is to stay as it is at exit: it is not a regular
    // file of its own (a device, a FIFO, a link), or it could not be read or
    // put aside.
    bool save_at_exit = true;
    // Russian, for the message panel (standard error for the command-line
    // tool); "" when there is nothing to say.
    std::string message;
};

// Reads the file into settings, after repairing what an interrupted write
// left. Never fails: what cannot be read keeps its current value, and the
// connection part is taken all or nothing. A malformed or oversized file is
// put aside as <path>.bad, so the save at exit does not destroy it.
ConfigLoad_t LoadSettings(AppSettings_t& settings, const std::string& path);
// The same reading without any change on disk (no repair, nothing put aside):
// for a program that only looks at another program's file.
ConfigLoad_t ReadSettingsFile(const std::string& path, AppSettings_t& settings);
// Writes settings to the file. A failed write leaves the previous file; a
// file that is not a regular file is never replaced. Nothing without a path.
void SaveSettings(const AppSettings_t& settings, const std::string& path);

// The two halves of the above, without the file: the JSON text as written,
// and the JSON text applied to settings (false when it does not parse or has
// no "app_config" object; settings then stay as they were).
std::string SettingsToJson(const AppSettings_t& settings);
bool SettingsFromJson(const std::string& json, AppSettings_t& settings);
