// Harvests with several requests in flight against the local fake
// marketplace: what they show, store, journal and export is what one request
// at a time gives.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stop_token>
#include <thread>

#include "export/export.h"
#include "harvest/harvest_run.h"
#include "harvest/prefetcher.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "tests/journal/journal_test_support.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/hang_guard.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"
#include "web/http_request.h"

namespace quorvel::journal {
namespace {

using harvest::HarvestStore;
using harvest::KeywordSource;
using harvest::KindSet;
using harvest::RequestKind;
using harvest::RunEnd;
using testing::file_bytes;
using testing::gb;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::RecordingWindow;

// What the run tells its observer, one line per call, in order.
class Told : public harvest::HarvestObserver {
  public:
    std::vector<std::string> lines;
    void seed_started(std::size_t index, const std::string& seed) override {
        lines.push_back("seed " + std::to_string(index) + " " + seed);
    }
    void request_done(RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override {
        lines.push_back("done " + std::to_string(static_cast<int>(kind)) + " " + seed + " " +
                        std::to_string(outcome.status) + " " +
                        std::string(platform::transport_error_name(outcome.error)));
    }
    void request_retried(RequestKind kind, const std::string& seed,
                         const platform::ExchangeOutcome& outcome, int attempt) override {
        lines.push_back("retry " + std::to_string(static_cast<int>(kind)) + " " + seed + " " +
                        std::string(platform::transport_error_name(outcome.error)) + " " +
                        std::to_string(attempt));
    }
    void login_wall(RequestKind kind, const std::string& seed, const std::string&) override {
        lines.push_back("login " + std::to_string(static_cast<int>(kind)) + " " + seed);
    }
    void verification_page(RequestKind kind, const std::string& seed, const std::string&) override {
        lines.push_back("check " + std::to_string(static_cast<int>(kind)) + " " + seed);
    }
    void reply_processed(RequestKind kind) override {
        lines.push_back("processed " + std::to_string(static_cast<int>(kind)));
    }
    void run_ended(RunEnd end) override {
        lines.push_back(end == RunEnd::finished ? "end finished" : "end stopped");
    }
};

// Everything a run leaves behind, to be compared whole.
struct Outcome {
    RunEnd end = RunEnd::stopped;
    std::vector<std::string> window;  // appends and messages, in order
    std::vector<std::string> told;
    HarvestStore store;
    LoadedRun kept;
    std::string csv;
};

class ParallelHarvest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    }
    void SetUp() override {
        platform::set_resolve_entries({*platform::parse_resolve_entry(
            std::string(fake_.login_host()) + ":" + std::to_string(fake_.port()) + ":127.0.0.1")});
    }
    void TearDown() override { platform::set_resolve_entries({}); }

    // The user passes the check page by posting its form, as a browser would.
    harvest::VerificationAnswer pass(const harvest::VerificationPage& page) {
        const auto at = page.url.find("x5secdata=") + 10;
        const std::string token = page.url.substr(at, page.url.find('&', at) - at);
        web::HttpRequestArgs form{.url = "https://" + fake_.host() + "/_____tmd_____/verify",
                                  .method = 1,
                                  .body_text = "x5secdata=" + token,
                                  .headers = "Content-Type: application/x-www-form-urlencoded"};
        EXPECT_EQ(web::HttpRequest(form).outcome.status, 200);
        return harvest::VerificationAnswer::retry;
    }

    // A run of `seeds` with every kind ticked, kept in the journal, with
    // `parallel` requests in flight; `untick` may change the window as it
    // reads a check box.
    Outcome harvest(const std::string& seeds, int parallel,
                    const std::function<void(RecordingWindow&, const HarvestStore&)>& untick = {},
                    std::stop_token stop = {}) {
        RecordingWindow window;
        window.texts[std::string(harvest::seed_box)] = seeds;
        for (KeywordSource source : harvest::all_sources) {
            window.checked[std::string(harvest::info(source).check_box)] = true;
        }
        Outcome out;
        if (untick) {
            window.on_read_checked = [&](std::string_view) { untick(window, out.store); };
        }
        auto recorder = journal_.begin_run(KindSet::all(), seeds, ResumeOffer::none, parallel);
        EXPECT_TRUE(recorder);
        Told told;
        harvest::ObserverList observers;
        observers.add(told);
        observers.add(**recorder);
        out.end = harvest::start_harvest(
            window, out.store,
            {.hosts = hosts_,
             .stop = std::move(stop),
             .observer = &observers,
             .retry_delays = {std::chrono::milliseconds(20), std::chrono::milliseconds(20)},
             .on_verification = [this](const auto& page) { return pass(page); },
             .parallel = parallel});
        const std::int64_t id = (*recorder)->run_id();
        recorder->reset();
        out.window = window.events;
        out.told = told.lines;
        out.kept = *journal_.load(id);
        const auto csv = folder_ / ("run" + std::to_string(id) + ".csv");
        EXPECT_TRUE(exporting::export_to_file(csv.string(), out.store));
        out.csv = file_bytes(csv);
        return out;
    }

    static void expect_same(const Outcome& one, const Outcome& several) {
        EXPECT_EQ(several.end, one.end);
        EXPECT_EQ(several.window, one.window);
        EXPECT_EQ(several.told, one.told);
        EXPECT_EQ(several.store, one.store);
        EXPECT_EQ(several.kept.store, one.kept.store);
        EXPECT_EQ(several.kept.info.words, one.kept.info.words);
        EXPECT_EQ(several.kept.info.state, one.kept.info.state);
        EXPECT_EQ(several.kept.first_unfinished, one.kept.first_unfinished);
        EXPECT_EQ(several.csv, one.csv);
    }

    testsupport::FakeMarketplace fake_;
    harvest::MarketplaceHosts hosts_{fake_.host(), fake_.host()};
    testing::ScratchFolder folder_;
    Journal journal_ = std::move(*Journal::open(folder_ / "quorvel.sqlite3"));
};

// Failing, slow, JSONP and empty replies, a dropped connection tried again,
// a check page passed, a kind unticked half-way, and then a sign-in wall:
// four requests in flight show, tell, store, keep and export exactly what one
// at a time does, and the journal records how many were in flight.
TEST_F(ParallelHarvest, FourInFlightGiveWhatOneAtATimeGives) {
    const std::string seeds =
        gb("a\r\nb\r\nk\r\nk\r\nd\r\n连衣裙\r\n\r\ne\r\na\r\nf\r\ng\r\nh\r\nab c");
    const auto moody_marketplace = [&] {
        fake_.clear_failures();
        fake_.fail(Endpoint::pc, "b", Failure::empty_body);
        fake_.fail(Endpoint::mobile, "d", Failure::jsonp);
        fake_.fail(Endpoint::search, "e", Failure::slow);
        fake_.fail(Endpoint::mobile, "f", Failure::status_500);
        fake_.fail(Endpoint::pc, "g", Failure::invalid_json);
        fake_.fail(Endpoint::search, "g", Failure::no_markers);
        fake_.drop_connections(Endpoint::pc, "h", 1);
        fake_.require_verification(Endpoint::mobile, "k");
    };
    // The long-tail box is unticked once three seeds are finished.
    const auto untick = [](RecordingWindow& window, const HarvestStore& store) {
        if (store.seed_rows().size() == 3) {
            window.checked[std::string(harvest::info(KeywordSource::LongTail).check_box)] = false;
        }
    };
    moody_marketplace();
    const Outcome one = harvest(seeds, 1, untick);
    moody_marketplace();
    const Outcome four = harvest(seeds, 4, untick);
    expect_same(one, four);
    EXPECT_EQ(one.end, RunEnd::finished);
    EXPECT_EQ(std::count(one.told.begin(), one.told.end(), "check 1 k"), 1);
    EXPECT_EQ(std::count_if(one.told.begin(), one.told.end(),
                            [](const std::string& l) { return l.starts_with("retry 0 h"); }),
              1);
    EXPECT_TRUE(std::any_of(one.window.begin(), one.window.end(),
                            [](const std::string& e) { return e.starts_with("message "); }));
    EXPECT_EQ(one.kept.info.parallel, 1);
    EXPECT_EQ(four.kept.info.parallel, 4);

    // Without a kind unticked, no request is made in vain.
    fake_.clear_failures();
    fake_.require_session(true);
    const auto requests_of = [&](int parallel) {
        fake_.clear_requests();
        Outcome out = harvest(seeds, parallel);
        std::vector<std::string> requests = fake_.steady_requests();
        std::sort(requests.begin(), requests.end());
        return std::pair{std::move(out), requests};
    };
    const auto [walled, one_asked] = requests_of(1);
    const auto [walled_four, four_asked] = requests_of(4);
    expect_same(walled, walled_four);
    EXPECT_EQ(four_asked, one_asked);
    EXPECT_EQ(std::count(walled.told.begin(), walled.told.end(), "login 2 a"), 1);
    EXPECT_TRUE(walled.store.word_rows(KeywordSource::DidYouMean).empty());
}

// With four in flight and an interval, no two requests start closer than
// the interval, whatever kind or seed they are for.
TEST_F(ParallelHarvest, StartsAreSpacedByTheIntervalAcrossRequestsInFlight) {
    const std::vector<std::string> seeds = {"a", "b", "c"};
    const harvest::RunOptions options{
        .hosts = hosts_, .interval = std::chrono::milliseconds(40), .parallel = 4};
    harvest::Prefetcher prefetcher(seeds, 0, KindSet::all(), options);
    std::vector<std::chrono::steady_clock::time_point> starts;
    for (std::size_t seed = 0; seed < seeds.size(); ++seed) {
        for (RequestKind kind :
             {RequestKind::pc_suggest, RequestKind::mobile_suggest, RequestKind::related_search}) {
            const auto taken = prefetcher.take({seed, kind, seeds[seed], 0});
            ASSERT_TRUE(taken);
            EXPECT_EQ(taken->reply.outcome.status, 200);
            starts.push_back(taken->started);
        }
    }
    std::sort(starts.begin(), starts.end());
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_GE(starts[i] - starts[i - 1], options.interval) << i;
    }
}

// A stop while four requests hang ends them all; the run is kept as
// stopped, and continued it ends as one never stopped.
TEST_F(ParallelHarvest, AStopWhileFourRequestsHangEndsThemAndTheRunContinues) {
    const std::string seeds = gb("a\r\nh1\r\nh2\r\nh3\r\nh4\r\nz");
    const Outcome whole = harvest(seeds, 1);
    fake_.clear_requests();
    for (const char* seed : {"h1", "h2", "h3", "h4"}) {
        fake_.fail(Endpoint::search, seed, Failure::hang);
    }
    std::stop_source stop;
    std::jthread stopper([&] {
        while (fake_.held_replies_sent() == 0 &&
               std::ranges::count_if(fake_.requests(), [](const std::string& r) {
                   return r.starts_with("/search?") &&
                          testsupport::percent_decode(r).find("&q=h") != std::string::npos;
               }) < 4) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop.request_stop();
    });
    const Outcome stopped =
        testsupport::without_hanging([&] { return harvest(seeds, 4, {}, stop.get_token()); });
    EXPECT_EQ(stopped.end, RunEnd::stopped);
    EXPECT_TRUE(fake_.await_held_requests_dropped(4));
    EXPECT_EQ(stopped.kept.info.state, RunState::stopped);
    EXPECT_EQ(stopped.kept.first_unfinished, 1u);
    EXPECT_EQ(stopped.kept.store, stopped.store);

    fake_.clear_failures();
    auto resumed = journal_.resume_run(stopped.kept.info.id, ResumeOffer::none, 4);
    ASSERT_TRUE(resumed) << resumed.error().message;
    auto& [run, recorder] = *resumed;
    RecordingWindow window;
    window.texts[std::string(harvest::seed_box)] = seeds;
    for (KeywordSource source : harvest::all_sources) {
        window.checked[std::string(harvest::info(source).check_box)] = true;
        for (const harvest::WordRow& row : run.store.word_rows(source)) {
            window.texts[std::string(harvest::info(source).result_box)] += row.word + "\r\n";
        }
    }
    HarvestStore continued = run.store;
    EXPECT_EQ(harvest::run_harvest(window, continued,
                                   {.hosts = hosts_,
                                    .observer = recorder.get(),
                                    .first_seed = run.first_unfinished,
                                    .parallel = 4}),
              RunEnd::finished);
    recorder.reset();
    EXPECT_EQ(continued, whole.store);
    const auto finished = journal_.load(stopped.kept.info.id);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->store, whole.store);
    EXPECT_EQ(finished->info.parallel, 4);
}

}  // namespace
}  // namespace quorvel::journal
