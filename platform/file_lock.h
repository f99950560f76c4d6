#pragma once
// An exclusive lock on a file that says a process is alive: taken without
// waiting, held while the object lives, and let go by the system when the
// process dies, however it dies. On Linux it is flock(2); on Windows
// LockFileEx on the whole file, which on Windows (not under Wine) also keeps
// other handles from reading or writing it while held, and which the system
// lets go of a short while after the process ends rather than at once.

#include <cstdint>
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
    // when missing (on Windows with the folder's access rules), and tries to lock it. Whatever this
    // object held before is released first. The error says what failed, in the system's words.
    tl::expected<LockState, std::string> try_lock(const std::filesystem::path& path);

    bool held() const { return handle_ != no_handle; }
    const std::filesystem::path& path() const { return path_; }

    // Lets the lock go; the file stays.
    void release();
    // Removes the file while still holding the lock, then lets it go, so
    // that no one can be left holding a lock on a file no longer there.
    void remove_and_release();

  private:
    // A file descriptor, or a Windows HANDLE; -1 is neither.
    static constexpr std::intptr_t no_handle = -1;
    std::intptr_t handle_ = no_handle;
    std::filesystem::path path_;
};

}  // namespace quorvel::platform
