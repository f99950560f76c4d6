#pragma once
// The marketplace session a window starts with: the cookies saved last time.

#include <filesystem>

namespace quorvel::shell {

// Loads the marketplace's cookies from `file` into the transport's store, if
// the file is there; says in the log how many, or why none.
void load_session_file(const std::filesystem::path& file);

}  // namespace quorvel::shell
