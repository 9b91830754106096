#include "foundation/safe_file.h"

using plat::delete_file;
using plat::file_exists;
using plat::rename_file;

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
    if (file_exists(name_)) {
        delete_file(new_);
        delete_file(backup_);
        delete_file(marker_);
    } else if (file_exists(marker_)) {
        // A first-time creation was cut short: its new file is incomplete.
        delete_file(new_);
        delete_file(marker_);
    } else if (file_exists(new_)) {
        // Cut short after the old file was moved away: the new file is complete.
        rename_file(new_, name_);
        delete_file(backup_);
        delete_file(marker_);
    } else if (file_exists(backup_)) {
        rename_file(backup_, name_);
        delete_file(marker_);
    }
}

bool SafeFile_t::OpenRead() {
    if (state_ != kIdle) return false;
    Repair();
    if (!file_exists(name_) || !file_.open_read(name_)) return false;
    state_ = kReading;
    return true;
}

size_t SafeFile_t::ReadAll(std::string& bytes) {
    if (state_ != kReading) return 0;
    char chunk[1024];
    size_t total = 0;
    for (;;) {
        long got = file_.read(chunk, sizeof chunk);
        if (got < 0) break;
        bytes.append(chunk, static_cast<size_t>(got));
        total += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < sizeof chunk) break;
    }
    file_.close();
    state_ = kIdle;
    return total;
}

bool SafeFile_t::OpenWrite() {
    if (state_ != kIdle) return false;
    failed_ = false;
    // Whatever an interrupted write left is put right first: without a file,
    // a complete .fswwb_new or a backup may be the only copy of the content,
    // and the first-time path below would truncate the one and orphan the other.
    Repair();
    if (file_exists(name_)) {
        if (!file_.create(new_)) return false;
        state_ = kReplacing;
        return true;
    }
    // The marker comes first and must be on disk before the new file exists:
    // a new file found without a marker is taken for a complete one, so an
    // empty or half-written first file must never be seen without it.
    plat::File_t marker;
    if (!marker.create(marker_) || !marker.close() || !plat::sync_folder_of(marker_)) {
        delete_file(marker_);
        return false;
    }
    if (!file_.create(new_)) {
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

size_t ReadFileSafely(const std::string& name, std::string& bytes) {
    bytes.clear();
    SafeFile_t f(name);
    if (!f.OpenRead()) return 0;
    return f.ReadAll(bytes);
}

size_t WriteFileSafely(const std::string& name, const void* data, size_t n) {
    SafeFile_t f(name);
    if (!f.OpenWrite()) return 0;
    f.Write(data, n);
    return f.Commit() ? n : 0;
}
