#include "platform/dirs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace plat {

bool list_dir(const std::string& path, std::vector<DirEntry>* out) {
    out->clear();
    std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(path.empty() ? "." : path.c_str()), closedir);
    if (!d) return false;
    while (dirent* e = readdir(d.get())) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        std::string full = path == "/" ? "/" + n : path + "/" + n;
        out->push_back({n, is_dir(full)});
    }
    return true;
}

bool is_dir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string current_dir() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

std::string home_dir() {
    const char* h = std::getenv("HOME");
    return h && *h && is_dir(h) ? std::string(h) : current_dir();
}

}  // namespace plat
