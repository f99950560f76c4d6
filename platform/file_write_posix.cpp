// AtomicFile's system calls on POSIX systems.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_write_system.h"

namespace quorvel::platform::file_system {
namespace {

// The system's description of an error number. strerrordesc_np is
// thread-safe and does not depend on the locale.
std::string system_text(int error) {
    const char* text = strerrordesc_np(error);
    return text != nullptr ? text : "error " + std::to_string(error);
}

// A call that failed at `step` with errno `error`, the common causes sorted out.
FileWriteError failure(std::string_view step, int error) {
    using Kind = FileWriteError::Kind;
    FileWriteError failed;
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            failed.kind = Kind::folder_missing;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            failed.kind = Kind::no_permission;
            break;
        case ENOSPC:
        case EDQUOT:
            failed.kind = Kind::disk_full;
            break;
        default:
            failed.kind = Kind::other;
            break;
    }
    failed.reason = system_text(error);
    const char* name = strerrorname_np(error);
    failed.detail = std::string(step) + ": " + (name != nullptr ? name : "errno") + " (" +
                    std::to_string(error) + ")";
    return failed;
}

}  // namespace

// Usually with the mode every new file gets (0666 less the process umask),
// owner-only files with 0600: the rename keeps that mode, and nothing changes
// the process-wide umask while other threads run.
Created create_new(const std::filesystem::path& name, NewFileAccess access) {
    const mode_t mode = access == NewFileAccess::owner_only ? 0600 : 0666;
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
        return {.handle = fd, .exists = false, .error = {}};
    }
    const int error = errno;
    return {.handle = no_handle, .exists = error == EEXIST, .error = failure("open", error)};
}

std::optional<FileWriteError> write_all(Handle handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle), bytes.data(), bytes.size());
        if (n < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            return failure("write", error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

std::optional<FileWriteError> flush_and_close(Handle handle) {
    const int fd = static_cast<int>(handle);
    std::optional<FileWriteError> failed;
    if (::fsync(fd) != 0) {
        failed = failure("fsync", errno);
    }
    if (::close(fd) != 0 && !failed) {
        failed = failure("close", errno);
    }
    return failed;
}

void close(Handle handle) {
    ::close(static_cast<int>(handle));
}

std::optional<FileWriteError> replace(const std::filesystem::path& from,
                                      const std::filesystem::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return failure("rename", errno);
    }
    return std::nullopt;
}

void remove(const std::filesystem::path& name) {
    ::unlink(name.c_str());
}

}  // namespace quorvel::platform::file_system
