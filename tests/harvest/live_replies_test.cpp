// A harvest against a marketplace that behaves as the live one can: it drops
// connections, sends requests to its sign-in page, shows a check page.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "harvest/harvest_run.h"
#include "harvest/marketplace_answers.h"
#include "platform/http_transport.h"
#include "tests/support/captured_log.h"
#include "tests/support/code_page_text.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/hang_guard.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"
#include "web/http_request.h"

namespace quorvel::harvest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::FakeMarketplace;
using testsupport::RecordingWindow;
namespace fake_words = testsupport::fake_words;

platform::ExchangeOutcome outcome(long status, std::string final_url) {
    platform::ExchangeOutcome o;
    o.status = status;
    o.final_url = std::move(final_url);
    return o;
}

TEST(ClassifyReply, SignInHostsCheckPagesAndNoReply) {
    const std::string page = "<html>g_page_config</html>";
    EXPECT_EQ(classify(outcome(0, ""), ""), ReplyKind::no_reply);
    EXPECT_EQ(classify(outcome(0, "https://s.taobao.com/search?q=a"), "x5secdata"),
              ReplyKind::no_reply);
    EXPECT_EQ(classify(outcome(200, "https://s.taobao.com/search?q=a"), page), ReplyKind::data);
    // A 500 reply is still a reply to read.
    EXPECT_EQ(classify(outcome(500, "https://suggest.taobao.com/sug?q=a"), "{}"), ReplyKind::data);

    for (const char* url :
         {"https://login.taobao.com/member/login.jhtml?redirectURL=x",
          "https://LOGIN.TMALL.COM:443/", "http://login.m.taobao.com/login.htm"}) {
        EXPECT_EQ(classify(outcome(200, url), page), ReplyKind::login_wall) << url;
    }
    for (const char* url : {"https://login.example.com/", "https://mylogin.taobao.com/",
                            "https://s.taobao.com/login.", "https://login.taobao.com.example.net/",
                            "https://login.nottaobao.com/"}) {
        EXPECT_EQ(classify(outcome(200, url), page), ReplyKind::data) << url;
    }

    EXPECT_EQ(classify(outcome(200, "https://s.taobao.com//search/_____tmd_____/punish?x=1"), ""),
              ReplyKind::verification);
    EXPECT_EQ(classify(outcome(200, "https://s.taobao.com/search?q=a"), "<i>x5secdata=</i>"),
              ReplyKind::verification);
    // A keyword that reads like a marker is no check page.
    EXPECT_EQ(classify(outcome(200, "https://s.taobao.com/search?q=punish"), page),
              ReplyKind::data);
}

// A session is any cookie of the marketplace's domains beyond those it gives
// every visitor; cookies of other sites never count.
TEST(SessionPresent, OnlyMarketplaceCookiesBeyondTheVisitorsCount) {
    auto cookie = [](const char* domain, const char* name) {
        platform::Cookie c;
        c.domain = domain;
        c.name = name;
        c.value = "v";
        return c;
    };
    EXPECT_FALSE(session_present({}));
    EXPECT_FALSE(session_present({cookie("taobao.com", "cna"), cookie("taobao.com", "isg"),
                                  cookie("s.taobao.com", "cookie2"), cookie("tmall.com", "t")}));
    EXPECT_FALSE(session_present({cookie("example.com", "unb"), cookie("nottaobao.com", "unb")}));
    EXPECT_TRUE(session_present({cookie("taobao.com", "cna"), cookie("taobao.com", "unb")}));
    EXPECT_TRUE(session_present({cookie("login.tmall.com", "_session")}));
    // Names are matched whole: a session cookie that begins like a visitor's counts.
    EXPECT_TRUE(session_present({cookie("taobao.com", "cna_session")}));
}

using testsupport::gb;

// What the run tells its observer beyond words, one line per call.
class Events : public HarvestObserver {
  public:
    std::vector<std::string> lines;
    std::vector<platform::ExchangeOutcome> done;
    std::atomic<int> retries{0};

    void request_done(RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override {
        lines.push_back("done " + std::to_string(static_cast<int>(kind)) + " " + seed);
        done.push_back(outcome);
    }
    void request_retried(RequestKind kind, const std::string& seed,
                         const platform::ExchangeOutcome& outcome, int attempt) override {
        lines.push_back("retry " + std::to_string(static_cast<int>(kind)) + " " + seed + " " +
                        std::string(platform::transport_error_name(outcome.error)) + " " +
                        std::to_string(attempt));
        ++retries;
    }
    void login_wall(RequestKind kind, const std::string& seed,
                    const std::string& final_url) override {
        lines.push_back("login " + std::to_string(static_cast<int>(kind)) + " " + seed + " " +
                        final_url);
    }
    void verification_page(RequestKind kind, const std::string& seed,
                           const std::string& url) override {
        lines.push_back("check " + std::to_string(static_cast<int>(kind)) + " " + seed + " " + url);
    }
    void failure_message(std::string_view, KeywordSource source, const std::string& seed) override {
        lines.push_back("failure " + std::string(info(source).short_name) + " " + seed);
    }
    void seed_finished(std::size_t index, const SeedRow&) override {
        lines.push_back("finished " + std::to_string(index));
    }
    void run_ended(RunEnd end) override {
        lines.push_back(end == RunEnd::finished ? "end finished" : "end stopped");
    }

    void reset() {
        lines.clear();
        done.clear();
        retries = 0;
    }

    std::size_t count(const std::string& prefix) const {
        std::size_t n = 0;
        for (const std::string& line : lines) {
            n += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }
};

const std::string pc = std::to_string(static_cast<int>(RequestKind::pc_suggest));
const std::string mobile = std::to_string(static_cast<int>(RequestKind::mobile_suggest));
const std::string related = std::to_string(static_cast<int>(RequestKind::related_search));

// Each test has a marketplace of its own, so that no connection of another
// test's is reused: a dropped connection must reach the harvest as such.
class LiveReplies : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    }
    void SetUp() override {
        hosts_ = {fake_.host(), fake_.host()};
        platform::set_resolve_entries(
            {*platform::parse_resolve_entry(std::string(FakeMarketplace::login_host()) + ":" +
                                            std::to_string(fake_.port()) + ":127.0.0.1")});
    }
    void TearDown() override { platform::set_resolve_entries({}); }

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
    RunOptions options() {
        return {.hosts = hosts_, .observer = &events_, .retry_delays = {short_wait, short_wait}};
    }
    // Requests that arrived for this path (without query) and keyword.
    std::size_t arrived(const std::string& path, const std::string& keyword) const {
        std::size_t n = 0;
        for (const std::string& target : fake_.requests()) {
            const std::string r = testsupport::percent_decode(target);
            n += r.rfind(path + "?", 0) == 0 &&
                         (r.find("&q=" + keyword + "&") != std::string::npos ||
                          r.find("?q=" + keyword + "&") != std::string::npos)
                     ? 1
                     : 0;
        }
        return n;
    }
    std::vector<std::string> words(KeywordSource source) const {
        std::vector<std::string> out;
        for (const auto& row : store_.word_rows(source)) {
            out.push_back(row.seed + "|" + row.word);
        }
        return out;
    }

    static constexpr std::chrono::milliseconds short_wait{20};
    FakeMarketplace fake_;
    MarketplaceHosts hosts_;
    RecordingWindow window_;
    HarvestStore store_;
    Events events_;
};

// A request that gets no reply is tried again, at most twice; the failure
// message comes only for the last try.
TEST_F(LiveReplies, ANoReplyIsTriedAgainAtMostTwice) {
    testsupport::CapturedLog log;
    seeds("once\r\nthrice");
    tick({KeywordSource::PcDropdown});
    fake_.drop_connections(Endpoint::pc, "once", 1);
    fake_.drop_connections(Endpoint::pc, "thrice", 3);
    EXPECT_EQ(start_harvest(window_, store_, options()), RunEnd::finished);

    EXPECT_EQ(arrived("/sug", "once"), 2u);
    EXPECT_EQ(arrived("/sug", "thrice"), 3u);
    EXPECT_EQ(store_.word_rows(KeywordSource::PcDropdown).size(), fake_words::pc("once").size());
    for (const auto& row : store_.word_rows(KeywordSource::PcDropdown)) {
        EXPECT_EQ(row.seed, "once");
    }
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(window_.messages[0].text, pc_failure_message);
    EXPECT_EQ(events_.lines,
              (std::vector<std::string>{
                  "retry " + pc + " once connection dropped 2", "done " + pc + " once",
                  "finished 0", "retry " + pc + " thrice connection dropped 2",
                  "retry " + pc + " thrice connection dropped 3", "done " + pc + " thrice",
                  "failure pc thrice", "finished 1", "end finished"}));
    EXPECT_EQ(events_.done[0].error, platform::TransportError::none);
    EXPECT_EQ(events_.done[1].error, platform::TransportError::connection_dropped);
    // Each retry is logged with the URL without its query, and the try.
    const std::string text = log.text();
    EXPECT_THAT(text,
                HasSubstr("no reply from https://" + fake_.host() +
                          "/sug (connection dropped); trying again in 20 ms, attempt 3 of 3"));
    EXPECT_THAT(text, Not(HasSubstr("thrice&")));
}

// A stop during the wait before a retry, here one of an hour, ends the run:
// nothing more is asked or written.
TEST_F(LiveReplies, AStopDuringARetryWaitEndsTheRun) {
    seeds("k\r\nnext");
    tick({KeywordSource::PcDropdown});
    fake_.drop_connections(Endpoint::pc, "k", 1);
    std::stop_source stop;
    std::thread stopper([&] {
        while (events_.retries.load() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request_stop();
    });
    RunOptions slow = options();
    slow.stop = stop.get_token();
    slow.retry_delays = {std::chrono::hours(1), std::chrono::hours(1)};
    const RunEnd end =
        testsupport::without_hanging([&] { return start_harvest(window_, store_, slow); });
    stopper.join();
    EXPECT_EQ(end, RunEnd::stopped);
    EXPECT_EQ(fake_.request_count(), 1u);
    EXPECT_EQ(events_.lines,
              (std::vector<std::string>{"retry " + pc + " k connection dropped 2", "end stopped"}));
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_TRUE(store_.seed_rows().empty());
}

// A reply is never tried again, whatever its status or however it ended;
// nor is an exchange whose TLS failed.
TEST_F(LiveReplies, RepliesAndTlsFailuresAreNotTriedAgain) {
    testsupport::CapturedLog log;
    seeds("e500\r\nhalf");
    tick({KeywordSource::PcDropdown});
    fake_.fail(Endpoint::pc, "e500", Failure::status_500);
    fake_.fail(Endpoint::pc, "half", Failure::dropped);  // the body breaks off
    start_harvest(window_, store_, options());
    EXPECT_EQ(arrived("/sug", "e500"), 1u);
    EXPECT_EQ(arrived("/sug", "half"), 1u);
    EXPECT_EQ(events_.count("retry"), 0u);
    EXPECT_EQ(events_.done.at(0).status, 500);
    EXPECT_EQ(events_.done.at(1).error, platform::TransportError::connection_dropped);

    // A server whose certificate names another host.
    testsupport::TlsServer other(testsupport::other_host_certificate());
    other.start();
    events_.reset();
    window_.messages.clear();
    seeds("tls");
    RunOptions to_other = options();
    to_other.hosts = {"127.0.0.1:" + std::to_string(other.port()),
                      "127.0.0.1:" + std::to_string(other.port())};
    start_harvest(window_, store_, to_other);
    EXPECT_EQ(events_.count("retry"), 0u);
    ASSERT_EQ(events_.done.size(), 1u);
    EXPECT_EQ(events_.done[0].error, platform::TransportError::tls_failure);
    EXPECT_EQ(window_.messages.size(), 1u);
    EXPECT_THAT(log.text(), HasSubstr("certificate or TLS problem with https://127.0.0.1:" +
                                      std::to_string(other.port()) + "/sug"));
}

// A search page that ends at the sign-in page yields no related words; the
// observer hears of it once per run, and the other kinds are harvested.
TEST_F(LiveReplies, ASignInPageLeavesTheRelatedBoxEmpty) {
    seeds("a\r\nb");
    tick_all();
    start_harvest(window_, store_, options());
    const HarvestStore open = store_;
    ASSERT_FALSE(open.word_rows(KeywordSource::DidYouMean).empty());

    fake_.require_session(true);
    events_.reset();
    start_harvest(window_, store_, options());
    EXPECT_EQ(events_.count("login"), 1u);
    EXPECT_THAT(events_.lines,
                ::testing::Contains(::testing::StartsWith(
                    "login " + related + " a " + fake_.login_origin() + "/member/login.jhtml?")));
    EXPECT_EQ(events_.count("done " + related), 2u);
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_TRUE(store_.word_rows(KeywordSource::DidYouMean).empty());
    EXPECT_EQ(window_.read_text(info(KeywordSource::DidYouMean).result_box), "");
    for (KeywordSource source : {KeywordSource::PcDropdown, KeywordSource::ArrowWords,
                                 KeywordSource::MobileDropdown, KeywordSource::LongTail}) {
        EXPECT_EQ(store_.word_rows(source), open.word_rows(source));
    }
    // A second run is told again.
    events_.reset();
    start_harvest(window_, store_, options());
    EXPECT_EQ(events_.count("login"), 1u);

    // With the session cookie, the search page is served.
    web::HttpRequestArgs args{.url = related_url("a", hosts_),
                              .cookies = std::string(FakeMarketplace::session_cookie) + "=1"};
    const web::HttpReply page = web::HttpRequest(args);
    EXPECT_EQ(classify(page.outcome, ""), ReplyKind::data);
}

// A check page asks the run's handler: passed, the same request goes again
// and the run ends as an unchallenged one; refused, or with no handler, the
// run stops where it stands.
TEST_F(LiveReplies, ACheckPageIsPassedOrStopsTheRun) {
    seeds("a\r\nk\r\nz");
    tick_all();
    start_harvest(window_, store_, options());
    const HarvestStore unchallenged = store_;
    const std::size_t unchallenged_requests = fake_.request_count();

    fake_.require_verification(Endpoint::search, "k");
    fake_.clear_requests();
    events_.reset();
    std::vector<VerificationPage> asked;
    RunOptions passing = options();
    // The user submits the check page's form, as a browser would.
    passing.on_verification = [&](const VerificationPage& page) {
        asked.push_back(page);
        const std::string token =
            page.url.substr(page.url.find("x5secdata=") + 10,
                            page.url.find('&') - page.url.find("x5secdata=") - 10);
        web::HttpRequestArgs form{.url = "https://" + fake_.host() + "/_____tmd_____/verify",
                                  .method = 1,
                                  .body_text = "x5secdata=" + token,
                                  .headers = "Content-Type: application/x-www-form-urlencoded"};
        EXPECT_EQ(web::HttpRequest(form).outcome.status, 200);
        return VerificationAnswer::retry;
    };
    EXPECT_EQ(start_harvest(window_, store_, passing), RunEnd::finished);
    EXPECT_EQ(store_, unchallenged);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, RequestKind::related_search);
    EXPECT_EQ(asked[0].seed, "k");
    EXPECT_THAT(asked[0].url, HasSubstr("https://" + fake_.host() + "/_____tmd_____/punish?"));
    EXPECT_EQ(events_.count("check " + related + " k https://"), 1u);
    EXPECT_EQ(events_.count("done " + related), 3u);
    EXPECT_EQ(arrived("/search", "k"), 2u);
    // Besides the check page, its form and the repeated search: the same requests.
    EXPECT_EQ(fake_.request_count(), unchallenged_requests + 3);

    // Refused: the run stops at the mobile request of "k", before any of its words.
    fake_.require_verification(Endpoint::mobile, "k");
    for (const bool with_handler : {false, true}) {
        events_.reset();
        asked.clear();
        RunOptions refusing = options();
        if (with_handler) {
            refusing.on_verification = [&](const VerificationPage& page) {
                asked.push_back(page);
                return VerificationAnswer::stop;
            };
        }
        fake_.clear_requests();
        EXPECT_EQ(start_harvest(window_, store_, refusing), RunEnd::stopped);
        EXPECT_EQ(asked.size(), with_handler ? 1u : 0u);
        ASSERT_EQ(store_.seed_rows().size(), 1u);
        EXPECT_EQ(store_.seed_rows()[0].seed, "a");
        for (KeywordSource source : all_sources) {
            for (const WordRow& row : store_.word_rows(source)) {
                EXPECT_EQ(row.seed, "a");
            }
        }
        ASSERT_GE(events_.lines.size(), 2u);
        EXPECT_THAT(events_.lines[events_.lines.size() - 2],
                    ::testing::StartsWith("check " + mobile + " k https://"));
        EXPECT_EQ(events_.lines.back(), "end stopped");
        // Nothing was asked after the check page.
        EXPECT_THAT(fake_.requests().back(), ::testing::StartsWith("/_____tmd_____/punish?"));
    }
}

}  // namespace
}  // namespace quorvel::harvest
