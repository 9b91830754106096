// Journal exports: CSV (header line, one line per record) or plain text (each
// record's text and a line feed), as the bytes of a UTF-8 file with a
// byte-order mark, and the safe writing of such a file.
//
// Numbers with a fraction are printed with the decimal separator of the
// numeric locale given (the user's default when ""), switched on the calling
// thread only while the export is built; the thread's previous numeric locale
// is back in force on return.
#pragma once

#include <string>

#include "foundation/containers.h"
#include "foundation/error.h"
#include "model/journal_records.h"

namespace luma {

enum class export_format { csv, text };

// BOM + UTF-8 export of a journal. Line feeds are single bytes.
std::string export_bytes(const Array_T<item1_t>& records, export_format format, const char* numeric_locale = "");
std::string export_bytes(const Array_T<item2_t>& records, export_format format, const char* numeric_locale = "");
std::string export_bytes(const Array_T<item3_t>& records, export_format format, const char* numeric_locale = "");
std::string export_bytes(const Array_T<item4_t>& records, export_format format, const char* numeric_locale = "");
std::string export_bytes(const Array_T<item6_t>& records, export_format format, const char* numeric_locale = "");
std::string export_bytes(const Array_T<item7_t>& records, export_format format, const char* numeric_locale = "");
std::string export_bytes(const counters_t& counters, export_format format, const char* numeric_locale = "");

// "Экспорт журнала": why an export file could not be written.
enum export_code : int32_t {
    kExportOk = 0,
    kExportCreateFailed = 1,
    kExportWriteFailed = 2,
    kExportReplaceFailed = 3,
    kExportNoAccess = 4,
    kExportDiskFull = 5,
    kExportNoFolder = 6,
    kExportFolderRefusesFiles = 7,
    kExportTargetIsFolder = 8,
    kExportNameTooLong = 9,
    kExportReadOnlyDisk = 10,
    kExportNotRegularFile = 11,
};

const stdoff::error_category& export_category();

// Writes the bytes under path through a fresh file that replaces the old one
// only once it is complete on disk: a failed write never leaves a truncated
// file and never destroys an existing file of that name. Only a regular file
// is replaced: a device, a FIFO, a socket or a link under the name is refused
// (kExportNotRegularFile) and stays as it was.
error_value_t write_export_file(const std::string& path, const std::string& bytes);

// "Журнал не сохранён в файл <path>: Экспорт журнала: <message>", the one-line
// form of a failed export (luma10ctl's standard error).
ustring_t export_failure_text(const std::string& path, const error_value_t& e);

}  // namespace luma
