// Crash-safe reading and writing of one file through three companion files:
//   <name>.fswwb_new               the new content while it is written;
//   <name>.fswwb_original_backup   the old content during the swap;
//   <name>.fswwb_creatingnow       marks that a first-time creation is running.
// At every moment either the file, or a complete .fswwb_new, or the backup, or
// the marker tells the next read what to do; reading repairs first.
//
// Only regular files take part: a companion name held by anything else (a
// link, a FIFO) is removed, never read or written through, and a file that
// is not a regular file is never replaced.
#pragma once

#include <cstddef>
#include <string>

#include "platform/files.h"

class SafeFile_t {
public:
    enum State : int { kIdle = 0, kReplacing = 1, kCreating = 3 };

    explicit SafeFile_t(const std::string& name);
    // Commits a write in progress.
    ~SafeFile_t();
    SafeFile_t(const SafeFile_t&) = delete;
    SafeFile_t& operator=(const SafeFile_t&) = delete;

    // Repairs what an interrupted write left behind and reads the whole file
    // (at most max_bytes) into bytes.
    plat::ReadResult Read(std::string& bytes, size_t max_bytes);

    // Repairs as Read does, then creates the new file (when there is no file
    // yet, after the marker). False when the name is held by something other
    // than a regular file, or a companion cannot be created.
    bool OpenWrite();
    bool Write(const void* data, size_t n);
    // Forces the new file to disk and puts it in place of the old one. When
    // writing, syncing or closing failed, removes the new file (and the marker)
    // instead, leaves the old file alone and answers false.
    bool Commit();

    State state() const { return state_; }
    const std::string& new_name() const { return new_; }
    const std::string& backup_name() const { return backup_; }
    const std::string& marker_name() const { return marker_; }

private:
    void Repair();
    void Abandon();

    State state_ = kIdle;
    bool failed_ = false;
    std::string name_, new_, backup_, marker_;
    plat::File_t file_;
};

// Reads the file (after the repair) into bytes (replaced); the outcome says
// whether there was a regular file of at most max_bytes to read.
plat::ReadResult ReadFileSafely(const std::string& name, std::string& bytes, size_t max_bytes);
// The number of bytes written; 0 when the file could not be written completely
// (the previous file then stays as it was) or the name is held by something
// other than a regular file.
size_t WriteFileSafely(const std::string& name, const void* data, size_t n);
inline size_t WriteFileSafely(const std::string& name, const std::string& bytes) {
    return WriteFileSafely(name, bytes.data(), bytes.size());
}
