// File operations for the configuration file and its crash-safe replacement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// True when an entry of that exact name exists and is not a directory.
bool file_exists(const std::string& path);
// Renames, replacing an existing target. True on success.
bool rename_file(const std::string& from, const std::string& to);
// Deletes a file. True when it is gone afterwards (also when it never existed).
bool delete_file(const std::string& path);
// Flushes the folder holding path, so renames and creations in it survive a
// power loss. True on success.
bool sync_folder_of(const std::string& path);

// One open file, closed by the destructor (without syncing).
class File_t {
public:
    File_t() = default;
    ~File_t();
    File_t(const File_t&) = delete;
    File_t& operator=(const File_t&) = delete;

    // Creates or truncates the file for binary writing.
    bool create(const std::string& path);
    // Opens an existing file for binary reading.
    bool open_read(const std::string& path);
    bool is_open() const { return fd_ >= 0; }

    // Writes all n bytes; false on any failure (a full disk, an I/O error).
    bool write_all(const void* data, size_t n);
    // Reads up to n bytes; fewer only at end of file. -1 on error.
    long read(void* buf, size_t n);
    // Forces the written bytes to the disk.
    bool sync();
    // True when the file was open and closed cleanly.
    bool close();

private:
    int fd_ = -1;
};

// A lock held for the life of the object by at most one process: the named
// instance mutex. The lock file <name>.lock lives in the configuration folder,
// or in /tmp when that folder is not usable.
class InstanceLock_t {
public:
    InstanceLock_t() = default;
    ~InstanceLock_t() { close(); }
    InstanceLock_t(const InstanceLock_t&) = delete;
    InstanceLock_t& operator=(const InstanceLock_t&) = delete;

    // Opens the lock. already_existed tells whether another holder (another
    // process, or another open in this one) has it. False only when no lock
    // file could be opened at all.
    bool open(const std::string& name, bool* already_existed);
    bool owns() const { return owns_; }
    void close();

private:
    int fd_ = -1;
    bool owns_ = false;
};

}  // namespace plat
