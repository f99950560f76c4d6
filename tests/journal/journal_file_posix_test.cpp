// Where the journal lives on POSIX systems: under XDG_DATA_HOME, in folders
// only the user may enter.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "journal/journal.h"
#include "tests/journal/journal_test_support.h"

namespace quorvel::journal {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

// Sets an environment variable while it lives.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            previous_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(JournalFile, TheDefaultPlaceIsInTheUsersDataFolderKeptPrivate) {
    ScratchFolder folder;
    ScopedVariable data_home("XDG_DATA_HOME", (folder / "data").string());
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
