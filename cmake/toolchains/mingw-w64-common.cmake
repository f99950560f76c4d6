# Shared part of the MinGW-w64 toolchain files. The including file sets
# QUORVEL_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
#
# The -posix compilers use the winpthreads threading model, which std::thread,
# std::mutex and std::condition_variable need. Executables link the C and C++
# runtimes and winpthreads statically, so they need no MinGW DLLs beside them.
#
# Libraries are searched for in the MinGW sysroot (/usr/<triple>, where
# Debian's libz-mingw-w64-dev puts zlib) and in the prefix that
# scripts/windows.sh builds the other dependencies into, given as
# -DQUORVEL_WIN_PREFIX=DIR or in the environment variable of the same name.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUORVEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_TRIPLE}-windres)

if(NOT QUORVEL_WIN_PREFIX AND DEFINED ENV{QUORVEL_WIN_PREFIX})
  set(QUORVEL_WIN_PREFIX "$ENV{QUORVEL_WIN_PREFIX}")
endif()
# try_compile projects read the toolchain file again; pass the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_WIN_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_TRIPLE})
if(QUORVEL_WIN_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${QUORVEL_WIN_PREFIX}")
  # pkg-config must read the target's .pc files, never the build machine's.
  set(ENV{PKG_CONFIG_LIBDIR}
      "${QUORVEL_WIN_PREFIX}/lib/pkgconfig:${QUORVEL_WIN_PREFIX}/share/pkgconfig:/usr/${QUORVEL_MINGW_TRIPLE}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libraries only: an import library (.dll.a) would make the program
# depend on a DLL. CMake's Windows-GNU platform file sets the library suffixes
# after this file is read, so they are set again in a rules override read
# after it. FindZLIB is told as well (libz-mingw-w64-dev ships both kinds).
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-static.cmake)
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Test executables (and gtest_discover_tests at build time) run under Wine.
find_program(QUORVEL_WINE NAMES wine)
if(QUORVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORVEL_WINE}")
endif()
