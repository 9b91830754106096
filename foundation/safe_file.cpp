#include "foundation/safe_file.h"

using plat::delete_file;
using plat::is_regular_file;
using plat::rename_file;

namespace {
// The main name counts as present whatever holds it: a FIFO or a link in its
// place is not to be "repaired" away by a companion.
bool present(const std::string& path) { return !plat::is_absent(path); }
}  // namespace

SafeFile_t::SafeFile_t(const std::string& name)
    : name_(name),
      new_(name + ".fswwb_new"),
      backup_(name + ".fswwb_original_backup"),
      marker_(name + ".fswwb_creatingnow") {}

SafeFile_t::~SafeFile_t() {
    if (state_ == kReplacing || state_ == kCreating) Commit();
    file_.close();
}

void SafeFile_t::Repair() {
    // A companion is only ever made by this code, as a regular file; a link or
    // anything else under a companion's name was planted and goes first.
    for (const std::string* c : {&new_, &backup_, &marker_})
        if (present(*c) && !is_regular_file(*c)) delete_file(*c);
    if (present(name_)) {
        delete_file(new_);
        delete_file(backup_);
        delete_file(marker_);
    } else if (is_regular_file(marker_)) {
        // A first-time creation was cut short: its new file is incomplete.
        delete_file(new_);
        delete_file(marker_);
    } else if (is_regular_file(new_)) {
        // Cut short after the old file was moved away: the new file is complete.
        rename_file(new_, name_);
        delete_file(backup_);
        delete_file(marker_);
    } else if (is_regular_file(backup_)) {
        rename_file(backup_, name_);
        delete_file(marker_);
    }
}

plat::ReadResult SafeFile_t::Read(std::string& bytes, size_t max_bytes) {
    bytes.clear();
    if (state_ != kIdle) return plat::ReadResult::failed;
    Repair();
    return plat::read_regular_file(name_, max_bytes, bytes);
}

bool SafeFile_t::OpenWrite() {
    if (state_ != kIdle) return false;
    failed_ = false;
    // Whatever an interrupted write left is put right first: without a file,
    // a complete .fswwb_new or a backup may be the only copy of the content,
    // and the first-time path below would truncate the one and orphan the other.
    Repair();
    if (present(name_)) {
        // Replacing takes the name away from what holds it: only a regular
        // file may go (never a device, a FIFO, or a link the user made).
        if (!is_regular_file(name_)) return false;
        if (!file_.create_new(new_)) return false;
        state_ = kReplacing;
        return true;
    }
    // The marker comes first and must be on disk before the new file exists:
    // a new file found without a marker is taken for a complete one, so an
    // empty or half-written first file must never be seen without it.
    plat::File_t marker;
    if (!marker.create_new(marker_) || !marker.close() || !plat::sync_folder_of(marker_)) {
        delete_file(marker_);
        return false;
    }
    if (!file_.create_new(new_)) {
        delete_file(marker_);
        return false;
    }
    state_ = kCreating;
    return true;
}

bool SafeFile_t::Write(const void* data, size_t n) {
    if (state_ != kReplacing && state_ != kCreating) return false;
    if (!failed_ && !file_.write_all(data, n)) failed_ = true;
    return !failed_;
}

void SafeFile_t::Abandon() {
    file_.close();
    delete_file(new_);
    if (state_ == kCreating) delete_file(marker_);
    state_ = kIdle;
}

bool SafeFile_t::Commit() {
    if (state_ != kReplacing && state_ != kCreating) return false;
    bool synced = !failed_ && file_.sync();
    bool closed = file_.close();
    if (!synced || !closed) {
        Abandon();
        return false;
    }
    // The new file must end up under the file's name; if that rename fails
    // (the name is taken by a folder, say), the old content goes back in place
    // and the write counts as failed.
    if (state_ == kReplacing) {
        if (!is_regular_file(name_)) {  // swapped for something else meanwhile
            Abandon();
            return false;
        }
        rename_file(name_, backup_);
        if (!rename_file(new_, name_)) {
            rename_file(backup_, name_);
            Abandon();
            return false;
        }
        plat::sync_folder_of(name_);
        delete_file(backup_);
    } else {
        if (!rename_file(new_, name_)) {
            Abandon();
            return false;
        }
        plat::sync_folder_of(name_);
        delete_file(marker_);
    }
    // A companion that survives a power loss here is removed by the next read.
    state_ = kIdle;
    return true;
}

plat::ReadResult ReadFileSafely(const std::string& name, std::string& bytes, size_t max_bytes) {
    SafeFile_t f(name);
    return f.Read(bytes, max_bytes);
}

size_t WriteFileSafely(const std::string& name, const void* data, size_t n) {
    SafeFile_t f(name);
    if (!f.OpenWrite()) return 0;
    f.Write(data, n);
    return f.Commit() ? n : 0;
}
