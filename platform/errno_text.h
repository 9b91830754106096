// The sentences for the C runtime's error numbers that every platform shares.
// Each platform's error_text (platform/files.h) answers its own numbers first
// and then asks this table, so a sentence is written once.
#pragma once

#include <string>

namespace plat {

// The sentence for os_error; "Системная ошибка N" for a number it does not know.
std::string errno_text(int os_error);

}  // namespace plat
