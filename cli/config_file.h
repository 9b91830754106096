// The configurator's configuration file as luma10ctl sees it: read, never
// written or repaired.
#pragma once

#include <string>

#include "foundation/app_config.h"

namespace cli {

// The file the configurator would load: config_file when given, otherwise
// the configurator's luma10.json in the configuration folder (the folder of
// the programs, which luma10ctl shares).
std::string ConfigPath(const std::string& config_file);

// Why the configuration file named by --config cannot be what the tool
// starts from: empty when it (or what an interrupted write left of it) can be
// read, else a message naming the path (absent, a folder, unreadable).
std::string ConfigFileProblem(const std::string& path);

// Loads what the configurator would start with from path. Companion files of
// an interrupted write are read where the configurator's repair would take
// them from, but nothing is renamed or deleted: the configurator may be
// writing the file at this very moment. What cannot be read keeps its value;
// the outcome's message says why (a device, a FIFO, an oversized or malformed
// file is never taken).
ConfigLoad_t ReadSettings(const std::string& path, AppSettings_t& settings);

}  // namespace cli
