#pragma once
// Within platform/: a file written whole or not at all, through a temporary
// file in the same folder, created exclusively, flushed to the disk and then
// renamed over the target. atomic_file_posix.cpp (mode 0600, fsync, rename)
// and atomic_file_windows.cpp (CREATE_NEW, FlushFileBuffers, MoveFileExW)
// hold the two systems' ways.

#include <filesystem>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

namespace quorvel::platform {

// Writes `text` as the whole of `file`, whose folder must exist. The error is
// the system's words for what failed; the temporary file is gone then.
tl::expected<void, std::string> write_file_atomically(const std::filesystem::path& file,
                                                      std::string_view text);

}  // namespace quorvel::platform
