// Crash-safe reading and writing of one file through three companion files:
//   <name>.fswwb_new               the new content while it is written;
//   <name>.fswwb_original_backup   the old content during the swap;
//   <name>.fswwb_creatingnow       marks that a first-time creation is running.
// At every moment either the file, or a complete .fswwb_new, or the backup, or
// the marker tells the next read what to do; reading repairs first.
#pragma once

#include <cstddef>
#include <string>

#include "platform/files.h"

class SafeFile_t {
public:
    enum State : int { kIdle = 0, kReplacing = 1, kReading = 2, kCreating = 3 };

    explicit SafeFile_t(const std::string& name);
    // Commits a write in progress; closes a file being read.
    ~SafeFile_t();
    SafeFile_t(const SafeFile_t&) = delete;
    SafeFile_t& operator=(const SafeFile_t&) = delete;

    // Repairs what an interrupted write left behind and opens the file for
    // reading. False when there is nothing to read.
    bool OpenRead();
    // Appends the whole file to bytes in chunks of 1024; returns bytes read.
    size_t ReadAll(std::string& bytes);

    // Repairs as OpenRead does, then creates the new file (when there is no
    // file yet, after the marker).
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

// The number of bytes read into bytes (replaced); 0 when there is nothing to read.
size_t ReadFileSafely(const std::string& name, std::string& bytes);
// The number of bytes written; 0 when the file could not be written completely
// (the previous file then stays as it was).
size_t WriteFileSafely(const std::string& name, const void* data, size_t n);
inline size_t WriteFileSafely(const std::string& name, const std::string& bytes) {
    return WriteFileSafely(name, bytes.data(), bytes.size());
}
