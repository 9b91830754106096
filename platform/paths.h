// Where the program finds its files.
//
// The program is known by the name it was started under (argv[0]): a link
// luma10-qzv to luma10 is the program "luma10-qzv" in the link's folder.
//
// The configuration folder holds the configuration file, the ports folder
// (links named comN) and the instance lock:
//   1. $LUMA10_CONFIG_DIR when set (tests and demos use it);
//   2. the program's own folder when the program is portable: the marker file
//      luma10.portable lies beside the name it was started under or beside
//      the program file itself (the build folder has one; a copy on a stick
//      gets one), and the folder is writable;
//   3. otherwise $XDG_CONFIG_HOME/luma10 (~/.config/luma10), created on
//      demand; an installed program always lands here.
// A folder is used only when it belongs to the user (or to root) and no other
// user may write in it: another user could plant links there. When no folder
// qualifies there is none, and config_dir_problem() says why.
#pragma once

#include <string>

namespace plat {

// The file whose presence beside a program makes it portable.
inline constexpr const char* kPortableMarker = "luma10.portable";

// Absolute path of the running executable, links resolved.
std::string executable_path();
// Absolute path of the name the program was started under (argv[0], looked up
// in PATH when it has no folder), when that name leads to this very program;
// otherwise executable_path().
std::string started_path();
// The started name's file name without folder and extension ("luma10-qzv").
std::string program_name();
// The configuration folder, without a trailing slash; "" when there is none
// the program may use.
std::string config_dir();
// Why config_dir() is "" (a Russian sentence without its full stop, for a
// message); "" when there is a folder.
std::string config_dir_problem();
// <config folder>/ports: links named com1, com2, ... choose what COM n opens.
// "" without a configuration folder, or when the ports folder is not the
// user's own.
std::string ports_dir();
// The user's runtime folder ($XDG_RUNTIME_DIR) when it is the user's own;
// else "". Holds the instance lock when there is no configuration folder.
std::string runtime_dir();
// Creates a folder and its parents; true when it exists afterwards.
bool make_dirs(const std::string& path);
// True when path is a folder that belongs to this user (or to root) and that
// no other user may write in: what it holds was put there by the user. why
// (optional) gets the Russian reason when it is not.
bool folder_is_users_own(const std::string& path, std::string* why = nullptr);

}  // namespace plat
