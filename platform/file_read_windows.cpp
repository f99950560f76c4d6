// A whole file read through CreateFileW and ReadFile.

#include <windows.h>

#include "platform/file_read.h"
#include "platform/windows_error.h"

namespace quorvel::platform {
namespace {

// Closes the handle however the read ends.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (ok()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

tl::unexpected<FileReadError> failed(FileReadError::Kind kind, std::string reason) {
    return tl::unexpected(FileReadError{kind, std::move(reason)});
}

tl::unexpected<FileReadError> failed_now() {
    return failed(FileReadError::Kind::cannot_read, last_windows_error_text());
}

}  // namespace

tl::expected<std::string, FileReadError> read_whole_file(const std::filesystem::path& file,
                                                         FileReadLimits limits) {
    // Backup semantics let a folder be opened, so that it is named as not a
    // file; opening a pipe or a device does not wait for the other end.
    const Handle handle(CreateFileW(file.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.ok()) {
        return failed_now();
    }
    if (limits.regular_only) {
        SetLastError(NO_ERROR);
        const DWORD type = GetFileType(handle.get());
        if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) {
            return failed_now();
        }
        BY_HANDLE_FILE_INFORMATION information{};
        if (type != FILE_TYPE_DISK) {
            return failed(FileReadError::Kind::not_a_file, "not a regular file");
        }
        if (GetFileInformationByHandle(handle.get(), &information) == 0) {
            return failed_now();
        }
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return failed(FileReadError::Kind::not_a_file, "not a regular file");
        }
    }
    std::string text;
    char buffer[65536];
    while (true) {
        DWORD n = 0;
        if (ReadFile(handle.get(), buffer, sizeof buffer, &n, nullptr) == 0) {
            // The other end of a pipe closing is its end of file.
            if (GetLastError() == ERROR_BROKEN_PIPE) {
                return text;
            }
            return failed_now();
        }
        if (n == 0) {
            return text;
        }
        if (static_cast<std::size_t>(n) > limits.max_size - text.size()) {
            return failed(FileReadError::Kind::too_large,
                          "larger than " + std::to_string(limits.max_size) + " bytes");
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace quorvel::platform
