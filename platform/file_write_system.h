#pragma once
// The system calls behind AtomicFile, one implementation per system
// (file_write_posix.cpp, file_write_windows.cpp).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/file_write.h"

namespace quorvel::platform::file_system {

using Handle = std::intptr_t;
inline constexpr Handle no_handle = -1;

struct Created {
    Handle handle = no_handle;
    bool exists = false;   // a file of that name is there already: try another
    FileWriteError error;  // why it failed otherwise
};

// Creates `name` for writing, failing when it exists.
Created create_new(const std::filesystem::path& name, NewFileAccess access);

std::optional<FileWriteError> write_all(Handle handle, std::string_view bytes);

// Flushes the file's data to the disk, then closes the handle.
std::optional<FileWriteError> flush_and_close(Handle handle);

void close(Handle handle);

// Gives `from` the name `to`, replacing a file there, in one step.
std::optional<FileWriteError> replace(const std::filesystem::path& from,
                                      const std::filesystem::path& to);

void remove(const std::filesystem::path& name);

}  // namespace quorvel::platform::file_system
