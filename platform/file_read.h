#pragma once
// A whole file read into memory, as the command line's seed files and the
// cookie file are: reads the system interrupts are resumed, and a failure
// says why in the system's words.

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <tl/expected.hpp>

namespace quorvel::platform {

struct FileReadError {
    enum class Kind {
        cannot_read,  // it could not be opened or read
        not_a_file,   // not a regular file, where only one will do
        too_large,    // larger than the limit
    };
    Kind kind = Kind::cannot_read;
    std::string reason;  // the system's words, or what is wrong with the file
};

struct FileReadLimits {
    bool regular_only = false;  // refuse pipes, devices and folders
    std::size_t max_size = std::numeric_limits<std::size_t>::max();
};

tl::expected<std::string, FileReadError> read_whole_file(const std::filesystem::path& file,
                                                         FileReadLimits limits = {});

}  // namespace quorvel::platform
