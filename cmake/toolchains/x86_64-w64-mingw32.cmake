# 64-bit Windows with MinGW-w64 (Debian's mingw-w64 package), posix threads,
# runtimes linked statically. See mingw-w64-common.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVEL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
