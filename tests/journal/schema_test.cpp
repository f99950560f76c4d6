// Bringing a file's tables up to date, step by step.

#include "journal/schema.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "journal/journal.h"
#include "tests/journal/journal_test_support.h"

namespace quorvel::journal {
namespace {

TEST(JournalSchema, TheStepsAfterTheFilesVersionApplyAllOrNone) {
    testing::ScratchFolder folder;
    auto db =
        sql::Connection::open(folder / "steps.sqlite3", sql::Connection::Mode::read_write_create);
    ASSERT_TRUE(db);
    auto version = [&] { return db->query_number("PRAGMA user_version").value_or(-1); };
    auto tables = [&] {
        return db->query_number("SELECT count(*) FROM sqlite_schema").value_or(-1);
    };

    constexpr std::array<std::string_view, 2> broken = {
        "CREATE TABLE a (x)", "CREATE TABLE b (x); INSERT INTO missing VALUES (1)"};
    const auto failed = migrate(*db, broken);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, MigrationError::Kind::failed);
    EXPECT_THAT(failed.error().error.message, ::testing::HasSubstr("missing"));
    EXPECT_EQ(version(), 0);
    EXPECT_EQ(tables(), 0);

    constexpr std::array<std::string_view, 3> steps = {"CREATE TABLE a (x)", "CREATE TABLE b (x)",
                                                       "CREATE TABLE c (x)"};
    EXPECT_EQ(migrate(*db, std::span(steps).first(2)), 0);
    EXPECT_EQ(version(), 2);
    // Only the new step runs: the first two again would fail, their tables being there.
    EXPECT_EQ(migrate(*db, steps), 2);
    EXPECT_EQ(version(), 3);
    EXPECT_EQ(tables(), 3);
    const auto older = migrate(*db, std::span(steps).first(1));
    ASSERT_FALSE(older);
    EXPECT_EQ(older.error().kind, MigrationError::Kind::newer_version);
    EXPECT_EQ(older.error().found_version, 3);
    EXPECT_EQ(tables(), 3);
}

// A journal of the first version keeps its runs when brought up to date,
// none of them is offered for continuing, and they read as made one request
// at a time.
TEST(JournalSchema, AFirstVersionJournalIsBroughtUpToDateKeepingItsRuns) {
    testing::ScratchFolder folder;
    const auto file = folder / "quorvel.sqlite3";
    {
        auto db = sql::Connection::open(file, sql::Connection::Mode::read_write_create);
        ASSERT_TRUE(db);
        ASSERT_TRUE(migrate(*db, std::span(schema_steps).first(1)));
        ASSERT_TRUE(db->run(
            "INSERT INTO runs (started_ms, state, kinds, seed_text, seeds_total, lock_token) "
            "VALUES (1, 'interrupted', 31, 'a', 1, 't')"));
    }
    auto journal = Journal::open(file);
    ASSERT_TRUE(journal) << journal.error().message;
    auto runs = journal->runs();
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 1u);
    EXPECT_EQ((*runs)[0].state, RunState::interrupted);
    EXPECT_EQ((*runs)[0].parallel, 1);
    auto offer = journal->run_to_offer();
    ASSERT_TRUE(offer) << offer.error().message;
    EXPECT_FALSE(*offer);
    auto db = sql::Connection::open(file, sql::Connection::Mode::read_write);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->query_number("PRAGMA user_version").value_or(-1), schema_version);
}

}  // namespace
}  // namespace quorvel::journal
