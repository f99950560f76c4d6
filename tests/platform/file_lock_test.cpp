#include "platform/file_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

// Two locks on one file conflict even within one process, as each opens the
// file for itself: that is what lets the window and a run of its own tell
// each other apart from a process that died.
TEST(FileLock, OneHolderAtATime) {
    ScratchFolder folder;
    const fs::path path = folder / "run.lock";
    FileLock first;
    ASSERT_EQ(first.try_lock(path), LockState::acquired);

    FileLock second;
    EXPECT_EQ(second.try_lock(path), LockState::held_elsewhere);
    EXPECT_FALSE(second.held());
    // Moving a lock keeps it held.
    FileLock moved = std::move(first);
    EXPECT_EQ(second.try_lock(path), LockState::held_elsewhere);
    moved.release();
    EXPECT_EQ(second.try_lock(path), LockState::acquired);
    EXPECT_TRUE(fs::exists(path));

    second.remove_and_release();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(first.try_lock(path), LockState::acquired);
}

// A failure names the file; the system's words for it are tested per system.
TEST(FileLock, AFailureNamesTheFile) {
    ScratchFolder folder;
    FileLock lock;
    const auto missing = lock.try_lock(folder / "no-such-folder" / "run.lock");
    ASSERT_FALSE(missing);
    EXPECT_THAT(missing.error(),
                ::testing::HasSubstr("cannot open " +
                                     (folder.path() / "no-such-folder" / "run.lock").string()));
    const auto folder_itself = lock.try_lock(folder / "");
    EXPECT_FALSE(folder_itself);
    EXPECT_FALSE(lock.held());
}

}  // namespace
}  // namespace quorvel::platform
