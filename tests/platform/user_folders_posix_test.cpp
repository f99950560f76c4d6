// The user's folders as Linux has them (XDG_DATA_HOME, mode 0700) and the
// log folder's mode.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/log.h"
#include "platform/log_file.h"
#include "platform/user_folders.h"
#include "tests/support/environment.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::mode_of;
using testsupport::ScopedEnv;
using testsupport::ScratchFolder;

TEST(UserFolders, DataFolderFollowsXdgDataHome) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv data("XDG_DATA_HOME", "/data/here");
        EXPECT_EQ(user_data_folder().value(), fs::path("/data/here/quorvel"));
    }
    // Unset, empty or relative: the default under the home folder.
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/path"}) {
        ScopedEnv data("XDG_DATA_HOME", value);
        EXPECT_EQ(user_data_folder().value(), fs::path("/home/someone/.local/share/quorvel"));
    }
}

TEST(UserFolders, CreatedFoldersArePrivate) {
    ScratchFolder scratch;
    const fs::path deep = scratch.path() / "a" / "b";
    ASSERT_TRUE(make_private_folder(deep).has_value());
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(mode_of(scratch.path() / "a"), 0700u);
    EXPECT_EQ(mode_of(deep), 0700u);
    // Existing folders are fine; a file in the way is an error that says where.
    EXPECT_TRUE(make_private_folder(deep).has_value());
    std::ofstream(scratch.path() / "file") << "x";
    auto blocked = make_private_folder(scratch.path() / "file" / "sub");
    ASSERT_FALSE(blocked.has_value());
    EXPECT_THAT(blocked.error(), HasSubstr("file"));
}

TEST(LogFile, TheFolderIsPrivate) {
    ScratchFolder scratch;
    const fs::path folder = scratch.path() / "logs";
    const auto before = set_log_sink(nullptr);
    ASSERT_TRUE(open_log_file(folder).has_value());
    set_log_sink(before);
    EXPECT_EQ(mode_of(folder), 0700u);
}

}  // namespace
}  // namespace quorvel::platform
