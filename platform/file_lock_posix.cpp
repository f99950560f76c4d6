// The lock through flock(2).

#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace quorvel::platform {
namespace {

std::string failure(std::string_view step, const std::filesystem::path& path, int error) {
    return std::string(step) + " " + path.string() + ": " + std::system_category().message(error);
}

}  // namespace

tl::expected<LockState, std::string> FileLock::try_lock(const std::filesystem::path& path) {
    release();
    // The holder of a lock removes its file before letting go; whoever opened
    // the file just before that would then lock a file no longer at the path.
    // So after locking, the file must still be the one the path names.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return tl::unexpected(failure("cannot open", path, errno));
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                return LockState::held_elsewhere;
            }
            if (error == EINTR) {
                continue;
            }
            return tl::unexpected(failure("cannot lock", path, error));
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
            handle_ = fd;
            path_ = path;
            return LockState::acquired;
        }
        ::close(fd);
    }
    return tl::unexpected("cannot lock " + path.string() + ": the file keeps being replaced");
}

void FileLock::release() {
    if (held()) {
        ::close(static_cast<int>(handle_));
        handle_ = no_handle;
    }
    path_.clear();
}

void FileLock::remove_and_release() {
    if (held()) {
        ::unlink(path_.c_str());
    }
    release();
}

}  // namespace quorvel::platform
