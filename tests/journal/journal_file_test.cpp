// Opening the journal's file: bad files, newer files, and places that
// cannot hold one.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "journal/journal.h"
#include "journal/schema.h"
#include "tests/journal/journal_test_support.h"
#include "tests/support/captured_log.h"

namespace quorvel::journal {
namespace {

using testing::file_bytes;
using ::testing::HasSubstr;
using testing::names_in;
using testing::ScratchFolder;
using Kind = JournalError::Kind;
namespace fs = std::filesystem;

// A run of `words` words over one seed, finished, in a journal closed again.
void write_run(const fs::path& file, int words) {
    auto journal = Journal::open(file);
    ASSERT_TRUE(journal) << journal.error().message;
    auto recorder = journal->begin_run(harvest::KindSet::all(), "seed\r\n");
    ASSERT_TRUE(recorder) << recorder.error().message;
    for (int i = 0; i < words; ++i) {
        (*recorder)->word_recorded(harvest::KeywordSource::LongTail, 0, "seed",
                                   "word " + std::to_string(i), std::to_string(i));
    }
    (*recorder)->run_ended(harvest::RunEnd::finished);
}

TEST(JournalFile, AFileThatIsNotADatabaseIsMovedAsideWithItsCompanions) {
    ScratchFolder folder;
    const fs::path file = folder / "quorvel.sqlite3";
    std::ofstream(file, std::ios::binary) << "not a database\n";
    std::ofstream(file.string() + "-wal") << "old log";
    std::ofstream(file.string() + "-shm") << "old index";
    testsupport::CapturedLog log;
    fs::path first;
    {
        OpenNotes notes;
        auto journal = Journal::open(file, &notes);
        ASSERT_TRUE(journal) << journal.error().message;
        ASSERT_TRUE(notes.moved_aside);
        first = *notes.moved_aside;
        // quorvel.sqlite3.corrupt-YYYYMMDD-HHMMSS (gtest's regular expressions
        // on Windows have no {n}, so matched by hand).
        const std::string name = first.filename().string();
        const std::string stem = "quorvel.sqlite3.corrupt-";
        ASSERT_EQ(name.size(), stem.size() + 15) << name;
        EXPECT_EQ(name.substr(0, stem.size()), stem) << name;
        EXPECT_EQ(name[stem.size() + 8], '-') << name;
        for (std::size_t at : {std::size_t{0}, std::size_t{9}}) {
            const std::string digits = name.substr(stem.size() + at, at == 0 ? 8 : 6);
            EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << name;
        }
        EXPECT_EQ(file_bytes(first), "not a database\n");
        EXPECT_EQ(file_bytes(first.string() + "-wal"), "old log");
        EXPECT_EQ(file_bytes(first.string() + "-shm"), "old index");
        EXPECT_THAT(log.text(), HasSubstr("moved aside to " + first.string()));
        // The fresh journal keeps runs.
        write_run(file, 1);
        EXPECT_EQ(journal->runs()->size(), 1u);
    }
    // Another bad file within the same second: both are kept.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "again\n";
    OpenNotes notes;
    ASSERT_TRUE(Journal::open(file, &notes));
    ASSERT_TRUE(notes.moved_aside);
    EXPECT_NE(*notes.moved_aside, first);
    EXPECT_EQ(file_bytes(*notes.moved_aside), "again\n");
    EXPECT_EQ(file_bytes(first), "not a database\n");
}

TEST(JournalFile, ATruncatedDatabaseIsMovedAside) {
    ScratchFolder folder;
    const fs::path file = folder / "quorvel.sqlite3";
    write_run(file, 3000);
    ASSERT_FALSE(fs::exists(file.string() + "-wal"));
    std::string bytes = file_bytes(file);
    ASSERT_GT(bytes.size(), 16u * 4096);
    bytes.resize(bytes.size() / 2);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    std::ofstream(file.string() + "-wal") << "old log";

    OpenNotes notes;
    auto journal = Journal::open(file, &notes);
    ASSERT_TRUE(journal) << journal.error().message;
    ASSERT_TRUE(notes.moved_aside);
    EXPECT_EQ(file_bytes(*notes.moved_aside), bytes);
    EXPECT_EQ(file_bytes(notes.moved_aside->string() + "-wal"), "old log");
    EXPECT_TRUE(journal->runs()->empty());
}

TEST(JournalFile, AJournalOfANewerVersionIsLeftAsItIs) {
    ScratchFolder folder;
    const fs::path file = folder / "quorvel.sqlite3";
    {
        auto db = sql::Connection::open(file, sql::Connection::Mode::read_write_create);
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->execute("CREATE TABLE later (x); PRAGMA user_version = " +
                                std::to_string(schema_version + 1)));
    }
    const std::string before = file_bytes(file);
    const auto names = names_in(folder.path());
    const auto journal = Journal::open(file);
    ASSERT_FALSE(journal);
    EXPECT_EQ(journal.error().kind, Kind::newer_version);
    EXPECT_EQ(file_bytes(file), before);
    EXPECT_EQ(names_in(folder.path()), names);
}

TEST(JournalFile, PlacesThatCannotHoldAJournalCannotBeOpened) {
    ScratchFolder folder;
    std::ofstream(folder / "plain") << "x";
    for (const fs::path& place : {folder / "plain" / "quorvel.sqlite3", folder.path()}) {
        const auto journal = Journal::open(place);
        ASSERT_FALSE(journal) << place;
        EXPECT_EQ(journal.error().kind, Kind::cannot_open) << place;
        EXPECT_THAT(journal.error().message, HasSubstr(place.string())) << place;
    }
    EXPECT_EQ(names_in(folder.path()), std::vector<std::string>{"plain"});
    EXPECT_EQ(file_bytes(folder / "plain"), "x");
}

}  // namespace
}  // namespace quorvel::journal
