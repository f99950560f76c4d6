// The journal seen from other processes: runs of live and killed processes,
// and files the user may not write. The other process is the helper
// program quorvel_journal_child.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <charconv>

#include "journal/journal.h"
#include "tests/journal/child_process.h"
#include "tests/journal/journal_test_support.h"
#include "tests/support/captured_log.h"

namespace quorvel::journal {
namespace {

using testing::Child;
using testing::file_bytes;
using testing::names_in;
using testing::ScratchFolder;
using Kind = JournalError::Kind;
namespace fs = std::filesystem;

std::int64_t run_id_of(const std::string& line) {
    std::int64_t id = -1;
    const auto read = std::from_chars(line.data(), line.data() + line.size(), id);
    EXPECT_TRUE(read.ec == std::errc() && read.ptr == line.data() + line.size()) << line;
    return id;
}

// A run whose process was killed is marked interrupted at the next opening,
// with what it had stored; a run whose process lives is left alone.
TEST(JournalProcesses, ARunIsInterruptedOnlyOnceItsProcessIsGone) {
    ScratchFolder folder;
    const fs::path file = folder / "quorvel.sqlite3";
    ASSERT_TRUE(Journal::open(file));
    Child killed({"hold", file.string()});
    Child alive({"hold", file.string()});
    const std::int64_t killed_id = run_id_of(killed.line());
    const std::int64_t alive_id = run_id_of(alive.line());
    killed.kill_now();

    testsupport::CapturedLog log;
    OpenNotes notes;
    auto journal = Journal::open(file, &notes);
    ASSERT_TRUE(journal) << journal.error().message;
    EXPECT_EQ(notes.interrupted, std::vector<std::int64_t>{killed_id});
    EXPECT_THAT(log.text(), ::testing::HasSubstr("run " + std::to_string(killed_id) +
                                                 " is no longer held by a live process"));
    for (const std::int64_t id : {killed_id, alive_id}) {
        const auto run = journal->load(id);
        ASSERT_TRUE(run) << run.error().message;
        EXPECT_EQ(run->info.state, id == killed_id ? RunState::interrupted : RunState::running);
        EXPECT_EQ(run->store.word_rows(harvest::KeywordSource::PcDropdown).size(), 2u);
    }
    EXPECT_EQ(journal->resume_run(alive_id).error().kind, Kind::run_in_use);
    EXPECT_EQ(journal->remove(alive_id).error().kind, Kind::run_in_use);
    EXPECT_EQ(names_in(file.string() + ".locks").size(), 1u);

    alive.kill_now();
    auto later = Journal::open(file, &notes);
    ASSERT_TRUE(later) << later.error().message;
    EXPECT_EQ(notes.interrupted, std::vector<std::int64_t>{alive_id});
    EXPECT_TRUE(names_in(file.string() + ".locks").empty());
    EXPECT_TRUE(later->resume_run(killed_id));
}

struct Place {
    fs::path folder;
    fs::path file;
    fs::perms folder_mode;
    std::optional<fs::perms> file_mode;
};

// As a user who may not write them (the helper gives up root's rights): a
// folder, a journal file, and a journal file whose folder cannot take its
// write-ahead log. Each gives cannot_open; nothing is moved or changed.
TEST(JournalProcesses, PlacesTheUserCannotWriteCannotBeOpened) {
    ScratchFolder folder;
    fs::permissions(folder.path(), fs::perms(0755));
    const std::vector<Place> places = {
        {folder / "empty", folder / "empty" / "quorvel.sqlite3", fs::perms(0555), std::nullopt},
        {folder / "readable", folder / "readable" / "quorvel.sqlite3", fs::perms(0777),
         fs::perms(0444)},
        {folder / "locked", folder / "locked" / "quorvel.sqlite3", fs::perms(0555),
         fs::perms(0666)},
    };
    for (const Place& place : places) {
        fs::create_directory(place.folder);
        if (place.file_mode) {
            ASSERT_TRUE(Journal::open(place.file));
            fs::permissions(place.file, *place.file_mode);
        }
        fs::permissions(place.folder, place.folder_mode);
        const auto names = names_in(place.folder);
        const std::string bytes = file_bytes(place.file);
        Child child({"open", place.file.string()});
        EXPECT_EQ(child.line(), "cannot_open") << place.file;
        EXPECT_EQ(names_in(place.folder), names) << place.file;
        EXPECT_EQ(file_bytes(place.file), bytes) << place.file;
        fs::permissions(place.folder, fs::perms(0755));
    }
}

}  // namespace
}  // namespace quorvel::journal
