#pragma once
// File names as UTF-8 text and back. A std::filesystem::path holds bytes on
// Linux and UTF-16 on Windows; going through char8_t converts on Windows and
// copies the bytes unchanged on Linux, so names that are not UTF-8 survive there.

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel::platform {

inline std::filesystem::path path_from_utf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8_of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace quorvel::platform
