// Sanitizer builds read the suppressions of the libraries' own leaks and
// races (fontconfig keeps its configuration for the life of the process) from
// files under tests/. These hooks are ignored in builds without sanitizers.
extern "C" const char* __lsan_default_options() { return "suppressions=" LUMA_TESTS_DIR "/lsan.supp"; }
extern "C" const char* __tsan_default_options() { return "suppressions=" LUMA_TESTS_DIR "/tsan.supp"; }
