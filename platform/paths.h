// Where the program finds its files. The configuration folder holds the
// configuration file and the ports directory (links named comN):
//   1. $LUMA10_CONFIG_DIR when set (tests and demos use it);
//   2. otherwise the program's own folder when it is writable;
//   3. otherwise $XDG_CONFIG_HOME/luma10 (~/.config/luma10), created on demand.
#pragma once

#include <string>

namespace plat {

// Absolute path of the running executable.
std::string executable_path();
// The executable's file name without folder and extension ("luma10").
std::string program_name();
// The configuration folder, without a trailing slash.
std::string config_dir();
// <config folder>/ports: links named com1, com2, ... choose what COM n opens.
std::string ports_dir();
// Creates a folder and its parents; true when it exists afterwards.
bool make_dirs(const std::string& path);

}  // namespace plat
