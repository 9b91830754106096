# 64-bit Windows: cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
if(LUMA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMA_WINE64})
endif()
