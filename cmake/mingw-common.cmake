# Shared part of the MinGW-w64 toolchain files: a Windows target built on
# Linux with Debian's cross compilers (the "posix" thread model, which gives
# std::thread and std::mutex), linked statically so that one folder of .exe
# files runs on a bare Windows without MinGW's runtime DLLs beside it.
#
# Set LUMA_MINGW_TRIPLE before including this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LUMA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Unicode Win32 calls (the W functions) and an API level of Windows 7.
set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0601")
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0601")
# Test programs run under Wine on the build machine.
find_program(LUMA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(LUMA_WINE64 NAMES wine64 wine)
