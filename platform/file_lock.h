#pragma once
// An exclusive lock on a file that says a process is alive: taken without
// waiting, held while the object lives, and let go by the system when the
// process dies, however it dies. Here it is flock(2); Windows will use
// LockFileEx.

#include <filesystem>
#include <string>
#include <tl/expected.hpp>

namespace quorvel::platform {

enum class LockState {
    acquired,        // this object holds the lock now
    held_elsewhere,  // another process, or another FileLock of this one, holds it
};

class FileLock {
  public:
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Opens `path`, creating it (readable and writable by the user alone)
    // when missing, and tries to lock it. Whatever this object held before
    // is released first. The error says what failed, in the system's words.
    tl::expected<LockState, std::string> try_lock(const std::filesystem::path& path);

    bool held() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }

    // Lets the lock go; the file stays.
    void release();
    // Removes the file while still holding the lock, then lets it go, so
    // that no one can be left holding a lock on a file no longer there.
    void remove_and_release();

  private:
    int fd_ = -1;
    std::filesystem::path path_;
};

}  // namespace quorvel::platform
