// What the lock does alike on both systems; file_lock_posix.cpp and
// file_lock_windows.cpp take and let go of it.

#include <utility>

#include "platform/file_lock.h"

namespace quorvel::platform {

FileLock::FileLock(FileLock&& other) noexcept
    : handle_(std::exchange(other.handle_, no_handle)), path_(std::move(other.path_)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, no_handle);
        path_ = std::move(other.path_);
    }
    return *this;
}

FileLock::~FileLock() {
    release();
}

}  // namespace quorvel::platform
