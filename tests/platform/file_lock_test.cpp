#include "platform/file_lock.h"
#include "tests/support/scratch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

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
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0077, 0u);

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

TEST(FileLock, AFailureSaysWhatFailed) {
    ScratchFolder folder;
    FileLock lock;
    const auto missing = lock.try_lock(folder / "no-such-folder" / "run.lock");
    ASSERT_FALSE(missing);
    EXPECT_THAT(missing.error(), ::testing::HasSubstr("no-such-folder/run.lock: No such file"));
    const auto folder_itself = lock.try_lock(folder / "");
    EXPECT_FALSE(folder_itself);
    EXPECT_FALSE(lock.held());
}

// A program started while the lock is held must not keep it after this
// process lets go (or dies): it would keep a dead run looking alive.
TEST(FileLock, AProgramStartedMeanwhileDoesNotHoldIt) {
    ScratchFolder folder;
    const fs::path path = folder / "run.lock";
    FileLock lock;
    ASSERT_EQ(lock.try_lock(path), LockState::acquired);
    pid_t child = 0;
    char sleep_name[] = "sleep";
    char seconds[] = "30";
    char* arguments[] = {sleep_name, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, arguments, environ), 0);
    lock.release();
    FileLock again;
    EXPECT_EQ(again.try_lock(path), LockState::acquired);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

}  // namespace
}  // namespace quorvel::platform
