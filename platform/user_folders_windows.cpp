// The user's data folder on Windows: %LOCALAPPDATA%\Quorvel.

#include <shlobj.h>
#include <windows.h>

#include <cwchar>
#include <cwctype>

#include "platform/user_folders.h"
#include "platform/windows_error.h"

namespace quorvel::platform {
namespace {

// The LOCALAPPDATA variable when it holds an absolute path (so that tests and
// users can move the folder), else the system's known folder.
std::filesystem::path local_app_data() {
    const wchar_t* variable = _wgetenv(L"LOCALAPPDATA");
    if (variable != nullptr && std::filesystem::path(variable).is_absolute()) {
        return variable;
    }
    std::filesystem::path folder;
    wchar_t* known = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known) == S_OK) {
        folder = known;
    }
    CoTaskMemFree(known);
    return folder;
}

}  // namespace

tl::expected<std::filesystem::path, std::string> user_data_folder() {
    const std::filesystem::path base = local_app_data();
    if (base.empty()) {
        return tl::unexpected(
            std::string("no local application data folder: LOCALAPPDATA is unset and the "
                        "system has none"));
    }
    return base / "Quorvel";
}

// Windows has no mode 0700: a new folder takes the access rules of its parent,
// and the folders here live under the user's own profile, which only the user
// (and administrators) can open.
tl::expected<void, std::string> make_private_folder(const std::filesystem::path& folder) {
    std::filesystem::path built = folder.root_path();
    for (const std::filesystem::path& part : folder.relative_path()) {
        built /= part;
        if (CreateDirectoryW(built.c_str(), nullptr) != 0) {
            continue;
        }
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(built.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            continue;
        }
        return tl::unexpected("cannot create " + built.string() + ": " + windows_error_text(error));
    }
    return {};
}

}  // namespace quorvel::platform
