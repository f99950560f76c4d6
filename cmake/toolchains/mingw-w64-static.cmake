# Read after CMake's Windows-GNU platform file (through
# CMAKE_USER_MAKE_RULES_OVERRIDE, set by mingw-w64-common.cmake), which would
# otherwise prefer import libraries (.dll.a) over static ones: find_library and
# pkg-config's "-lz" then resolve to static archives only, so the program
# needs no DLL beside it. MinGW's own system import libraries (ws2_32,
# crypt32, ...) are named lib*.a and are still found.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
