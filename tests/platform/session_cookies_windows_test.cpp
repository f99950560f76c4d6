// The cookie file on Windows: names beyond the ANSI code page, and a file
// another program holds open.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_lock.h"
#include "platform/file_read.h"
#include "platform/session_cookies.h"
#include "tests/platform/session_cookies_fixture.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using cookie_tests::cookie;
using cookie_tests::SessionCookies;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testsupport::file_bytes;

// Names are passed to the system as UTF-16, so Chinese names work whatever
// the ANSI code page, and error messages carry them as UTF-8. (Paths are made
// from UTF-8 through char8_t: MinGW's std::filesystem reads a plain char
// string byte by byte, not as UTF-8.)
TEST_F(SessionCookies, ChineseFileNames) {
    const fs::path folder = scratch_.path() / fs::path(u8"数据") / fs::path(u8"连衣裙");
    const fs::path file = folder / fs::path(u8"会话.txt");
    ASSERT_EQ(file.filename().wstring(), L"\u4F1A\u8BDD.txt");
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "a", "1")}).has_value());
    EXPECT_TRUE(fs::exists(fs::path(L"\\\\?\\" + file.wstring())));
    const auto read = read_cookie_file(file);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_THAT(*read, ElementsAre(cookie("taobao.com", "a", "1")));
    EXPECT_TRUE(read_whole_file(file).has_value());
    FileLock lock;
    EXPECT_EQ(lock.try_lock(folder / fs::path(u8"运行.lock")), LockState::acquired);

    const auto missing = read_cookie_file(folder / fs::path(u8"没有.txt"));
    ASSERT_FALSE(missing.has_value());
    EXPECT_THAT(missing.error().message, HasSubstr("没有.txt"));
}

// Replacing fails while another program has the file open without sharing
// its deletion; the old file stays whole and no temporary file is left. (On
// Linux it would be replaced. Real Windows also refuses to replace a
// read-only file, which Wine 8 replaces.)
TEST_F(SessionCookies, AFileHeldOpenIsNotReplaced) {
    const fs::path file = scratch_ / "cookies.txt";
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "a", "1")}).has_value());
    const std::string before = file_bytes(file);

    HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const auto held = write_cookie_file(file, {cookie("taobao.com", "b", "2")});
    CloseHandle(reader);
    ASSERT_FALSE(held.has_value());
    EXPECT_EQ(held.error().kind, CookieFileError::Kind::cannot_write);
    EXPECT_THAT(held.error().message, HasSubstr(file.string() + ": "));
    EXPECT_THAT(held.error().message, HasSubstr("(error 5)"));  // access denied
    EXPECT_EQ(file_bytes(file), before);
    EXPECT_THAT(scratch_.names(), ElementsAre("cookies.txt"));

    // Let go of, it is replaced.
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "d", "4")}).has_value());
    EXPECT_THAT(file_bytes(file), HasSubstr("\td\t4\n"));
}

}  // namespace
}  // namespace quorvel::platform
