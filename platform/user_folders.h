#pragma once
// Where Quorvel keeps what it writes for the user: one folder per user,
// shared by every front end.

#include <filesystem>
#include <string>
#include <tl/expected.hpp>

namespace quorvel::platform {

// $XDG_DATA_HOME/quorvel, or ~/.local/share/quorvel when XDG_DATA_HOME is
// unset, empty or not an absolute path. On Windows %LOCALAPPDATA%\Quorvel:
// the LOCALAPPDATA variable when it is an absolute path, else the system's
// local application data folder. Not created here; an error when no home
// (or local application data) folder can be found.
tl::expected<std::filesystem::path, std::string> user_data_folder();

// Creates `folder` and any missing parents; the folders created here are
// private to the user (mode 0700; Windows has no such mode, and a new folder
// takes its parent's access rules, private under the user's profile).
// Existing folders are left as they are.
tl::expected<void, std::string> make_private_folder(const std::filesystem::path& folder);

}  // namespace quorvel::platform
