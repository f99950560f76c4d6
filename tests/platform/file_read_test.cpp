#include "platform/file_read.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/scratch.h"

using quorvel::platform::FileReadError;
using quorvel::platform::read_whole_file;
using quorvel::testsupport::ScratchFolder;

// Whole files come back byte for byte, past the read buffer's size; what
// cannot be read says why, and the limits refuse what they are for.
TEST(ReadWholeFile, BytesLimitsAndReasons) {
    ScratchFolder folder;
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    std::ofstream(folder / "big", std::ios::binary) << bytes;
    EXPECT_EQ(read_whole_file(folder / "big"), bytes);
    EXPECT_EQ(read_whole_file(folder / "big", {.max_size = bytes.size()}), bytes);

    const auto too_large = read_whole_file(folder / "big", {.max_size = bytes.size() - 1});
    ASSERT_FALSE(too_large);
    EXPECT_EQ(too_large.error().kind, FileReadError::Kind::too_large);

    const auto missing = read_whole_file(folder / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, FileReadError::Kind::cannot_read);
    EXPECT_FALSE(missing.error().reason.empty());

    const auto folder_read = read_whole_file(folder.path(), {.regular_only = true});
    ASSERT_FALSE(folder_read);
    EXPECT_EQ(folder_read.error().kind, FileReadError::Kind::not_a_file);
    // Without the limit a folder still cannot be read as a file.
    const auto folder_bytes = read_whole_file(folder.path());
    ASSERT_FALSE(folder_bytes);
    EXPECT_EQ(folder_bytes.error().kind, FileReadError::Kind::cannot_read);
}
