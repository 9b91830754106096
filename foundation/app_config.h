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

// <configuration folder>/<program name>.json (luma10.json for luma10).
std::string ConfigFilePath();
// <configuration folder>/luma10.json: the configurator's file, which the
// command-line tool reads for its defaults whatever its own name.
std::string ConfiguratorConfigFilePath();

// Reads the file into settings. Never fails: what cannot be read keeps its
// current value. The connection part is taken all or nothing.
void LoadSettings(AppSettings_t& settings, const std::string& path);
// Writes settings to the file. A failed write leaves the previous file.
void SaveSettings(const AppSettings_t& settings, const std::string& path);

// The two halves of the above, without the file: the JSON text as written,
// and the JSON text applied to settings (false when it does not parse or has
// no "app_config" object; settings then stay as they were).
std::string SettingsToJson(const AppSettings_t& settings);
bool SettingsFromJson(const std::string& json, AppSettings_t& settings);
