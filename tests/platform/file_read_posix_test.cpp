// Whole-file reads of what only Linux has: FIFOs, and errno's words.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/file_read.h"
#include "tests/support/scratch.h"

using quorvel::platform::FileReadError;
using quorvel::platform::read_whole_file;
using quorvel::testsupport::ScratchFolder;

TEST(ReadWholeFile, FifosAndTheSystemsWords) {
    ScratchFolder folder;
    const auto missing = read_whole_file(folder / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().reason, "No such file or directory");

    // A pipe is fine for seeds, not where a regular file is wanted; opening
    // one with no writer must not wait for one.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    const auto pipe = read_whole_file(folder / "pipe", {.regular_only = true});
    ASSERT_FALSE(pipe);
    EXPECT_EQ(pipe.error().kind, FileReadError::Kind::not_a_file);
}
