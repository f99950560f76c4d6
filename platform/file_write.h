#pragma once
// Files written whole or not at all: the bytes go to a new file beside the
// target, reach the disk, and then the file takes the target's name in one
// step, replacing what was there.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

namespace quorvel::platform {

struct FileWriteError {
    enum class Kind {
        folder_missing,  // the target's folder does not exist
        no_permission,   // the folder or the file may not be written
        disk_full,       // no space or quota left
        in_use,          // another program holds the file open and does not share it
        other,
    };
    Kind kind = Kind::other;
    std::string reason;  // the system's words for the error, UTF-8
    std::string detail;  // for the log: the step that failed and the system's error code
};

using FileWritten = tl::expected<void, FileWriteError>;

// Who may read a new file: whoever the folder and the process's defaults let
// (0666 less the umask), or its owner alone (0600). Windows has no modes: a
// new file takes its folder's access rules either way.
enum class NewFileAccess { usual, owner_only };

class AtomicFile {
  public:
    // Creates an empty file beside `target`, exclusively, under the target's
    // name with ".partial-" and random letters after it. Other handles may
    // open it by name while it is being written.
    static tl::expected<AtomicFile, FileWriteError> create(
        const std::filesystem::path& target, NewFileAccess access = NewFileAccess::usual);

    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Discards the file unless it was committed.
    ~AtomicFile();

    const std::filesystem::path& temporary() const { return temporary_; }

    // Appends the bytes; writes the system interrupts are resumed.
    FileWritten write(std::string_view bytes);

    // Forces the file's data to the disk (whichever handle wrote it), closes
    // it and renames it over the target. On failure the file is discarded.
    FileWritten commit();

    // Closes and removes the temporary file.
    void discard();

  private:
    AtomicFile(std::filesystem::path target, std::filesystem::path temporary, std::intptr_t handle);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::intptr_t handle_;  // the system's file descriptor or handle; -1 once closed
};

}  // namespace quorvel::platform
