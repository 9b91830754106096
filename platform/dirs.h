// Folder listing and path helpers for the toolkit's save-file dialog. Paths
// are UTF-8.
#pragma once

#include <string>
#include <vector>

namespace plat {

struct DirEntry {
    std::string name;
    bool is_dir = false;
};

// Entries of a folder without "." and ".."; false when it cannot be read.
bool list_dir(const std::string& path, std::vector<DirEntry>* out);
bool is_dir(const std::string& path);
// The working folder, or "/" when it cannot be found.
std::string current_dir();
// The user's home folder ($HOME), or the working folder.
std::string home_dir();

}  // namespace plat
