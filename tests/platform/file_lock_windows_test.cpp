// The lock on Windows (LockFileEx): the system's words for a failure, child
// processes, and what the lock does to other handles on the file.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_lock.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::ScratchFolder;

HANDLE open_shared(const fs::path& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FileLock, AFailureSaysWhatFailed) {
    ScratchFolder folder;
    FileLock lock;
    const auto missing = lock.try_lock(folder / "no-such-folder" / "run.lock");
    ASSERT_FALSE(missing);
    EXPECT_THAT(missing.error(), HasSubstr("(error 3)"));  // ERROR_PATH_NOT_FOUND
}

// Another handle on the file, open without a lock, does not stop the lock,
// nor its holder removing the file. (Real Windows also keeps that handle from
// reading or writing the locked bytes; Wine 8 does not, so that is not
// tested here.)
TEST(FileLock, OtherHandlesDoNotStopIt) {
    ScratchFolder folder;
    const fs::path path = folder / "run.lock";
    FileLock lock;
    ASSERT_EQ(lock.try_lock(path), LockState::acquired);
    lock.release();
    HANDLE other = open_shared(path);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_EQ(lock.try_lock(path), LockState::acquired);
    FileLock second;
    EXPECT_EQ(second.try_lock(path), LockState::held_elsewhere);
    lock.remove_and_release();
    CloseHandle(other);
    EXPECT_FALSE(fs::exists(path));
}

// A process started, with handle inheritance, while the lock is held must not
// hold it once this process lets go.
TEST(FileLock, AProgramStartedMeanwhileDoesNotHoldIt) {
    ScratchFolder folder;
    const fs::path path = folder / "run.lock";
    FileLock lock;
    ASSERT_EQ(lock.try_lock(path), LockState::acquired);
    // This test program itself, started suspended so that it does nothing.
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_list_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_NE(CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                             nullptr, nullptr, &startup, &child),
              FALSE);
    lock.release();
    FileLock again;
    EXPECT_EQ(again.try_lock(path), LockState::acquired);
    TerminateProcess(child.hProcess, 1);
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

}  // namespace
}  // namespace quorvel::platform
