# 32-bit Windows with MinGW-w64 (Debian's mingw-w64 package), posix threads,
# runtimes linked statically. See mingw-w64-common.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUORVEL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
