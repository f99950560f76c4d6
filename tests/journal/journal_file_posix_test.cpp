// Where the journal lives on POSIX systems: under XDG_DATA_HOME, in folders
// only the user may enter.

#include <gtest/gtest.h>

#include "journal/journal.h"
#include "tests/journal/journal_test_support.h"
#include "tests/support/environment.h"

namespace quorvel::journal {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

TEST(JournalFile, TheDefaultPlaceIsInTheUsersDataFolderKeptPrivate) {
    ScratchFolder folder;
    testsupport::ScopedEnv data_home("XDG_DATA_HOME", (folder / "data").c_str());
    const auto path = Journal::default_path();
    ASSERT_TRUE(path) << path.error().message;
    EXPECT_EQ(*path, folder / "data" / "quorvel" / "quorvel.sqlite3");
    ASSERT_TRUE(Journal::open(*path));
    for (const fs::path& made : {folder / "data", folder / "data" / "quorvel",
                                 folder / "data" / "quorvel" / "quorvel.sqlite3.locks"}) {
        const auto others = fs::perms::group_all | fs::perms::others_all;
        EXPECT_EQ(fs::status(made).permissions() & others, fs::perms::none) << made;
    }
}

}  // namespace
}  // namespace quorvel::journal
