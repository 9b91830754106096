#include "model/journal_export.h"

#include <atomic>
#include <cerrno>
#include <random>

#include "model/journal_text.h"
#include "platform/dirs.h"
#include "platform/numeric_locale.h"
#include "platform/files.h"

namespace luma {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

template <typename T> constexpr journal_kind kind_of();
template <> constexpr journal_kind kind_of<item1_t>() { return journal_kind::threshold1; }
template <> constexpr journal_kind kind_of<item2_t>() { return journal_kind::threshold2; }
template <> constexpr journal_kind kind_of<item3_t>() { return journal_kind::alarms; }
template <> constexpr journal_kind kind_of<item4_t>() { return journal_kind::setup; }
template <> constexpr journal_kind kind_of<item6_t>() { return journal_kind::config; }
template <> constexpr journal_kind kind_of<item7_t>() { return journal_kind::trend; }

template <typename T>
std::string build(const Array_T<T>& records, export_format format, const char* numeric_locale) {
    plat::ScopedNumericLocale locale(numeric_locale);
    std::string out(kBom);
    if (format == export_format::csv) {
        out += jtext::header(kind_of<T>());
        out += '\n';
        for (const T& r : records) {
            out += jtext::csv(r);
            out += '\n';
        }
    } else {
        for (const T& r : records) {
            out += jtext::text(r);
            out += '\n';
        }
    }
    return out;
}

}  // namespace

std::string export_bytes(const Array_T<item1_t>& r, export_format f, const char* l) { return build(r, f, l); }
std::string export_bytes(const Array_T<item2_t>& r, export_format f, const char* l) { return build(r, f, l); }
std::string export_bytes(const Array_T<item3_t>& r, export_format f, const char* l) { return build(r, f, l); }
std::string export_bytes(const Array_T<item4_t>& r, export_format f, const char* l) { return build(r, f, l); }
std::string export_bytes(const Array_T<item6_t>& r, export_format f, const char* l) { return build(r, f, l); }
std::string export_bytes(const Array_T<item7_t>& r, export_format f, const char* l) { return build(r, f, l); }

std::string export_bytes(const counters_t& c, export_format format, const char* numeric_locale) {
    plat::ScopedNumericLocale locale(numeric_locale);
    std::string out(kBom);
    if (format == export_format::csv) {
        out += jtext::header(journal_kind::counters);
        out += '\n';
        out += jtext::csv(c);
    } else {
        out += jtext::text(c);
    }
    out += '\n';
    return out;
}

namespace {

const char16_t* export_message(int32_t code) {
    switch (code) {
    case kExportOk: return u"Нет ошибки";
    case kExportCreateFailed: return u"Не удалось создать файл";
    case kExportWriteFailed: return u"Не удалось записать файл";
    case kExportReplaceFailed: return u"Не удалось заменить существующий файл";
    case kExportNoAccess: return u"Нет доступа к папке или файлу";
    case kExportDiskFull: return u"Недостаточно места на диске";
    case kExportNoFolder: return u"Папка не найдена";
    case kExportFolderRefusesFiles: return u"В этой папке нельзя создавать файлы";
    case kExportTargetIsFolder: return u"Под этим именем уже есть папка";
    case kExportNameTooLong: return u"Слишком длинное имя файла";
    case kExportReadOnlyDisk: return u"Диск доступен только для чтения";
    case kExportNotRegularFile:
        return u"Под этим именем не обычный файл (устройство, канал, сокет или ссылка), его экспорт не заменяет";
    default: return u"Неизвестная ошибка";
    }
}

constinit const named_category_t kExportCategory{u"Экспорт журнала", export_message};

std::atomic<unsigned> g_fresh_counter{0};

error_value_t export_error(int32_t code) { return error_value_t(code, export_category()); }

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Names the cause when the system told one, else the step that failed. A
// missing entry is the folder only when the folder is really absent: virtual
// file systems such as /proc answer the same to a new file in a folder that
// exists.
error_value_t export_failure(int os_error, int32_t step_code, const std::string& path) {
    switch (os_error) {
    case EACCES: case EPERM: return export_error(kExportNoAccess);
    case EROFS: return export_error(kExportReadOnlyDisk);
    case ENOSPC: case EDQUOT: return export_error(kExportDiskFull);
    case ENOTDIR: return export_error(kExportNoFolder);
    case ENOENT:
        if (!plat::is_dir(folder_of(path))) return export_error(kExportNoFolder);
        return export_error(step_code == kExportCreateFailed ? kExportFolderRefusesFiles : step_code);
    case EISDIR: return export_error(kExportTargetIsFolder);
    case ENAMETOOLONG: return export_error(kExportNameTooLong);
    default: return export_error(step_code);
    }
}

}  // namespace

const stdoff::error_category& export_category() { return kExportCategory; }

error_value_t write_export_file(const std::string& path, const std::string& bytes) {
    // What holds the name now: nothing, or a regular file, may be replaced.
    // A device node replaced by a file would break the system (as root,
    // /dev/full would turn into a CSV file); a link would lose its target.
    if (!plat::is_absent(path)) {
        if (plat::is_dir(path)) return export_error(kExportTargetIsFolder);
        if (!plat::is_regular_file(path)) return export_error(kExportNotRegularFile);
    }
    // The bytes go to a fresh file in the target's folder (same file system, so
    // the rename is atomic), which is flushed to disk before it takes the
    // target's name. Its name does not grow with the target's, which may
    // already be as long as the file system allows; the random part keeps two
    // programs exporting into one folder apart. The fresh file is always a
    // new one: a name already taken (by a planted link, say) is not written
    // through but skipped for another.
    std::string fresh;
    plat::File_t file;
    for (int attempt = 0;; ++attempt) {
        fresh = folder_of(path) + "/.luma10_export_" + std::to_string(std::random_device{}()) + "_" +
                std::to_string(g_fresh_counter++) + ".tmp";
        if (file.create_new(fresh)) break;
        const int os_error = errno;
        if (os_error != EEXIST || attempt == 3) return export_failure(os_error, kExportCreateFailed, path);
    }
    bool ok = file.write_all(bytes.data(), bytes.size()) && file.sync();
    int os_error = errno;
    if (!file.close() && ok) {
        ok = false;
        os_error = errno;
    }
    if (!ok) {
        plat::delete_file(fresh);
        return export_failure(os_error, kExportWriteFailed, path);
    }
    // Looked at again: the name may have changed hands while the bytes were written.
    if (!plat::is_absent(path) && !plat::is_regular_file(path)) {
        plat::delete_file(fresh);
        return export_error(plat::is_dir(path) ? kExportTargetIsFolder : kExportNotRegularFile);
    }
    if (!plat::rename_file(fresh, path)) {
        os_error = errno;
        plat::delete_file(fresh);
        return export_failure(os_error, kExportReplaceFailed, path);
    }
    // Makes the rename itself durable; either way a complete file is in place.
    plat::sync_folder_of(path);
    return success();
}

ustring_t export_failure_text(const std::string& path, const error_value_t& e) {
    ustring_t t = text::u16("Журнал не сохранён в файл " + path + ": ");
    t += e.describe();
    return t;
}

}  // namespace luma
