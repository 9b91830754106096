# Tests of the Windows build: the suites that need no pseudo-terminal, built
# as .exe and run under Wine through CMAKE_CROSSCOMPILING_EMULATOR (the
# toolchain file sets it), one ctest entry per program. GoogleTest is built
# from Debian's sources (/usr/src/googletest) with the cross compiler.
set(LUMA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${LUMA_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own CMake defines the GTest::gtest and GTest::gtest_main aliases.

# A suite: a program from the named test sources, linking the named libraries.
function(luma_windows_suite name)
  cmake_parse_arguments(S "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${S_SOURCES})
  target_link_libraries(${name} PRIVATE ${S_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

set(t ${PROJECT_SOURCE_DIR}/tests)
luma_windows_suite(foundation_tests
  SOURCES ${t}/foundation/values_test.cpp ${t}/foundation/worker_test.cpp
  LIBS luma_foundation)
luma_windows_suite(model_tests
  SOURCES ${t}/model/codes_test.cpp ${t}/model/params_test.cpp
  LIBS luma_model)
# The Windows platform layer's own tests; their main() doubles as the writer
# that one test ends from outside.
file(GLOB win32_tests CONFIGURE_DEPENDS ${t}/win32/*_test.cpp)
add_executable(win32_tests ${win32_tests} ${t}/win32/main.cpp)
target_link_libraries(win32_tests PRIVATE luma_foundation luma_platform GTest::gtest)
add_test(NAME win32_tests COMMAND win32_tests)

# The native UI layer's tests need a display: scripts/test_windows_gui.sh
# runs them under Wine on a virtual X server, so they are no ctest entry.
if(LUMA_GUI)
  add_executable(native_ui_tests ${t}/win32/ui/native_ui_test.cpp)
  target_link_libraries(native_ui_tests PRIVATE luma_native_ui GTest::gtest_main)
endif()

# The fuzz targets' seed corpora, replayed.
set(fuzz_reply_parser_libs luma_link)
set(fuzz_master_libs luma_link)
set(fuzz_journal_records_libs luma_model)
foreach(name reply_parser master journal_records)
  add_executable(fuzz_${name} ${t}/fuzz/fuzz_${name}.cpp ${t}/fuzz/replay_main.cpp)
  target_link_libraries(fuzz_${name} PRIVATE ${fuzz_${name}_libs})
  file(GLOB seeds CONFIGURE_DEPENDS ${t}/fuzz/corpus/${name}/*)
  add_test(NAME fuzz_replay.${name} COMMAND fuzz_${name} ${seeds})
endforeach()
