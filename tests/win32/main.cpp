// The Windows platform tests. Started as "win32_tests --save-loop FILE" the
// program is instead the writer that the killed-writer test ends from outside.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/safe_file.h"
#include "tests/win32/records.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-loop") == 0) {
        for (unsigned i = 0;; ++i) {
            const std::string& r = win32_test::record(i % 2);
            WriteFileSafely(argv[2], r.data(), r.size());
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
