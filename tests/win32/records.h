#pragma once

#include <string>

namespace win32_test {

// Two whole records of a file, told apart by their first letter; large enough
// that writing one takes a while.
inline const std::string& record(unsigned which) {
    static const std::string a(256 * 1024, 'A'), b(256 * 1024, 'B');
    return which == 0 ? a : b;
}

}  // namespace win32_test
