#include "platform/windows_error.h"

#include <windows.h>

#include <type_traits>

namespace quorvel::platform {

static_assert(std::is_same_v<DWORD, unsigned long>, "windows_error_text takes a DWORD");

std::string windows_error_text(unsigned long error) {
    const std::string number = "error " + std::to_string(error);
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length == 0 || message == nullptr) {
        return number;
    }
    std::wstring_view text(message, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.remove_suffix(1);
    }
    std::string utf8;
    if (!text.empty()) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            utf8.resize(static_cast<std::size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                                size, nullptr, nullptr);
        }
    }
    LocalFree(message);
    return utf8.empty() ? number : utf8 + " (" + number + ")";
}

std::string last_windows_error_text() {
    return windows_error_text(GetLastError());
}

}  // namespace quorvel::platform
