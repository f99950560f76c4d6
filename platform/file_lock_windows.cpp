// The lock through LockFileEx on the whole file.

#include <windows.h>

#include "platform/file_lock.h"
#include "platform/windows_error.h"

namespace quorvel::platform {
namespace {

std::string failure(std::string_view step, const std::filesystem::path& path, DWORD error) {
    return std::string(step) + " " + path.string() + ": " + windows_error_text(error);
}

HANDLE as_handle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// Which file a handle or a path names: its volume and index.
struct FileIdentity {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    bool operator==(const FileIdentity&) const = default;
};

bool identity_of(HANDLE handle, FileIdentity& out) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(handle, &information) == 0) {
        return false;
    }
    out = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

bool path_names(const std::filesystem::path& path, const FileIdentity& locked) {
    HANDLE named =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    FileIdentity identity;
    const bool same = identity_of(named, identity) && identity == locked;
    CloseHandle(named);
    return same;
}

}  // namespace

tl::expected<LockState, std::string> FileLock::try_lock(const std::filesystem::path& path) {
    release();
    // As with flock: the holder removes its file before letting go, so after
    // locking, the file must still be the one the path names. While a removed
    // file is still open, opening its name is refused as access denied; that
    // passes within moments, so it is tried again a few times.
    DWORD last_error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 16; ++attempt) {
        // Shared for deletion, so that the holder can remove the file it holds.
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            last_error = GetLastError();
            if (last_error == ERROR_ACCESS_DENIED) {
                Sleep(static_cast<DWORD>(attempt));
                continue;
            }
            return tl::unexpected(failure("cannot open", path, last_error));
        }
        last_error = ERROR_SUCCESS;
        OVERLAPPED whole_file{};
        if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &whole_file) == 0) {
            const DWORD error = GetLastError();
            CloseHandle(handle);
            if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
                return LockState::held_elsewhere;
            }
            return tl::unexpected(failure("cannot lock", path, error));
        }
        FileIdentity locked;
        if (identity_of(handle, locked) && path_names(path, locked)) {
            handle_ = reinterpret_cast<std::intptr_t>(handle);
            path_ = path;
            return LockState::acquired;
        }
        CloseHandle(handle);
    }
    if (last_error != ERROR_SUCCESS) {
        return tl::unexpected(failure("cannot open", path, last_error));
    }
    return tl::unexpected("cannot lock " + path.string() + ": the file keeps being replaced");
}

void FileLock::release() {
    if (held()) {
        CloseHandle(as_handle(handle_));
        handle_ = no_handle;
    }
    path_.clear();
}

void FileLock::remove_and_release() {
    if (held()) {
        DeleteFileW(path_.c_str());
    }
    release();
}

}  // namespace quorvel::platform
