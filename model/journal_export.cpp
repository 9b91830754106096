#include "model/journal_export.h"

#include <cerrno>

#include "model/journal_text.h"
#include "platform/numeric_locale.h"
#include "platform/replace_file.h"

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

const char16_t* export_category_t::name() const { return u"Экспорт журнала"; }

const char16_t* export_category_t::message(int32_t code) const {
    switch (code) {
    case kExportOk: return u"Нет ошибки";
    case kExportCreateFailed: return u"Не удалось создать файл";
    case kExportWriteFailed: return u"Не удалось записать файл";
    case kExportReplaceFailed: return u"Не удалось заменить существующий файл";
    case kExportNoAccess: return u"Нет доступа к папке или файлу";
    case kExportDiskFull: return u"Недостаточно места на диске";
    case kExportNoFolder: return u"Папка не найдена";
    default: return u"Неизвестная ошибка";
    }
}

const stdoff::error_category& export_category() {
    static const export_category_t instance;
    return instance;
}

error_value_t write_export_file(const std::string& path, const std::string& bytes) {
    const plat::replace_result_t r = plat::replace_file_contents(path, bytes.data(), bytes.size());
    if (r.ok()) return success();
    switch (r.os_error) {
    case EACCES: case EPERM: case EROFS:
        return error_value_t(kExportNoAccess, export_category());
    case ENOSPC: case EDQUOT:
        return error_value_t(kExportDiskFull, export_category());
    case ENOENT: case ENOTDIR:
        return error_value_t(kExportNoFolder, export_category());
    default:
        break;
    }
    switch (r.step) {
    case plat::replace_step::create: return error_value_t(kExportCreateFailed, export_category());
    case plat::replace_step::replace: return error_value_t(kExportReplaceFailed, export_category());
    default: return error_value_t(kExportWriteFailed, export_category());
    }
}

}  // namespace luma
