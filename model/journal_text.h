// UTF-8 forms of the journal texts, shared by the record texts and the export
// builder (which writes UTF-8 and so skips a round trip through UTF-16).
#pragma once

#include <string>

#include "model/journal_records.h"

namespace luma::jtext {

// snprintf into a std::string of any length.
std::string printf8(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string display_time(const device_time_t& t);
std::string csv_time(const device_time_t& t);

std::string text(const item1_t& r);
std::string text(const item2_t& r);
std::string text(const item3_t& r);
std::string text(const item4_t& r);
std::string text(const item6_t& r);
std::string text(const item7_t& r);
std::string text(const counters_t& c);

std::string csv(const item1_t& r);
std::string csv(const item2_t& r);
std::string csv(const item3_t& r);
std::string csv(const item4_t& r);
std::string csv(const item6_t& r);
std::string csv(const item7_t& r);
std::string csv(const counters_t& c);
const char* header(journal_kind kind);

}  // namespace luma::jtext
