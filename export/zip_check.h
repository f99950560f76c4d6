#pragma once
// A check that a zip file (an XLSX workbook is one) was written to its end:
// libxlsxwriter does not report failed writes, so a workbook cut short by a
// full disk would otherwise pass for a whole one.

#include <filesystem>

namespace quorvel::exporting {

// Whether the file ends in a zip's end-of-central-directory record (or its
// zip64 form) whose central directory lies right before it, starting with a
// central directory entry.
bool zip_is_whole(const std::filesystem::path& path);

}  // namespace quorvel::exporting
