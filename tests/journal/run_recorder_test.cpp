// The recorder told by hand, and the journal's runs listed, removed and
// refused.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "journal/journal.h"
#include "journal/sqlite.h"
#include "platform/code_page.h"
#include "tests/journal/journal_test_support.h"

namespace quorvel::journal {
namespace {

using harvest::HarvestStore;
using harvest::KeywordSource;
using harvest::KindSet;
using harvest::RequestKind;
using harvest::SeedRow;
using testing::gb;
using testing::names_in;
using Kind = JournalError::Kind;

class Recording : public ::testing::Test {
  protected:
    void SetUp() override {
        auto opened = Journal::open(file_);
        ASSERT_TRUE(opened) << opened.error().message;
        journal_ = std::make_unique<Journal>(std::move(*opened));
    }
    std::unique_ptr<RunRecorder> begin(std::string_view seeds, KindSet kinds = KindSet::all()) {
        auto recorder = journal_->begin_run(kinds, seeds);
        EXPECT_TRUE(recorder) << recorder.error().message;
        return recorder ? std::move(*recorder) : nullptr;
    }
    LoadedRun load(std::int64_t id) {
        auto loaded = journal_->load(id);
        EXPECT_TRUE(loaded) << loaded.error().message;
        return loaded ? std::move(*loaded) : LoadedRun{};
    }
    // A number read from the file itself.
    std::int64_t stored_number(std::string_view query, std::int64_t id) {
        auto db = sql::Connection::open(file_, sql::Connection::Mode::read_write);
        EXPECT_TRUE(db);
        auto number = db->query_number(query, id);
        EXPECT_TRUE(number) << number.error().text();
        return number.value_or(-1);
    }

    testing::ScratchFolder folder_;
    const std::filesystem::path file_ = folder_ / "quorvel.sqlite3";
    std::unique_ptr<Journal> journal_;
};

// Each reply's words are stored when the reply is processed, a summary row
// with any words still waiting, and a run left without its end keeps all it
// was told and is marked interrupted.
TEST_F(Recording, WhatIsToldIsStoredAtEachReplyRowAndEnd) {
    auto recorder = begin("s1\r\ns2\r\n", KindSet().add(KeywordSource::PcDropdown));
    ASSERT_TRUE(recorder);
    const std::int64_t id = recorder->run_id();
    const std::string word = gb("连衣裙");
    recorder->word_recorded(KeywordSource::PcDropdown, 0, "s1", word, "1000");
    recorder->word_recorded(KeywordSource::DidYouMean, 0, "s1", "w2", "");
    recorder->reply_processed(RequestKind::pc_suggest);
    recorder->flush();
    LoadedRun stored = load(id);
    EXPECT_EQ(stored.store.word_rows(KeywordSource::PcDropdown).size(), 1u);
    EXPECT_EQ(stored.info.words, (KindCounts{1, 0, 0, 0, 1}));
    EXPECT_EQ(stored.info.kinds, KindSet().add(KeywordSource::PcDropdown));
    // The file holds UTF-8 text.
    EXPECT_EQ(stored_number("SELECT count(*) FROM words WHERE run = ? AND word = '连衣裙'", id), 1);

    recorder->word_recorded(KeywordSource::PcDropdown, 0, "s1", "w3", "1001");
    recorder->seed_finished(0, SeedRow{"s1", {2, 0, 0, 0, 1}});
    recorder->flush();
    stored = load(id);
    EXPECT_EQ(stored.info.seeds_done, 1u);
    EXPECT_EQ(stored.first_unfinished, 1u);
    EXPECT_EQ(stored.store.word_rows(KeywordSource::PcDropdown).size(), 2u);

    // The reply of the second seed is cut short by the recorder going.
    recorder->word_recorded(KeywordSource::LongTail, 1, "s2", "w4", "");
    recorder.reset();
    stored = load(id);
    HarvestStore expected;
    expected.add_seed_row({"s1", {2, 0, 0, 0, 1}});
    expected.add_word(KeywordSource::PcDropdown, "s1", word, "1000");
    expected.add_word(KeywordSource::DidYouMean, "s1", "w2");
    expected.add_word(KeywordSource::PcDropdown, "s1", "w3", "1001");
    expected.add_word(KeywordSource::LongTail, "s2", "w4");
    EXPECT_EQ(stored.store, expected);
    EXPECT_EQ(stored.info.state, RunState::interrupted);
    EXPECT_TRUE(stored.info.ended_ms);
    EXPECT_EQ(stored.info.words, (KindCounts{2, 0, 0, 1, 1}));
    EXPECT_TRUE(names_in(file_.string() + ".locks").empty());
}

// A stopped run keeps the words of the reply it stopped in, and its
// recorder no longer guards it once its end is stored.
// A reply is stored before the next one is processed: the next request's
// return waits for it, even while another process holds the database.
TEST_F(Recording, AReplyIsStoredBeforeTheNextIsProcessed) {
    auto recorder = begin("s1\r\n", KindSet().add(KeywordSource::MobileDropdown));
    ASSERT_TRUE(recorder);
    const std::int64_t id = recorder->run_id();
    auto other = sql::Connection::open(file_, sql::Connection::Mode::read_write);
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->execute("BEGIN IMMEDIATE"));
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(other->execute("COMMIT"));
    });
    recorder->word_recorded(KeywordSource::MobileDropdown, 0, "s1", "w1", "");
    recorder->reply_processed(RequestKind::mobile_suggest);
    recorder->request_done(RequestKind::long_tail, "s1", {});
    const std::int64_t stored = stored_number("SELECT count(*) FROM words WHERE run = ?", id);
    release.join();
    EXPECT_EQ(stored, 1);
}

TEST_F(Recording, AStoppedRunKeepsItsLastWords) {
    auto recorder = begin("s\r\n");
    ASSERT_TRUE(recorder);
    recorder->word_recorded(KeywordSource::MobileDropdown, 0, "s", "m1", "2000");
    recorder->word_recorded(KeywordSource::MobileDropdown, 0, "s", "m2", "2001");
    recorder->run_ended(harvest::RunEnd::stopped);
    const LoadedRun stored = load(recorder->run_id());
    EXPECT_EQ(stored.info.state, RunState::stopped);
    EXPECT_EQ(stored.store.word_rows(KeywordSource::MobileDropdown).size(), 2u);
    EXPECT_EQ(stored.first_unfinished, 0u);
    EXPECT_TRUE(journal_->resume_run(recorder->run_id()));
}

// The seed positions stored must name the seeds the harvest ran over, even
// when the run was begun with another text.
TEST_F(Recording, TheHarvestsSeedListIsKept) {
    auto recorder = begin("a\r\n");
    ASSERT_TRUE(recorder);
    recorder->run_started({"x", "", "y"}, 0);
    recorder->word_recorded(KeywordSource::PcDropdown, 2, "y", "w", "");
    recorder->reply_processed(RequestKind::pc_suggest);
    recorder->flush();
    const LoadedRun stored = load(recorder->run_id());
    EXPECT_EQ(stored.seeds, (std::vector<std::string>{"x", "", "y"}));
    EXPECT_EQ(stored.info.seeds_total, 3u);
    EXPECT_EQ(stored.store.word_rows(KeywordSource::PcDropdown).at(0).seed, "y");
}

// Two runs of two threads (as of the window and a command line) write at
// once; each waits for the other's transaction instead of failing.
TEST_F(Recording, TwoRunsWriteAtOnce) {
    auto first = begin("s\r\n");
    auto second = begin("s\r\n");
    ASSERT_TRUE(first && second);
    constexpr int replies = 300;
    auto write = [](RunRecorder& recorder) {
        for (int reply = 0; reply < replies; ++reply) {
            for (int word = 0; word < 20; ++word) {
                recorder.word_recorded(KeywordSource::LongTail, 0, "s", "w", "1");
            }
            recorder.reply_processed(RequestKind::long_tail);
        }
        recorder.run_ended(harvest::RunEnd::finished);
    };
    std::thread other(write, std::ref(*second));
    write(*first);
    other.join();
    for (RunRecorder* recorder : {first.get(), second.get()}) {
        EXPECT_FALSE(recorder->failure()) << recorder->failure()->message;
        EXPECT_EQ(load(recorder->run_id()).info.words[3], replies * 20);
    }
}

TEST_F(Recording, RunsAreListedNewestFirstAndRemovedWithAllTheyFound) {
    auto older = begin("a\r\n");
    ASSERT_TRUE(older);
    older->word_recorded(KeywordSource::PcDropdown, 0, "a", "w", "");
    older->seed_finished(0, SeedRow{"a", {1, 0, 0, 0, 0}});
    older->run_ended(harvest::RunEnd::finished);
    auto newer = begin("b\r\n");
    ASSERT_TRUE(newer);
    const std::int64_t old_id = older->run_id();
    const std::int64_t new_id = newer->run_id();

    auto runs = journal_->runs();
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 2u);
    EXPECT_EQ((*runs)[0].id, new_id);
    EXPECT_EQ((*runs)[0].state, RunState::running);
    EXPECT_EQ((*runs)[1].id, old_id);
    EXPECT_EQ((*runs)[1].state, RunState::finished);
    EXPECT_EQ((*runs)[1].words[0], 1);
    EXPECT_EQ((*runs)[1].seeds_done, 1u);

    const auto finished = journal_->resume_run(old_id);
    ASSERT_FALSE(finished);
    EXPECT_EQ(finished.error().kind, Kind::not_resumable);
    const auto busy = journal_->remove(new_id);
    ASSERT_FALSE(busy);
    EXPECT_EQ(busy.error().kind, Kind::run_in_use);

    ASSERT_TRUE(journal_->remove(old_id));
    EXPECT_EQ(stored_number("SELECT count(*) FROM words WHERE run = ?", old_id), 0);
    EXPECT_EQ(stored_number("SELECT count(*) FROM seeds WHERE run = ?", old_id), 0);
    runs = journal_->runs();
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 1u);
    for (const auto& failed : {journal_->load(old_id).error(), journal_->remove(old_id).error(),
                               journal_->resume_run(old_id).error()}) {
        EXPECT_EQ(failed.kind, Kind::no_such_run) << failed.message;
    }
}

// The window asks once, at its next start, about the newest of its runs
// whose process died; runs begun without the offer, runs already asked
// about and runs that ended (finished, stopped, or after their recording
// failed; even in a file that kept their offer) are passed over.
TEST_F(Recording, OnlyARunWhoseProcessDiedIsOfferedAndOnce) {
    auto offered_once = [&](std::int64_t id) {
        auto found = journal_->run_to_offer();
        EXPECT_TRUE(found) << found.error().message;
        return found && *found && (*found)->id == id;
    };
    std::int64_t plain = 0;
    std::int64_t older = 0;
    std::int64_t newer = 0;
    {
        auto recorder = begin("a\r\n");
        plain = recorder->run_id();
    }
    for (std::int64_t* id : {&older, &newer}) {
        auto recorder =
            journal_->begin_run(KindSet::all(), "a\r\nb\r\n", ResumeOffer::at_next_start);
        ASSERT_TRUE(recorder);
        *id = (*recorder)->run_id();
        (*recorder)->seed_finished(0, SeedRow{"a", {}});
    }  // destroyed before their end: interrupted
    auto execute = [&](std::string_view sql) {
        auto db = sql::Connection::open(file_, sql::Connection::Mode::read_write);
        return db && db->execute(sql);
    };
    // The file refuses the word "x": the recording of the run that finds it fails.
    ASSERT_TRUE(
        execute("CREATE TRIGGER refuse BEFORE INSERT ON words WHEN NEW.word = 'x' "
                "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    for (const auto& [end, word] : {std::pair{harvest::RunEnd::finished, "w"},
                                    {harvest::RunEnd::stopped, "w"},
                                    {harvest::RunEnd::finished, "x"}}) {
        auto recorder = journal_->begin_run(KindSet::all(), "c\r\n", ResumeOffer::at_next_start);
        ASSERT_TRUE(recorder);
        (*recorder)->word_recorded(KeywordSource::PcDropdown, 0, "c", word, "");
        (*recorder)->run_ended(end);
        EXPECT_EQ((*recorder)->failure().has_value(), std::string_view(word) == "x");
    }
    EXPECT_EQ(stored_number("SELECT sum(offer_resume) FROM runs WHERE id > ?", newer), 0);
    // Opened again, the journal finds the run whose recording failed interrupted.
    auto reopened = Journal::open(file_);
    ASSERT_TRUE(reopened);
    *journal_ = std::move(*reopened);
    EXPECT_TRUE(offered_once(newer));
    ASSERT_TRUE(journal_->offered(newer));
    EXPECT_TRUE(offered_once(older));
    ASSERT_TRUE(journal_->offered(older));
    auto none = journal_->run_to_offer();
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
    ASSERT_TRUE(execute("UPDATE runs SET offer_resume = 1 WHERE state IN ('finished', 'stopped')"));
    none = journal_->run_to_offer();
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);

    // Continued with the offer and interrupted again: offered again. Continued
    // without it (as the command line does): not.
    {
        auto resumed = journal_->resume_run(older, ResumeOffer::at_next_start);
        ASSERT_TRUE(resumed) << resumed.error().message;
        EXPECT_EQ(resumed->first.first_unfinished, 1u);
    }
    EXPECT_TRUE(offered_once(older));
    {
        auto resumed = journal_->resume_run(older);
        ASSERT_TRUE(resumed) << resumed.error().message;
    }
    none = journal_->run_to_offer();
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
    EXPECT_EQ(journal_->load(plain)->info.state, RunState::interrupted);
}

// A listing may read only the opening of each seed text: the first
// characters, never part of one, and the whole text stays for loading.
TEST_F(Recording, AListingMayReadOnlyTheOpeningOfTheSeeds) {
    std::string many;
    for (int i = 0; i < 300; ++i) {
        many += gb("连衣裙") + std::to_string(i) + "\r\n";
    }
    auto recorder = begin(many);
    ASSERT_TRUE(recorder);
    auto listed = journal_->runs(Journal::SeedText::opening);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 1u);
    const std::string& opening = listed->front().seed_text;
    EXPECT_EQ(many.rfind(opening, 0), 0u);  // a prefix of the seed text
    const std::string utf8 =
        platform::convert_code_page(opening, platform::code_page_gbk, platform::code_page_utf8);
    const auto characters = std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    EXPECT_EQ(characters, Journal::seed_text_opening);
    EXPECT_EQ(journal_->runs()->front().seed_text, many);
    EXPECT_EQ(load(recorder->run_id()).info.seed_text, many);
}

}  // namespace
}  // namespace quorvel::journal
