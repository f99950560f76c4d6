#include "harvest/harvest_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "data/encoding.h"
#include "platform/http_transport.h"
#include "tests/support/captured_log.h"
#include "tests/support/code_page_text.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/hang_guard.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"

namespace quorvel::harvest {
namespace {

using ::testing::ElementsAreArray;
using ::testing::MatchesRegex;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::FakeMarketplace;
using testsupport::RecordingWindow;
namespace fake_words = testsupport::fake_words;

using testsupport::gb;

// The word the harvest should record for a raw suggestion (UTF-8): highlight
// marks removed in either letter case, and ASCII spaces too when dropped.
std::string cleaned(std::string raw, bool drop_spaces) {
    for (const char* mark : {"<b>", "</b>", "<B>", "</B>"}) {
        for (auto at = raw.find(mark); at != std::string::npos; at = raw.find(mark)) {
            raw.erase(at, std::string(mark).size());
        }
    }
    if (drop_spaces) {
        std::erase(raw, ' ');
    }
    return gb(raw);
}

std::string encoded(const std::string& utf8) {
    return data::url_encode(gb(utf8), data::Unreserved::encode, data::EncodeBytes::utf8);
}

// The summary rows as the "seed,c1,c2,c3,c4,c5" texts they stand for.
std::vector<std::string> seed_row_texts(const HarvestStore& store) {
    std::vector<std::string> out;
    for (const SeedRow& row : store.seed_rows()) {
        out.push_back(row.text());
    }
    return out;
}

class HarvestRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        fake_ = new FakeMarketplace();
    }
    static void TearDownTestSuite() { delete fake_; }
    void SetUp() override {
        fake_->clear_requests();
        hosts_ = {fake_->host(), fake_->host()};
    }

    void seeds(const std::string& utf8_lines) {
        window_.texts[std::string(seed_box)] = gb(utf8_lines);
    }
    void tick(std::initializer_list<KeywordSource> sources) {
        for (KeywordSource source : sources) {
            window_.checked[std::string(info(source).check_box)] = true;
        }
    }
    void tick_all() {
        tick({KeywordSource::PcDropdown, KeywordSource::ArrowWords, KeywordSource::MobileDropdown,
              KeywordSource::LongTail, KeywordSource::DidYouMean});
    }
    void run() { start_harvest(window_, store_, {.hosts = hosts_}); }
    std::vector<std::string> words(KeywordSource source) const {
        std::vector<std::string> out;
        for (const auto& row : store_.word_rows(source)) {
            out.push_back(row.word);
        }
        return out;
    }
    std::string box(KeywordSource source) { return window_.read_text(info(source).result_box); }

    static FakeMarketplace* fake_;
    MarketplaceHosts hosts_;
    RecordingWindow window_;
    HarvestStore store_;
};
FakeMarketplace* HarvestRun::fake_ = nullptr;

// What one seed should yield in every box, computed from the fake's rules.
struct Expected {
    std::vector<std::string> pc, arrows, mobile, long_tail, related;
};
Expected expected_for(const std::string& seed) {
    Expected e;
    auto pc = fake_words::pc(seed);
    for (std::size_t j = 0; j < pc.size(); ++j) {
        std::string word = cleaned(pc[j], true);
        e.pc.push_back(word);
        for (const auto& title : fake_words::arrow_titles(static_cast<int>(j) + 1)) {
            e.arrows.push_back(word + gb(title));
        }
    }
    for (const auto& raw : fake_words::mobile(seed)) {
        e.mobile.push_back(cleaned(raw, true));
        // The long-tail request is made for the cleaned mobile word.
        for (const auto& tail : fake_words::mobile(data::utf8_from_gbk(cleaned(raw, true)))) {
            e.long_tail.push_back(cleaned(tail, false));
        }
    }
    for (const auto& raw : fake_words::related(seed)) {
        e.related.push_back(gb(raw));
    }
    return e;
}

TEST_F(HarvestRun, AllKindsForTwoSeedsInTheFixedRequestOrder) {
    seeds("连衣裙\r\nab c\r\n");
    tick_all();
    run();

    std::vector<std::string> expected_requests;
    Expected all;
    for (const std::string seed : {"连衣裙", "ab c"}) {
        const std::string q = encoded(seed);
        expected_requests.push_back("/sug\\?code=utf-8&q=" + q +
                                    "&_ksTS=[0-9]{13}_3909&callback=&k=1&area=c2c&bucketid=11");
        expected_requests.push_back("/sug\\?q=" + q +
                                    "&code=utf-8&area=c2c&nick=&sid=null&callback=");
        expected_requests.push_back("/search\\?&initiative_id=staobaoz_[0-9]{8}&q=" + q +
                                    "&suggest=history_1&_input_charset=utf-8&wq=&suggest_query="
                                    "&source=suggest");
        Expected e = expected_for(seed);
        for (const auto& m : e.mobile) {
            expected_requests.push_back(
                "/sug\\?q=" +
                data::url_encode(m, data::Unreserved::encode, data::EncodeBytes::utf8) +
                "&code=utf-8&area=c2c&nick=&sid=null&callback=");
        }
        all.pc.insert(all.pc.end(), e.pc.begin(), e.pc.end());
        all.arrows.insert(all.arrows.end(), e.arrows.begin(), e.arrows.end());
        all.mobile.insert(all.mobile.end(), e.mobile.begin(), e.mobile.end());
        all.long_tail.insert(all.long_tail.end(), e.long_tail.begin(), e.long_tail.end());
        all.related.insert(all.related.end(), e.related.begin(), e.related.end());
    }
    const std::vector<std::string> requests = fake_->requests();
    ASSERT_EQ(requests.size(), expected_requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_THAT(requests[i], MatchesRegex(expected_requests[i])) << i;
    }

    EXPECT_EQ(words(KeywordSource::PcDropdown), all.pc);
    EXPECT_EQ(words(KeywordSource::ArrowWords), all.arrows);
    EXPECT_EQ(words(KeywordSource::MobileDropdown), all.mobile);
    EXPECT_EQ(words(KeywordSource::LongTail), all.long_tail);
    EXPECT_EQ(words(KeywordSource::DidYouMean), all.related);
    EXPECT_EQ(store_.word_rows(KeywordSource::LongTail).back().seed, gb("ab c"));
    EXPECT_EQ(store_.word_rows(KeywordSource::PcDropdown)[0].text(), gb("连衣裙|连衣裙连衣裙"));

    std::string pc_box;
    for (const auto& w : all.pc) {
        pc_box += w + "\r\n";
    }
    EXPECT_EQ(box(KeywordSource::PcDropdown), pc_box);
    EXPECT_TRUE(window_.messages.empty());

    // Cumulative line counts per seed, in source order.
    const Expected one = expected_for("连衣裙");
    auto row = [](const std::string& seed, std::size_t a, std::size_t b, std::size_t c,
                  std::size_t d, std::size_t e) {
        return seed + "," + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) +
               "," + std::to_string(d) + "," + std::to_string(e);
    };
    EXPECT_THAT(
        seed_row_texts(store_),
        ElementsAreArray({row(gb("连衣裙"), one.pc.size(), one.arrows.size(), one.mobile.size(),
                              one.long_tail.size(), one.related.size()),
                          row(gb("ab c"), all.pc.size(), all.arrows.size(), all.mobile.size(),
                              all.long_tail.size(), all.related.size())}));
}

// What the user sees grow: each suggestion's arrow words in their box right
// after it is shown in its own, before the next suggestion.
TEST_F(HarvestRun, ArrowWordsFollowTheirSuggestion) {
    seeds("k");
    tick({KeywordSource::PcDropdown, KeywordSource::ArrowWords});
    run();
    const Expected e = expected_for("k");
    const std::string pc_box(info(KeywordSource::PcDropdown).result_box);
    const std::string arrow_box(info(KeywordSource::ArrowWords).result_box);
    std::vector<std::string> expected_events;
    for (KeywordSource source : all_sources) {
        expected_events.push_back("set " + std::string(info(source).result_box) + " ");
    }
    std::size_t arrow = 0;
    for (std::size_t j = 0; j < e.pc.size(); ++j) {
        expected_events.push_back("append " + pc_box + " " + e.pc[j] + "\r\n");
        for (std::size_t n = fake_words::arrow_titles(static_cast<int>(j) + 1).size(); n > 0; --n) {
            expected_events.push_back("append " + arrow_box + " " + e.arrows[arrow++] + "\r\n");
        }
    }
    EXPECT_EQ(window_.events, expected_events);
}

TEST_F(HarvestRun, FailureMessagesAtTheirPointsAndTheRunGoesOn) {
    seeds("bad-pc\r\nbad-mobile\r\ngood");
    tick_all();
    fake_->fail(Endpoint::pc, "bad-pc", Failure::empty_body);
    fake_->fail(Endpoint::mobile, "bad-mobile", Failure::invalid_json);
    // A 500 reply whose body parses is used like any other: no words, no message.
    fake_->fail(Endpoint::pc, "good", Failure::status_500);
    // One long-tail request of "good" fails; its message comes once, for that word.
    const std::string failing_tail = data::utf8_from_gbk(expected_for("good").mobile[1]);
    fake_->fail(Endpoint::mobile, failing_tail, Failure::jsonp);
    fake_->fail(Endpoint::search, "bad-mobile", Failure::dropped);
    run();

    std::vector<std::string> shown;
    for (const auto& m : window_.messages) {
        EXPECT_EQ(m.caption, platform::default_message_caption);
        EXPECT_EQ(m.style, platform::MessageStyle{});
        shown.push_back(m.text);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{std::string(pc_failure_message),
                                               std::string(mobile_failure_message),
                                               std::string(mobile_failure_message)}));
    // bad-pc still gets its mobile, related and long-tail words.
    EXPECT_EQ(store_.word_rows(KeywordSource::MobileDropdown).front().seed, "bad-pc");
    EXPECT_EQ(store_.seed_rows().size(), 3u);
    for (const auto& row : store_.word_rows(KeywordSource::PcDropdown)) {
        EXPECT_EQ(row.seed, "bad-mobile");
    }
    // The failed long-tail word yields nothing; the other two yield theirs.
    const Expected good = expected_for("good");
    std::size_t good_tails = 0;
    for (const auto& row : store_.word_rows(KeywordSource::LongTail)) {
        good_tails += row.seed == "good" ? 1 : 0;
    }
    EXPECT_EQ(good_tails, good.long_tail.size() / 3 * 2);
    // An unusable related block is silent.
    for (const auto& row : store_.word_rows(KeywordSource::DidYouMean)) {
        EXPECT_NE(row.seed, "bad-mobile");
    }
}

TEST_F(HarvestRun, UnusableRepliesOfEveryKind) {
    seeds("jsonp\r\ninvalid\r\ndropped\r\nslow\r\nnomarkers\r\nendfirst\r\n500");
    tick({KeywordSource::PcDropdown, KeywordSource::DidYouMean});
    fake_->fail(Endpoint::pc, "jsonp", Failure::jsonp);
    fake_->fail(Endpoint::pc, "invalid", Failure::invalid_json);
    fake_->fail(Endpoint::pc, "dropped", Failure::dropped);
    fake_->fail(Endpoint::pc, "slow", Failure::slow);
    fake_->fail(Endpoint::search, "nomarkers", Failure::no_markers);
    fake_->fail(Endpoint::search, "endfirst", Failure::end_marker_first);
    fake_->fail(Endpoint::search, "500", Failure::status_500);
    run();
    EXPECT_EQ(window_.messages.size(), 3u);  // jsonp, invalid, dropped
    std::map<std::string, int> pc_words;
    std::map<std::string, int> related;
    for (const auto& row : store_.word_rows(KeywordSource::PcDropdown)) {
        ++pc_words[row.seed];
    }
    for (const auto& row : store_.word_rows(KeywordSource::DidYouMean)) {
        ++related[row.seed];
    }
    const auto n = static_cast<int>(fake_words::pc("x").size());
    EXPECT_EQ(pc_words, (std::map<std::string, int>{
                            {"slow", n}, {"nomarkers", n}, {"endfirst", n}, {"500", n}}));
    const auto r = static_cast<int>(fake_words::related("x").size());
    EXPECT_EQ(related, (std::map<std::string, int>{
                           {"jsonp", r}, {"invalid", r}, {"dropped", r}, {"slow", r}}));
}

TEST_F(HarvestRun, NothingOrOnlyDependentKindsTickedRequestNothing) {
    seeds("a\r\nb");
    run();
    EXPECT_TRUE(fake_->requests().empty());
    EXPECT_EQ(seed_row_texts(store_), (std::vector<std::string>{"a,0,0,0,0,0", "b,0,0,0,0,0"}));

    tick({KeywordSource::ArrowWords});
    run();
    tick({KeywordSource::LongTail});
    run();
    EXPECT_TRUE(fake_->requests().empty());
    EXPECT_EQ(store_.seed_rows().size(), 2u);
    for (KeywordSource source : all_sources) {
        EXPECT_TRUE(store_.word_rows(source).empty());
    }
}

TEST_F(HarvestRun, ACheckBoxUntickedDuringTheRunTakesEffectAtItsNextTest) {
    seeds("a\r\nb");
    tick({KeywordSource::MobileDropdown});
    const std::string mobile_box(info(KeywordSource::MobileDropdown).check_box);
    window_.on_read_checked = [this, mobile_box](std::string_view) {
        // Once the first seed's summary row is written, the user unticks the box.
        if (store_.seed_rows().size() == 1) {
            window_.checked[mobile_box] = false;
        }
    };
    run();
    ASSERT_EQ(fake_->requests().size(), 1u);
    EXPECT_EQ(store_.seed_rows()[1], (SeedRow{"b", {0, 0, 3, 0, 0}}));
}

// A stop request ends the run where it stands: what was stored up to the
// request stays, and nothing (no word, no summary row, no request) follows.
TEST_F(HarvestRun, AStoppedRunLeavesTheStoreAsItWasAtTheStop) {
    seeds("a\r\nbad\r\nc");
    tick_all();
    fake_->fail(Endpoint::pc, "bad", Failure::empty_body);
    std::stop_source stop;
    HarvestStore at_stop;
    std::size_t requests_at_stop = 0;
    window_.on_message = [&](std::string_view) {
        at_stop = store_;
        requests_at_stop = fake_->requests().size();
        stop.request_stop();
    };
    EXPECT_EQ(start_harvest(window_, store_, {.hosts = hosts_, .stop = stop.get_token()}),
              RunEnd::stopped);
    EXPECT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(store_, at_stop);
    EXPECT_EQ(fake_->requests().size(), requests_at_stop);
    // The first seed was finished; the stopped one has no summary row.
    ASSERT_EQ(store_.seed_rows().size(), 1u);
    EXPECT_EQ(store_.seed_rows()[0].seed, "a");

    // Stopped in the middle of a reply's words, between two check-box reads.
    seeds("k\r\nz");
    int reads = 0;
    window_.on_message = nullptr;
    std::stop_source mid;
    window_.on_read_checked = [&](std::string_view) {
        if (++reads == 5) {  // the arrow test of the second PC word
            at_stop = store_;
            mid.request_stop();
        }
    };
    EXPECT_EQ(start_harvest(window_, store_, {.hosts = hosts_, .stop = mid.get_token()}),
              RunEnd::stopped);
    EXPECT_EQ(store_, at_stop);
    EXPECT_FALSE(store_.word_rows(KeywordSource::PcDropdown).empty());
    EXPECT_TRUE(store_.seed_rows().empty());
}

// A stop from another thread ends the request in flight: the run does not
// wait for the held reply, which is never sent.
TEST_F(HarvestRun, AStopEndsTheRequestInFlight) {
    seeds("hang\r\nnext");
    tick({KeywordSource::PcDropdown, KeywordSource::MobileDropdown});
    fake_->fail(Endpoint::mobile, "hang", Failure::hang);
    std::stop_source stop;
    std::thread stopper([&] {
        while (fake_->requests().size() < 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop.request_stop();
    });
    const RunEnd end = start_harvest(window_, store_, {.hosts = hosts_, .stop = stop.get_token()});
    stopper.join();
    EXPECT_EQ(end, RunEnd::stopped);
    ASSERT_EQ(fake_->held_replies_sent(), 0u);
    EXPECT_TRUE(fake_->await_held_requests_dropped(1));
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_TRUE(store_.seed_rows().empty());
    EXPECT_TRUE(store_.word_rows(KeywordSource::PcDropdown).empty());
    EXPECT_EQ(fake_->requests().size(), 2u);
}

// Failure messages are logged as they are shown.
TEST_F(HarvestRun, FailureMessagesAreLogged) {
    testsupport::CapturedLog log;
    seeds("bad");
    tick({KeywordSource::PcDropdown});
    fake_->fail(Endpoint::pc, "bad", Failure::empty_body);
    run();
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_THAT(log.text(), ::testing::HasSubstr(std::string(pc_failure_message)));
}

// Writes down what the harvest tells its observer, one line per call.
class EventLog : public HarvestObserver {
  public:
    std::vector<std::string> events;

    void run_started(const std::vector<std::string>& seeds, std::size_t first_seed) override {
        events.push_back("run " + std::to_string(seeds.size()) + " from " +
                         std::to_string(first_seed));
    }
    void seed_started(std::size_t index, const std::string& seed) override {
        events.push_back("seed " + std::to_string(index) + " " + seed);
    }
    void request_done(RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override {
        events.push_back("request " + std::to_string(static_cast<int>(kind)) + " " + seed + " " +
                         std::to_string(static_cast<int>(outcome.error)));
    }
    void word_recorded(KeywordSource source, std::size_t seed_index, const std::string&,
                       const std::string& word, const std::string& count) override {
        events.push_back("word " + std::string(info(source).short_name) + " " +
                         std::to_string(seed_index) + " " + word + " " + count);
    }
    void reply_processed(RequestKind kind) override {
        events.push_back("processed " + std::to_string(static_cast<int>(kind)));
    }
    void failure_message(std::string_view message, KeywordSource source,
                         const std::string& seed) override {
        events.push_back("failure " + std::string(message) + " " +
                         std::string(info(source).short_name) + " " + seed);
    }
    void seed_finished(std::size_t index, const SeedRow& row) override {
        events.push_back("finished " + std::to_string(index) + " " + row.text());
    }
    void run_ended(RunEnd end) override {
        events.push_back(end == RunEnd::finished ? "end finished" : "end stopped");
    }
};

// The observer hears every request, word, reply and seed in the order they
// happen, and every word comes with its count text where the reply has one.
TEST_F(HarvestRun, TheObserverHearsEverythingInOrder) {
    seeds("k");
    tick_all();
    fake_->fail(Endpoint::mobile, data::utf8_from_gbk(expected_for("k").mobile[2]),
                Failure::invalid_json);
    EventLog log;
    start_harvest(window_, store_, {.hosts = hosts_, .observer = &log});

    const Expected e = expected_for("k");
    const auto pc = std::to_string(static_cast<int>(RequestKind::pc_suggest));
    const auto mobile = std::to_string(static_cast<int>(RequestKind::mobile_suggest));
    const auto related = std::to_string(static_cast<int>(RequestKind::related_search));
    const auto tail = std::to_string(static_cast<int>(RequestKind::long_tail));
    std::vector<std::string> expected = {"run 1 from 0", "seed 0 k", "request " + pc + " k 0",
                                         "request " + mobile + " k 0"};
    std::size_t arrow = 0;
    for (std::size_t j = 0; j < e.pc.size(); ++j) {
        expected.push_back("word pc 0 " + e.pc[j] + " " + std::to_string(1000 + j));
        for (std::size_t t = 0; t < fake_words::arrow_titles(static_cast<int>(j) + 1).size(); ++t) {
            expected.push_back("word arrow 0 " + e.arrows[arrow++] + " ");
        }
    }
    expected.push_back("processed " + pc);
    for (std::size_t k = 0; k < e.mobile.size(); ++k) {
        expected.push_back("word mobile 0 " + e.mobile[k] + " " + std::to_string(2000 + k));
    }
    expected.push_back("processed " + mobile);
    expected.push_back("request " + related + " k 0");
    for (const std::string& word : e.related) {
        expected.push_back("word related 0 " + word + " ");
    }
    expected.push_back("processed " + related);
    std::size_t tail_word = 0;
    for (std::size_t m = 0; m < e.mobile.size(); ++m) {
        expected.push_back("request " + tail + " k 0");
        if (m == 2) {
            expected.push_back("failure " + std::string(mobile_failure_message) + " longtail k");
            continue;
        }
        for (std::size_t k = 0; k < 3; ++k) {
            expected.push_back("word longtail 0 " + e.long_tail[tail_word++] + " " +
                               std::to_string(2000 + k));
        }
        expected.push_back("processed " + tail);
    }
    expected.push_back("finished 0 " + store_.seed_rows().at(0).text());
    expected.push_back("end finished");
    EXPECT_EQ(log.events, expected);
    EXPECT_EQ(store_.word_rows(KeywordSource::PcDropdown)[1].count, "1001");
    EXPECT_EQ(store_.word_rows(KeywordSource::ArrowWords)[0].count, "");
}

// A run that continues an earlier one starts at its first unfinished seed,
// and its summary counts go on from the boxes as they were.
TEST_F(HarvestRun, AContinuedRunStartsAtItsFirstUnfinishedSeed) {
    seeds("a\r\nb\r\nc");
    tick({KeywordSource::MobileDropdown});
    run();
    const HarvestStore whole = store_;
    const std::vector<std::string> whole_requests = fake_->requests();

    // The same run, stopped after its first seed and continued.
    std::stop_source stop;
    EventLog first_part;
    window_.on_read_checked = [&](std::string_view) {
        if (store_.seed_rows().size() == 1) {
            stop.request_stop();
        }
    };
    fake_->clear_requests();
    start_harvest(window_, store_,
                  {.hosts = hosts_, .stop = stop.get_token(), .observer = &first_part});
    window_.on_read_checked = nullptr;
    ASSERT_EQ(store_.seed_rows().size(), 1u);
    EventLog rest;
    EXPECT_EQ(run_harvest(window_, store_, {.hosts = hosts_, .observer = &rest, .first_seed = 1}),
              RunEnd::finished);
    EXPECT_EQ(store_, whole);
    EXPECT_EQ(fake_->requests(), whole_requests);
    EXPECT_EQ(rest.events.front(), "run 3 from 1");
    EXPECT_EQ(rest.events[1], "seed 1 b");
}

// Requests start at least the interval apart; a stop ends the wait, here
// one of an hour.
TEST_F(HarvestRun, RequestsAreSpacedByTheInterval) {
    seeds("a\r\nb");
    tick({KeywordSource::PcDropdown, KeywordSource::MobileDropdown});
    const auto start = std::chrono::steady_clock::now();
    start_harvest(window_, store_, {.hosts = hosts_, .interval = std::chrono::milliseconds(150)});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3 * 150));
    EXPECT_EQ(fake_->requests().size(), 4u);

    fake_->clear_requests();
    std::stop_source stop;
    std::thread stopper([&] {
        while (fake_->requests().empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop.request_stop();
    });
    EXPECT_EQ(
        testsupport::without_hanging([&] {
            return start_harvest(
                window_, store_,
                {.hosts = hosts_, .stop = stop.get_token(), .interval = std::chrono::hours(1)});
        }),
        RunEnd::stopped);
    stopper.join();
    EXPECT_EQ(fake_->requests().size(), 1u);
}

TEST_F(HarvestRun, SeedLinesAreTakenAsTyped) {
    // An empty seed box: nothing at all, and start_harvest still empties the boxes.
    window_.texts[std::string(info(KeywordSource::PcDropdown).result_box)] = "old\r\n";
    store_.add_seed_row({"old", {}});
    tick({KeywordSource::MobileDropdown});
    run();
    EXPECT_TRUE(fake_->requests().empty());
    EXPECT_TRUE(store_.seed_rows().empty());
    EXPECT_EQ(box(KeywordSource::PcDropdown), "");

    // An empty line is an empty seed; a repeated seed is harvested again.
    seeds("x\r\n\r\nx\r\n");
    run();
    const std::vector<std::string> requests = fake_->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], "/sug?q=&code=utf-8&area=c2c&nick=&sid=null&callback=");
    EXPECT_EQ(requests[0], requests[2]);
    EXPECT_EQ(seed_row_texts(store_),
              (std::vector<std::string>{"x,0,0,3,0,0", ",0,0,6,0,0", "x,0,0,9,0,0"}));
    EXPECT_EQ(store_.word_rows(KeywordSource::MobileDropdown)[3].seed, "");
    EXPECT_EQ(store_.word_rows(KeywordSource::MobileDropdown)[0],
              store_.word_rows(KeywordSource::MobileDropdown)[6]);
}

TEST(HarvestCounting, LinesAndSeeds) {
    EXPECT_EQ(count_lines(""), 0);
    EXPECT_EQ(count_lines("a"), 1);
    EXPECT_EQ(count_lines("a\r\n"), 1);
    EXPECT_EQ(count_lines("a\r\nb"), 2);
    EXPECT_EQ(count_lines("\r\n\r\n"), 2);
    EXPECT_EQ(split_seeds(""), std::vector<std::string>{});
    EXPECT_EQ(split_seeds("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split_seeds(" a \r\n"), (std::vector<std::string>{" a "}));
}

TEST(HarvestStoreRows, KeepSeedAndWordApart) {
    HarvestStore store;
    store.add_word(KeywordSource::LongTail, "a|b", "c|d");
    EXPECT_EQ(store.word_rows(KeywordSource::LongTail)[0].seed, "a|b");
    EXPECT_EQ(store.word_rows(KeywordSource::LongTail)[0].word, "c|d");
    EXPECT_EQ(store.word_rows(KeywordSource::LongTail)[0].text(), "a|b|c|d");
    store.clear();
    EXPECT_TRUE(store.word_rows(KeywordSource::LongTail).empty());
}

}  // namespace
}  // namespace quorvel::harvest
