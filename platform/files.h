// File operations for the configuration file and its crash-safe replacement,
// journal exports and the simulator's state file.
//
// Files this program creates are always new files: an entry already under the
// name (a file, a link, even a link to nothing) makes the creation fail, so a
// link planted in a shared folder never turns a write into a write elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// True when an entry of that exact name exists and is not a directory
// (links are followed).
bool file_exists(const std::string& path);
// True when the entry itself (links not followed) is a regular file.
bool is_regular_file(const std::string& path);
// True when no entry of that name can be seen at all (not even a dangling
// link): it is missing, or a part of the path is.
bool is_absent(const std::string& path);
// Renames, replacing an existing target. True on success.
bool rename_file(const std::string& from, const std::string& to);
// Deletes a file. True when it is gone afterwards (also when it never existed).
bool delete_file(const std::string& path);
// Flushes the folder holding path, so renames and creations in it survive a
// power loss. True on success.
bool sync_folder_of(const std::string& path);

// The operating system's reason for the last failed call (errno), and its
// Russian sentence ("Нет такого файла или папки"), for messages.
int last_error();
std::string error_text(int os_error);

// What reading a whole small file found.
enum class ReadResult {
    read,         // bytes hold the whole file
    absent,       // nothing under the name (or a link to nothing)
    not_regular,  // a folder, a device, a FIFO, a socket (or a link to one)
    too_large,    // a regular file larger than the limit
    failed,       // it could not be opened or read (error_text of last_error)
};
// Reads a regular file of at most max_bytes into bytes (replaced). Links are
// followed. A device or FIFO is never read, so /dev/zero cannot fill the memory
// and a FIFO without a writer cannot block.
ReadResult read_regular_file(const std::string& path, size_t max_bytes, std::string& bytes);

// One open file, closed by the destructor (without syncing).
class File_t {
public:
    File_t() = default;
    ~File_t();
    File_t(const File_t&) = delete;
    File_t& operator=(const File_t&) = delete;

    // Creates a new file for binary writing, readable by everyone and
    // writable by its owner. Fails when anything, even a dangling link,
    // already has the name.
    bool create_new(const std::string& path);
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
    intptr_t fd_ = -1;  // a descriptor, or a handle on Windows; -1 when closed
};

// A lock held for the life of the object by at most one process: the named
// instance mutex. The lock file <name>.lock lives in the configuration folder,
// or in the user's runtime folder ($XDG_RUNTIME_DIR) when there is no usable
// configuration folder; never in a folder another user can write.
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
    intptr_t fd_ = -1;  // a descriptor, or the mutex's handle on Windows
    bool owns_ = false;
};

}  // namespace plat
