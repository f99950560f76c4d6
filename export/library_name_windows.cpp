// fopen() of the C runtime reads names in the ANSI code page, which may lack
// characters of a UTF-16 name (Chinese in a Western locale, say). Such a
// name is reached through its short (8.3) form, which is plain ASCII where
// the volume keeps short names.

#include <windows.h>

#include <string>

#include "export/library_name.h"

namespace quorvel::exporting {
namespace {

// The name in the ANSI code page; none when a character has no form there.
std::optional<std::string> ansi_form(const std::wstring& name) {
    if (name.empty()) {
        return std::string();
    }
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(),
                            static_cast<int>(name.size()), nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), static_cast<int>(name.size()),
                        text.data(), size, nullptr, &lossy);
    return lossy ? std::nullopt : std::optional<std::string>(std::move(text));
}

}  // namespace

std::optional<std::string> library_file_name(const std::filesystem::path& existing) {
    const std::wstring& name = existing.native();
    if (auto text = ansi_form(name)) {
        return text;
    }
    const DWORD size = GetShortPathNameW(name.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring short_name(size, L'\0');
    const DWORD length = GetShortPathNameW(name.c_str(), short_name.data(), size);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    short_name.resize(length);
    return ansi_form(short_name);
}

}  // namespace quorvel::exporting
