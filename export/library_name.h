#pragma once
// The name by which a C library that opens files with fopen() reaches a file
// or folder: libxlsxwriter does so for the workbook and its temporary files.
// One implementation per system (library_name_posix.cpp, library_name_windows.cpp).

#include <filesystem>
#include <optional>
#include <string>

namespace quorvel::exporting {

// None when the system has no such name for `existing` (which must exist).
std::optional<std::string> library_file_name(const std::filesystem::path& existing);

}  // namespace quorvel::exporting
