// AtomicFile's system calls on Windows: UTF-16 names, CreateFileW with
// CREATE_NEW, FlushFileBuffers, and MoveFileExW replacing the target.

#include <windows.h>

#include <algorithm>

#include "platform/file_write_system.h"
#include "platform/windows_error.h"

namespace quorvel::platform::file_system {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD disk_quota_exceeded = 1295;

HANDLE handle_of(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// A call that failed at `step` with `error` (from GetLastError), the common
// causes sorted out.
FileWriteError failure(std::string_view step, DWORD error) {
    using Kind = FileWriteError::Kind;
    FileWriteError failed;
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
            failed.kind = Kind::folder_missing;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_PRIVILEGE_NOT_HELD:
            failed.kind = Kind::no_permission;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case disk_quota_exceeded:
            failed.kind = Kind::disk_full;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            failed.kind = Kind::in_use;
            break;
        default:
            failed.kind = Kind::other;
            break;
    }
    failed.reason = windows_error_text(error);
    failed.detail = std::string(step) + ": Windows error " + std::to_string(error);
    return failed;
}

// Whether another program holds `name` open without letting it be deleted,
// as a spreadsheet application holds an open workbook: replacing the file
// then fails with "access denied" although it may be written.
bool held_open_elsewhere(const std::filesystem::path& name) {
    const HANDLE probe =
        CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace

// Shared for reading, writing and deleting, so that a library may open the
// file by name and write it while this handle stays open for the flush.
Created create_new(const std::filesystem::path& name, NewFileAccess) {
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        return {.handle = reinterpret_cast<Handle>(handle), .exists = false, .error = {}};
    }
    const DWORD error = GetLastError();
    return {.handle = no_handle,
            .exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS,
            .error = failure("CreateFileW", error)};
}

std::optional<FileWriteError> write_all(Handle handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle_of(handle), bytes.data(), chunk, &written, nullptr)) {
            return failure("WriteFile", GetLastError());
        }
        bytes.remove_prefix(written);
    }
    return std::nullopt;
}

std::optional<FileWriteError> flush_and_close(Handle handle) {
    std::optional<FileWriteError> failed;
    if (!FlushFileBuffers(handle_of(handle))) {
        failed = failure("FlushFileBuffers", GetLastError());
    }
    if (!CloseHandle(handle_of(handle)) && !failed) {
        failed = failure("CloseHandle", GetLastError());
    }
    return failed;
}

void close(Handle handle) {
    CloseHandle(handle_of(handle));
}

std::optional<FileWriteError> replace(const std::filesystem::path& from,
                                      const std::filesystem::path& to) {
    // Windows refuses to replace a read-only file; checked here too, as not
    // every implementation of MoveFileExW does (Wine replaces it).
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return failure("MoveFileExW", ERROR_ACCESS_DENIED);
    }
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return std::nullopt;
    }
    const DWORD error = GetLastError();
    FileWriteError failed = failure("MoveFileExW", error);
    if (error == ERROR_ACCESS_DENIED && held_open_elsewhere(to)) {
        failed.kind = FileWriteError::Kind::in_use;
    }
    return failed;
}

void remove(const std::filesystem::path& name) {
    DeleteFileW(name.c_str());
}

}  // namespace quorvel::platform::file_system
