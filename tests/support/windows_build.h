#pragma once
// Where the Linux tests of the Windows programs find them: the Windows build
// folder in QUORVEL_WINDOWS_BUILD (scripts/windows.sh test sets it) and the
// wine program in QUORVEL_WINE (default: wine on the PATH). They are read when
// the tests run, so the Linux build serves any Windows build without being
// configured again.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel::testsupport {

// QUORVEL_WINE, or wine as found on the PATH (a full path either way, since
// the tests start it without a search).
inline std::string wine_program() {
    const char* wine = std::getenv("QUORVEL_WINE");
    if (wine != nullptr && *wine != '\0') {
        return wine;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(0, colon)) / "wine";
        if (std::filesystem::is_regular_file(candidate)) {
            return candidate.string();
        }
        folders = colon == std::string_view::npos ? "" : folders.substr(colon + 1);
    }
    return "wine";
}

// A file of the Windows build, by its path inside the build folder.
inline std::string windows_build_file(const std::string& relative) {
    const char* folder = std::getenv("QUORVEL_WINDOWS_BUILD");
    if (folder == nullptr || *folder == '\0') {
        throw std::runtime_error(
            "QUORVEL_WINDOWS_BUILD is not set: these tests run the Windows build under Wine; "
            "run them with scripts/windows.sh test");
    }
    const std::filesystem::path file = std::filesystem::path(folder) / relative;
    if (!std::filesystem::is_regular_file(file)) {
        throw std::runtime_error(file.string() +
                                 " does not exist: build it with scripts/windows.sh build");
    }
    return file.string();
}

}  // namespace quorvel::testsupport
