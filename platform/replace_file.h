// Writes a whole file so that a reader of that name only ever sees the old
// contents or the complete new ones: the bytes go to a fresh file in the same
// folder, which is flushed to the disk and then renamed over the target. When
// any step fails the fresh file is removed and an existing target stays as it
// was.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

enum class replace_step {
    none,     // success
    create,   // the fresh file could not be created (folder missing, no access)
    write,    // writing, flushing or closing failed (disk full, I/O error)
    replace,  // the fresh file could not be renamed over the target
};

struct replace_result_t {
    replace_step step = replace_step::none;
    int os_error = 0;  // errno of the failed call
    bool ok() const { return step == replace_step::none; }
};

replace_result_t replace_file_contents(const std::string& path, const void* data, size_t size);

}  // namespace plat
