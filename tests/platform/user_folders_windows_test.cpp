// The user's folders as Windows has them: %LOCALAPPDATA%\Quorvel, and
// folders made along a path with a drive letter.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/user_folders.h"
#include "tests/platform/scoped_env.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing_env::ScopedEnv;
using testsupport::ScratchFolder;

TEST(UserFolders, DataFolderIsUnderLocalAppData) {
    {
        ScopedEnv data("LOCALAPPDATA", "D:\\Profiles\\someone\\AppData\\Local");
        EXPECT_EQ(user_data_folder().value(),
                  fs::path("D:\\Profiles\\someone\\AppData\\Local\\Quorvel"));
    }
    // Unset or relative: the system's own local application data folder.
    for (const char* value : {static_cast<const char*>(nullptr), "relative\\path"}) {
        ScopedEnv data("LOCALAPPDATA", value);
        const auto folder = user_data_folder();
        ASSERT_TRUE(folder.has_value()) << folder.error();
        EXPECT_TRUE(folder->is_absolute()) << folder->string();
        EXPECT_EQ(folder->filename(), "Quorvel");
        EXPECT_NE(folder->string().find("relative"), 0u);
        EXPECT_TRUE(fs::is_directory(folder->parent_path())) << folder->string();
    }
}

// Folders are made from the drive down; a file in the way is an error in the
// system's words that names it.
TEST(UserFolders, FoldersAreMadeAlongTheWholePath) {
    ScratchFolder scratch;
    const fs::path deep = scratch.path() / "a" / "连衣裙" / "b";
    ASSERT_TRUE(deep.has_root_name());
    const auto made = make_private_folder(deep);
    ASSERT_TRUE(made.has_value()) << made.error();
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(make_private_folder(deep).has_value());
    EXPECT_TRUE(make_private_folder(deep.root_path()).has_value());

    std::ofstream(scratch.path() / "file") << "x";
    const auto blocked = make_private_folder(scratch.path() / "file" / "sub");
    ASSERT_FALSE(blocked.has_value());
    EXPECT_THAT(blocked.error(), HasSubstr((scratch.path() / "file").string() + ": "));
    EXPECT_THAT(blocked.error(), HasSubstr("(error 183)"));  // ERROR_ALREADY_EXISTS
}

}  // namespace
}  // namespace quorvel::platform
