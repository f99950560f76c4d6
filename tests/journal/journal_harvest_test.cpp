// The journal under real harvests against the local fake marketplace.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <stop_token>

#include "export/export.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "tests/journal/journal_test_support.h"
#include "tests/support/captured_log.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"

namespace quorvel::journal {
namespace {

using harvest::HarvestStore;
using harvest::KeywordSource;
using harvest::KindSet;
using harvest::RunEnd;
using testing::file_bytes;
using testing::gb;
using testing::names_in;
using testsupport::FileSizeLimit;
using testsupport::RecordingWindow;

// A window whose seed box holds `seed_text` (code-page text) with these kinds ticked.
RecordingWindow window_with(const std::string& seed_text, KindSet kinds) {
    RecordingWindow window;
    window.texts[std::string(harvest::seed_box)] = seed_text;
    for (KeywordSource source : harvest::all_sources) {
        window.checked[std::string(harvest::info(source).check_box)] = kinds.has(source);
    }
    return window;
}

// A window as a front end sets it up to continue a run: its seeds and kinds,
// and the result boxes refilled from its store.
RecordingWindow window_continuing(const LoadedRun& run) {
    RecordingWindow window = window_with(run.info.seed_text, run.info.kinds);
    for (KeywordSource source : harvest::all_sources) {
        std::string& box = window.texts[std::string(harvest::info(source).result_box)];
        for (const harvest::WordRow& row : run.store.word_rows(source)) {
            box += row.word + "\r\n";
        }
    }
    return window;
}

KindCounts word_counts(const HarvestStore& store) {
    KindCounts counts{};
    for (KeywordSource source : harvest::all_sources) {
        counts[harvest::index_of(source)] =
            static_cast<std::int64_t>(store.word_rows(source).size());
    }
    return counts;
}

class JournalHarvest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        fake_ = new testsupport::FakeMarketplace();
    }
    static void TearDownTestSuite() {
        delete fake_;
        fake_ = nullptr;
    }

    Journal open_journal(OpenNotes* notes = nullptr) {
        auto journal = Journal::open(file_, notes);
        EXPECT_TRUE(journal) << journal.error().message;
        return std::move(*journal);
    }
    std::unique_ptr<RunRecorder> begin(Journal& journal, KindSet kinds, const std::string& seeds) {
        auto recorder = journal.begin_run(kinds, seeds);
        EXPECT_TRUE(recorder) << recorder.error().message;
        return recorder ? std::move(*recorder) : nullptr;
    }
    harvest::RunOptions options(harvest::HarvestObserver* observer, std::stop_token stop = {}) {
        return {.hosts = hosts_, .stop = std::move(stop), .observer = observer};
    }

    static testsupport::FakeMarketplace* fake_;
    testing::ScratchFolder folder_;
    const std::filesystem::path file_ = folder_ / "quorvel.sqlite3";
    harvest::MarketplaceHosts hosts_{fake_->host(), fake_->host()};
};
testsupport::FakeMarketplace* JournalHarvest::fake_ = nullptr;

// Every kind, a seed typed twice, an empty seed, a seed holding "|" and ",",
// words with a tab, a lone line feed and carriage return, and an emoji
// (which code page 936 lacks): the run read back is the harvest's store.
TEST_F(JournalHarvest, TheLoadedRunIsWhatTheHarvestHeld) {
    const std::string seeds = gb("连衣裙\r\n\r\na|b,c\r\n😀\t表\r\nx\ny\rz\r\n连衣裙\r\n");
    Journal journal = open_journal();
    RecordingWindow window = window_with(seeds, KindSet::all());
    HarvestStore store;
    auto recorder = begin(journal, KindSet::all(), seeds);
    ASSERT_TRUE(recorder);
    ASSERT_EQ(harvest::start_harvest(window, store, options(recorder.get())), RunEnd::finished);
    EXPECT_FALSE(recorder->failure());
    auto some_word_holds = [&](const std::string& part) {
        for (KeywordSource source : harvest::all_sources) {
            for (const auto& row : store.word_rows(source)) {
                if (row.word.find(part) != std::string::npos) {
                    return true;
                }
            }
        }
        return false;
    };
    for (const std::string part : {"\t", "\n", "\r", "|", ","}) {
        ASSERT_TRUE(some_word_holds(part)) << static_cast<int>(part[0]);
    }
    ASSERT_TRUE(some_word_holds(gb("😀")));

    const auto loaded = journal.load(recorder->run_id());
    ASSERT_TRUE(loaded) << loaded.error().message;
    EXPECT_EQ(loaded->store, store);
    EXPECT_EQ(loaded->seeds, harvest::split_seeds(seeds));
    EXPECT_EQ(loaded->first_unfinished, 6u);
    const RunInfo& info = loaded->info;
    EXPECT_EQ(info.state, RunState::finished);
    EXPECT_EQ(info.seed_text, seeds);
    EXPECT_EQ(info.kinds, KindSet::all());
    EXPECT_EQ(info.seeds_total, 6u);
    EXPECT_EQ(info.seeds_done, 6u);
    EXPECT_EQ(info.words, word_counts(store));
    ASSERT_TRUE(info.ended_ms);
    EXPECT_GE(*info.ended_ms, info.started_ms);
}

// Stopped once the second seed's suggestions were stored and continued from
// a journal opened afresh, a run ends as one that was never stopped.
TEST_F(JournalHarvest, AStoppedRunContinuedEndsAsAnUninterruptedOne) {
    const std::string seeds = gb("连衣裙\r\nab c\r\nk\r\n");
    Journal journal = open_journal();
    HarvestStore whole;
    {
        RecordingWindow window = window_with(seeds, KindSet::all());
        ASSERT_EQ(harvest::start_harvest(window, whole, options(nullptr)), RunEnd::finished);
    }

    RecordingWindow window = window_with(seeds, KindSet::all());
    HarvestStore store;
    std::stop_source stop;
    const std::string related_box(harvest::info(KeywordSource::DidYouMean).check_box);
    window.on_read_checked = [&](std::string_view control) {
        if (control == related_box && store.seed_rows().size() == 1) {
            stop.request_stop();
        }
    };
    std::int64_t id = 0;
    {
        auto recorder = begin(journal, KindSet::all(), seeds);
        ASSERT_TRUE(recorder);
        id = recorder->run_id();
        ASSERT_EQ(harvest::start_harvest(window, store, options(recorder.get(), stop.get_token())),
                  RunEnd::stopped);
    }
    const auto stopped = journal.load(id);
    ASSERT_TRUE(stopped) << stopped.error().message;
    EXPECT_EQ(stopped->info.state, RunState::stopped);
    EXPECT_EQ(stopped->store, store);
    EXPECT_EQ(stopped->first_unfinished, 1u);
    ASSERT_FALSE(store.word_rows(KeywordSource::MobileDropdown).empty());
    ASSERT_EQ(store.word_rows(KeywordSource::MobileDropdown).back().seed, gb("ab c"));

    journal = open_journal();
    auto resumed = journal.resume_run(id);
    ASSERT_TRUE(resumed) << resumed.error().message;
    auto& [run, recorder] = *resumed;
    EXPECT_EQ(run.info.state, RunState::running);
    EXPECT_EQ(run.first_unfinished, 1u);
    EXPECT_EQ(run.store.seed_rows(), store.seed_rows());
    for (KeywordSource source : harvest::all_sources) {
        for (const auto& row : run.store.word_rows(source)) {
            EXPECT_EQ(row.seed, gb("连衣裙")) << row.word;
        }
    }
    RecordingWindow continuing = window_continuing(run);
    HarvestStore continued = run.store;
    ASSERT_EQ(
        harvest::run_harvest(
            continuing, continued,
            {.hosts = hosts_, .observer = recorder.get(), .first_seed = run.first_unfinished}),
        RunEnd::finished);
    recorder.reset();
    EXPECT_EQ(continued, whole);

    const auto finished = journal.load(id);
    ASSERT_TRUE(finished) << finished.error().message;
    EXPECT_EQ(finished->store, whole);
    EXPECT_EQ(finished->info.state, RunState::finished);
    EXPECT_EQ(finished->info.seeds_done, 3u);
    // The history counts the words found before the stop and after it.
    const auto listed = journal.runs(Journal::SeedText::opening);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->front().id, id);
    EXPECT_EQ(listed->front().words, word_counts(whole));
    const auto whole_csv = folder_ / "whole.csv";
    const auto continued_csv = folder_ / "continued.csv";
    ASSERT_TRUE(exporting::export_to_file(whole_csv.string(), whole));
    ASSERT_TRUE(exporting::export_to_file(continued_csv.string(), finished->store));
    EXPECT_EQ(file_bytes(continued_csv), file_bytes(whole_csv));

    const auto again = journal.resume_run(id);
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().kind, JournalError::Kind::not_resumable);
}

// Waits at each finished seed until the recorder has stored it, as replies
// far apart are stored one by one.
class StoreEachSeed : public harvest::HarvestObserver {
  public:
    explicit StoreEachSeed(RunRecorder& recorder) : recorder_(recorder) {}
    void seed_finished(std::size_t, const harvest::SeedRow&) override { recorder_.flush(); }

  private:
    RunRecorder& recorder_;
};

// A disk that fills during a run stops the recording, not the harvest; what
// was stored is whole up to the failure, and the run continues later.
// 停止 clicked before the harvest's first step: the run is kept as stopped,
// not left for the next start to offer as interrupted.
TEST_F(JournalHarvest, AStopBeforeTheHarvestBeginsIsKeptAsStopped) {
    Journal journal = open_journal();
    RecordingWindow window = window_with(gb("k\r\n"), KindSet::all());
    HarvestStore store;
    std::stop_source stop;
    stop.request_stop();
    auto recorder =
        journal.begin_run(KindSet::all(), gb("k\r\n"), journal::ResumeOffer::at_next_start);
    ASSERT_TRUE(recorder) << recorder.error().message;
    const std::int64_t id = (*recorder)->run_id();
    ASSERT_EQ(harvest::start_harvest(window, store, options(recorder->get(), stop.get_token())),
              RunEnd::stopped);
    recorder->reset();
    journal = open_journal();
    const auto kept = journal.load(id);
    ASSERT_TRUE(kept) << kept.error().message;
    EXPECT_EQ(kept->info.state, RunState::stopped);
    const auto offered = journal.run_to_offer();
    ASSERT_TRUE(offered);
    EXPECT_FALSE(offered->has_value());
}

TEST_F(JournalHarvest, AFullDiskStopsTheRecordingNotTheHarvest) {
    std::string seeds;
    for (int i = 0; i < 10; ++i) {
        seeds += gb("连衣裙") + std::to_string(i) + "\r\n";
    }
    testsupport::CapturedLog log;
    std::int64_t id = 0;
    HarvestStore store;
    {
        Journal journal = open_journal();
        auto recorder = begin(journal, KindSet::all(), seeds);
        ASSERT_TRUE(recorder);
        id = recorder->run_id();
        std::vector<std::string> told;
        recorder->on_failure([&](const JournalError& failure) { told.push_back(failure.message); });
        RecordingWindow window = window_with(seeds, KindSet::all());
        const auto log_size = std::filesystem::file_size(file_.string() + "-wal");
        harvest::ObserverList observers;
        observers.add(*recorder);
        StoreEachSeed store_each_seed(*recorder);
        observers.add(store_each_seed);
        RunEnd end{};
        {
            FileSizeLimit limit(log_size + 64 * 1024);
            end = harvest::start_harvest(window, store, options(&observers));
        }
        EXPECT_EQ(end, RunEnd::finished);
        EXPECT_EQ(store.seed_rows().size(), 10u);
        ASSERT_TRUE(recorder->failure());
        EXPECT_EQ(recorder->failure()->kind, JournalError::Kind::storage_failed);
        EXPECT_EQ(told, std::vector<std::string>{recorder->failure()->message});
        int errors = 0;
        for (const auto& line : log.lines()) {
            errors += line.level == platform::LogLevel::error ? 1 : 0;
        }
        EXPECT_EQ(errors, 1) << log.text();
    }

    OpenNotes notes;
    Journal journal = open_journal(&notes);
    EXPECT_EQ(notes.interrupted, std::vector<std::int64_t>{id});
    const auto kept = journal.load(id);
    ASSERT_TRUE(kept) << kept.error().message;
    EXPECT_EQ(kept->info.state, RunState::interrupted);
    // Whole up to the failure: the first seeds' rows and words, as the harvest had them.
    const std::size_t done = kept->first_unfinished;
    EXPECT_GT(done, 0u);
    EXPECT_LT(done, 10u);
    ASSERT_EQ(kept->store.seed_rows().size(), done);
    for (std::size_t i = 0; i < done; ++i) {
        EXPECT_EQ(kept->store.seed_rows()[i], store.seed_rows()[i]);
    }
    for (KeywordSource source : harvest::all_sources) {
        const auto& kept_rows = kept->store.word_rows(source);
        const auto& rows = store.word_rows(source);
        ASSERT_LE(kept_rows.size(), rows.size());
        EXPECT_TRUE(std::equal(kept_rows.begin(), kept_rows.end(), rows.begin()));
    }
    EXPECT_EQ(kept->info.words, word_counts(kept->store));

    auto resumed = journal.resume_run(id);
    ASSERT_TRUE(resumed) << resumed.error().message;
    auto& [run, recorder] = *resumed;
    RecordingWindow continuing = window_continuing(run);
    HarvestStore continued = run.store;
    harvest::run_harvest(
        continuing, continued,
        {.hosts = hosts_, .observer = recorder.get(), .first_seed = run.first_unfinished});
    recorder.reset();
    EXPECT_EQ(continued, store);
    EXPECT_EQ(journal.load(id)->store, store);
    EXPECT_TRUE(names_in(file_.string() + ".locks").empty());
}

}  // namespace
}  // namespace quorvel::journal
