// Whole-file reads of what Windows has: named pipes, devices, and the
// system's words.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/file_read.h"
#include "tests/support/scratch.h"

using quorvel::platform::FileReadError;
using quorvel::platform::read_whole_file;
using quorvel::testsupport::ScratchFolder;

TEST(ReadWholeFile, TheSystemsWordsForAMissingFile) {
    ScratchFolder folder;
    const auto missing = read_whole_file(folder / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, FileReadError::Kind::cannot_read);
    EXPECT_THAT(missing.error().reason, ::testing::HasSubstr("(error 2)"));  // not found
}

// A named pipe with no one writing, where a regular file is wanted, is
// refused at once instead of waiting; so is the NUL device, which reads as
// empty where anything will do.
TEST(ReadWholeFile, PipesAndDevicesAreNotFiles) {
    const std::wstring name =
        L"\\\\.\\pipe\\quorvel-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                     4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const auto pipe = read_whole_file(name, {.regular_only = true});
    CloseHandle(server);
    ASSERT_FALSE(pipe);
    EXPECT_EQ(pipe.error().kind, FileReadError::Kind::not_a_file);

    const auto device = read_whole_file("NUL", {.regular_only = true});
    ASSERT_FALSE(device);
    EXPECT_EQ(device.error().kind, FileReadError::Kind::not_a_file);
    EXPECT_EQ(read_whole_file("NUL"), "");
}
