// Where the journal lives on Windows: %LOCALAPPDATA%\\Quorvel, whatever
// characters the user's folder name holds.

#include <gtest/gtest.h>

#include "journal/journal.h"
#include "platform/utf8_path.h"
#include "tests/journal/journal_test_support.h"
#include "tests/support/environment.h"

namespace quorvel::journal {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

// A user folder named in Chinese: SQLite gets the UTF-8 form of the path.
TEST(JournalFileWindows, TheDefaultPlaceIsUnderLocalAppDataWhateverItsName) {
    ScratchFolder folder;
    const fs::path local = folder.path() / platform::path_from_utf8("用户 数据");
    testsupport::ScopedEnv variable("LOCALAPPDATA", platform::utf8_of(local).c_str());
    const auto path = Journal::default_path();
    ASSERT_TRUE(path) << path.error().message;
    EXPECT_EQ(*path, local / "Quorvel" / "quorvel.sqlite3");
    {
        auto journal = Journal::open(*path);
        ASSERT_TRUE(journal) << journal.error().message;
        auto recorder = journal->begin_run(harvest::KindSet::all(), "seed\r\n");
        ASSERT_TRUE(recorder) << recorder.error().message;
        (*recorder)->word_recorded(harvest::KeywordSource::LongTail, 0, "seed", "word", "");
        (*recorder)->run_ended(harvest::RunEnd::finished);
    }
    EXPECT_TRUE(fs::is_regular_file(*path));
    auto again = Journal::open(*path);
    ASSERT_TRUE(again) << again.error().message;
    auto runs = again->runs();
    ASSERT_TRUE(runs) << runs.error().message;
    ASSERT_EQ(runs->size(), 1u);
    EXPECT_EQ(runs->front().words[harvest::index_of(harvest::KeywordSource::LongTail)], 1);
}

}  // namespace
}  // namespace quorvel::journal
