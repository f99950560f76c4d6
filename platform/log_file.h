#pragma once
// The log as a file in a folder private to the user, rotated so that at most
// five files of 1 MiB are kept. Lines are UTF-8. Each program writes a file
// of its own ("quorvel.log", "quorvel-cli.log"): two processes never rotate
// one file.

#include <filesystem>
#include <string>
#include <tl/expected.hpp>

namespace quorvel::platform {

inline constexpr std::size_t log_file_size = 1024u * 1024u;
inline constexpr std::size_t log_file_count = 5;

// Creates the folder if needed and makes the file the process's log sink.
tl::expected<void, std::string> open_log_file(const std::filesystem::path& folder,
                                              const std::string& name = "quorvel.log");

}  // namespace quorvel::platform
