#pragma once
// Where Quorvel keeps what it writes for the user: one folder per user,
// shared by every front end.

#include <filesystem>
#include <string>
#include <tl/expected.hpp>

namespace quorvel::platform {

// $XDG_DATA_HOME/quorvel, or ~/.local/share/quorvel when XDG_DATA_HOME is
// unset, empty or not an absolute path. Not created here; an error when no
// home folder can be found.
tl::expected<std::filesystem::path, std::string> user_data_folder();

// Creates `folder` and any missing parents; the folders created here are
// private to the user (mode 0700). Existing folders are left as they are.
tl::expected<void, std::string> make_private_folder(const std::filesystem::path& folder);

}  // namespace quorvel::platform
