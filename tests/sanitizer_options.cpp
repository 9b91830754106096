// Sanitizer builds read the suppressions of the libraries' own leaks and
// races (fontconfig keeps its configuration for the life of the process) from
// files under tests/. These hooks are ignored in builds without sanitizers.
extern "C" const char* __lsan_default_options() { return "suppressions=" LUMA_TESTS_DIR "/lsan.supp"; }
extern "C" const char* __tsan_default_options() { return "suppressions=" LUMA_TESTS_DIR "/tsan.supp"; }

#include <cstdlib>

namespace {
// Programs the tests start (luma10, luma10ctl, the simulator) take the same
// suppressions through the environment they inherit; a value already set by
// the caller wins.
const int kChildSanitizerOptions = [] {
    ::setenv("LSAN_OPTIONS", "suppressions=" LUMA_TESTS_DIR "/lsan.supp", 0);
    ::setenv("TSAN_OPTIONS", "suppressions=" LUMA_TESTS_DIR "/tsan.supp", 0);
    return 0;
}();
}  // namespace
