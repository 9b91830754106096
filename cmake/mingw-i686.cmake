# 32-bit Windows: cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# Its programs need Wine's 32-bit part to run on Linux (the wine32 package).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
