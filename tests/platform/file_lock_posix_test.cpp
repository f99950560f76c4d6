// The lock file's mode, the system's words for a failure, and a child
// process (Linux: posix_spawn).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/file_lock.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

TEST(FileLock, TheFileIsTheUsersAlone) {
    ScratchFolder folder;
    const fs::path path = folder / "run.lock";
    FileLock lock;
    ASSERT_EQ(lock.try_lock(path), LockState::acquired);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0077, 0u);
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
