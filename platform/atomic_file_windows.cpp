// A whole-file replace through CreateFileW (CREATE_NEW), FlushFileBuffers and
// MoveFileExW. There is no mode 0600: the temporary file, and so the target,
// takes the access rules of its folder, which for the user's data folder is
// private to the user.

#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdio>

#include "platform/atomic_file.h"
#include "platform/windows_error.h"

namespace quorvel::platform {
namespace {

// A name not used before by this process: its id, the time and a count.
std::wstring temporary_suffix() {
    static std::atomic<unsigned> count{0};
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    wchar_t suffix[64];
    std::swprintf(suffix, 64, L".%lx-%llx-%x.tmp", GetCurrentProcessId(),
                  static_cast<unsigned long long>(ticks.QuadPart), count.fetch_add(1));
    return suffix;
}

bool write_all(HANDLE handle, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = text.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(text.size());
        DWORD n = 0;
        if (WriteFile(handle, text.data(), chunk, &n, nullptr) == 0) {
            return false;
        }
        text.remove_prefix(n);
    }
    return true;
}

}  // namespace

tl::expected<void, std::string> write_file_atomically(const std::filesystem::path& file,
                                                      std::string_view text) {
    std::filesystem::path temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    // Never opens a file someone else made: a name in use is passed over.
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = file;
        temporary += temporary_suffix();
        handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (error != ERROR_SUCCESS && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        return tl::unexpected(windows_error_text(error));
    }
    if (!write_all(handle, text) || FlushFileBuffers(handle) == 0) {
        error = GetLastError();
    }
    if (CloseHandle(handle) == 0 && error == ERROR_SUCCESS) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS &&
        MoveFileExW(temporary.c_str(), file.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        return tl::unexpected(windows_error_text(error));
    }
    return {};
}

}  // namespace quorvel::platform
