// A Windows error code in the system's words.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/windows_error.h"

namespace quorvel::platform {
namespace {

// The system's message, without its period and line break, then the number;
// the number alone where the system has no message.
TEST(WindowsError, TheSystemsWordsAndTheNumber) {
    const std::string not_found = windows_error_text(ERROR_FILE_NOT_FOUND);
    ASSERT_GT(not_found.size(), std::string(" (error 2)").size());
    EXPECT_EQ(not_found.substr(not_found.size() - 10), " (error 2)");
    const char before = not_found[not_found.size() - 11];
    EXPECT_NE(before, '.');
    EXPECT_NE(before, '\n');
    EXPECT_NE(before, ' ');
    EXPECT_EQ(windows_error_text(0x2000DEADul), "error 536927917");

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(last_windows_error_text(), windows_error_text(ERROR_ACCESS_DENIED));
}

}  // namespace
}  // namespace quorvel::platform
