// quorvel-cli run as a user runs it, against the local fake marketplace on
// the HTTPS port, reached through --resolve and --cacert. Built a second time
// with QUORVEL_CLI_UNDER_WINE set, the same cases run the Windows build of
// quorvel-cli under Wine and compare it with this build's own core.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>

#include "export/export.h"
#include "export/export_order.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "research/roots.h"
#include "research/word_table.h"
#include "tests/support/child_process.h"
#include "tests/support/code_page_text.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/private_network.h"
#include "tests/support/recording_window.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"
#include "tests/support/windows_build.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using harvest::HarvestStore;
using harvest::KeywordSource;
using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::ChildProcess;
using testsupport::ChildResult;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::FakeMarketplace;
using testsupport::file_bytes;
using testsupport::ScratchFolder;

std::string https_address;  // where this process may listen on port 443

// What starts quorvel-cli: nothing for this build's own, Wine for the Windows one.
constexpr bool under_wine = QUORVEL_CLI_UNDER_WINE;
const std::string runner = under_wine ? testsupport::wine_program() : std::string();

std::string cli_program() {
    return under_wine ? testsupport::windows_build_file("cli/quorvel-cli.exe") : QUORVEL_CLI;
}

// The Wine prefix quorvel-cli.exe runs in: this process's, kept when the
// cases give the child a scratch HOME (Wine would make a new prefix there).
fs::path wine_prefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    return prefix != nullptr ? fs::path(prefix) : fs::path(std::getenv("HOME")) / ".wine";
}

// Where the Windows build keeps its journal and session under Wine: the
// Wine user's %LOCALAPPDATA%\Quorvel. Wine sets that variable itself, so the
// cases share one prefix and the fixture empties the folder before each.
std::string wine_user() {
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "root";
}
fs::path wine_data_folder() {
    return wine_prefix() / "drive_c" / "users" / wine_user() / "AppData" / "Local" / "Quorvel";
}

using testsupport::gb;
using testsupport::utf8;

// A workbook's first sheet, read by an independent reader: {"rows": [[[value,
// type, ...], ...], ...]}; null when it cannot be read.
nlohmann::json read_sheet(const fs::path& xlsx) {
    const std::string read = std::string("/usr/bin/python3 ") + QUORVEL_SOURCE_DIR +
                             "/tests/export/read_xlsx.py '" + xlsx.string() + "'";
    std::FILE* pipe = ::popen(read.c_str(), "r");
    std::string json;
    char buffer[4096];
    for (std::size_t n = 0;
         pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        json.append(buffer, n);
    }
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    EXPECT_EQ(status, 0) << xlsx;
    return status == 0 ? nlohmann::json::parse(json) : nlohmann::json();
}

// The seed box's text for these seeds (UTF-8), as the window would hold it.
std::string seed_box_text(const std::vector<std::string>& seeds) {
    std::string text;
    for (const std::string& seed : seeds) {
        text += gb(seed) + "\r\n";
    }
    return text;
}

class Cli : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        fake_ = new FakeMarketplace(https_address, 443);
        // The in-process harvests this test compares with go where quorvel-cli goes.
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        platform::set_resolve_entries(
            {*platform::parse_resolve_entry("suggest.taobao.com:443:" + https_address),
             *platform::parse_resolve_entry("s.taobao.com:443:" + https_address)});
    }
    static void TearDownTestSuite() { delete fake_; }
    void SetUp() override {
        fake_->clear_requests();
        if (under_wine) {
            fs::remove_all(wine_data_folder());
        }
    }

    // quorvel-cli with these arguments, the network options and a data folder of its own.
    std::vector<std::string> command(const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {cli_program()};
        if (under_wine) {
            argv.insert(argv.begin(), runner);
        }
        argv.insert(argv.end(), args.begin(), args.end());
        if (!args.empty() && (args[0] == "harvest" || args[0] == "resume" || args[0] == "doctor")) {
            for (const char* host : {"suggest.taobao.com", "s.taobao.com", "login.taobao.com"}) {
                argv.push_back("--resolve");
                argv.push_back(std::string(host) + ":443:" + https_address);
            }
            argv.push_back("--cacert");
            argv.push_back(testsupport::test_certificate().cert_path);
        }
        return argv;
    }
    std::map<std::string, std::string> environment() const {
        std::map<std::string, std::string> variables = {
            {"HOME", home_.path().string()},
            {"XDG_DATA_HOME", (home_ / "data").string()},
            {"LC_ALL", "C.UTF-8"}};
        if (under_wine) {
            variables["WINEPREFIX"] = wine_prefix().string();
        }
        return variables;
    }
    ChildResult cli(const std::vector<std::string>& args, std::string input = {}) const {
        return testsupport::run_child(command(args), environment(), std::move(input));
    }
    // The program's own folder: its journal, session file and log.
    fs::path data_folder() const {
        return under_wine ? wine_data_folder() : home_ / "data" / "quorvel";
    }
    fs::path journal_file() const { return data_folder() / "quorvel.sqlite3"; }

    // The harvest the window runs for these seeds and kinds, in this process.
    HarvestStore window_harvest(const std::vector<std::string>& seeds, harvest::KindSet kinds) {
        testsupport::RecordingWindow window;
        window.texts[std::string(harvest::seed_box)] = seed_box_text(seeds);
        for (KeywordSource source : harvest::all_sources) {
            window.checked[std::string(harvest::info(source).check_box)] = kinds.has(source);
        }
        HarvestStore store;
        harvest::start_harvest(window, store);
        return store;
    }

    // The CSV the window's export writes for a store.
    std::string window_csv(const HarvestStore& store) {
        const fs::path file = home_ / "window.csv";
        EXPECT_TRUE(exporting::export_to_file(file.string(), store).has_value());
        return file_bytes(file);
    }

    // The newest run in the journal.
    journal::RunInfo newest_run() {
        auto opened = journal::Journal::open(journal_file());
        if (!opened) {
            ADD_FAILURE() << opened.error().message;
            return {};
        }
        auto runs = opened->runs();
        if (!runs.has_value() || runs->empty()) {
            ADD_FAILURE() << "the journal holds no run";
            return {};
        }
        return runs->front();
    }

    // A run of "one", a seed it stopped at and "three": kept resumable after
    // "one", whose words it wrote to `csv`, and the last line of standard
    // error says how to continue. Once `unblock` has run, resumed with two
    // requests in flight, it writes the whole harvest, and the run says 2.
    void expect_stopped_then_resumed(const ChildResult& stopped, const fs::path& csv,
                                     const HarvestStore& whole,
                                     const std::function<void()>& unblock) {
        const journal::RunInfo run = newest_run();
        EXPECT_EQ(run.state, journal::RunState::stopped);
        EXPECT_EQ(run.seeds_done, 1u);
        const std::string hint = "quorvel-cli resume " + std::to_string(run.id);
        ASSERT_THAT(stopped.err, HasSubstr(hint));
        EXPECT_EQ(stopped.err.substr(stopped.err.rfind(hint) + hint.size()), "\n");
        EXPECT_THAT(file_bytes(csv), HasSubstr("one"));
        EXPECT_THAT(file_bytes(csv), Not(HasSubstr("three")));
        unblock();
        const fs::path full = home_ / "full.csv";
        const ChildResult resumed =
            cli({"resume", std::to_string(run.id), "-o", full.string(), "--parallel", "2"});
        ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
        EXPECT_EQ(file_bytes(full), window_csv(whole));
        EXPECT_EQ(newest_run().state, journal::RunState::finished);
        EXPECT_EQ(newest_run().parallel, 2);
    }

    static FakeMarketplace* fake_;
    ScratchFolder home_;
};
FakeMarketplace* Cli::fake_ = nullptr;

// Under Wine 8, which has no GB18030 (code page 54936), the Windows build holds
// text in code page 936, which has no emoji: there the last seed goes without
// its emoji (this build's own run keeps it).
const std::vector<std::string> kSeeds = {"连衣裙", "ab c", "", under_wine ? "手机壳" : "手机壳😀"};

// The same requests, in the same order, and the same words as the window's
// harvest; the CSV is the window's export byte for byte, and text on standard
// output carries the same rows.
TEST_F(Cli, HarvestsExactlyAsTheWindowDoes) {
    const HarvestStore window = window_harvest(kSeeds, harvest::KindSet::all());
    const std::vector<std::string> window_requests = fake_->steady_requests();
    fake_->clear_requests();

    std::vector<std::string> args = {"harvest"};
    args.insert(args.end(), kSeeds.begin(), kSeeds.end());
    const fs::path csv = home_ / "out.csv";
    args.insert(args.end(), {"-o", csv.string()});
    const ChildResult result = cli(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(fake_->steady_requests(), window_requests);
    EXPECT_EQ(file_bytes(csv), window_csv(window));

    // Text to standard output, one word per line, in the export's order;
    // with requests in flight together, the same words as one at a time.
    fake_->clear_requests();
    const ChildResult text =
        cli({"harvest", "-k", "pc,mobile", kSeeds[0], kSeeds[1], "--parallel", "4"});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    HarvestStore two = window_harvest(
        {kSeeds[0], kSeeds[1]},
        harvest::KindSet().add(KeywordSource::PcDropdown).add(KeywordSource::MobileDropdown));
    std::string expected;
    exporting::for_each_export_row(
        two, [&](std::string_view seed, const harvest::WordRow& row, KeywordSource source) {
            expected += std::string(harvest::info(source).short_name) + "\t" + utf8(seed) + "\t" +
                        utf8(row.word) + "\n";
            return true;
        });
    EXPECT_EQ(text.out, expected);
    EXPECT_THAT(text.err, HasSubstr("finished: 2 of 2 seeds"));
    // The journal keeps each run's number of requests in flight.
    const auto runs = nlohmann::json::parse(cli({"runs", "--json"}).out);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0]["parallel"], 4);
    EXPECT_EQ(runs[1]["parallel"], 1);
}

// Seeds one per line from a file or standard input: empty lines are seeds,
// CR LF is a line end, a final line break adds none.
TEST_F(Cli, SeedsFromAFileOrStandardInput) {
    const ChildResult piped =
        cli({"harvest", "-i", "-", "-k", "mobile", "-f", "jsonl"}, "a\r\n\nb\n");
    ASSERT_EQ(piped.exit_code, 0) << piped.err;
    std::set<std::string> seeds;
    std::istringstream lines(piped.out);
    for (std::string line; std::getline(lines, line);) {
        seeds.insert(nlohmann::json::parse(line)["seed"].get<std::string>());
    }
    EXPECT_EQ(seeds, (std::set<std::string>{"a", "", "b"}));
    EXPECT_EQ(fake_->requests().size(), 3u);

    const fs::path file = home_ / "seeds.txt";
    std::ofstream(file) << "x\ny";
    fake_->clear_requests();
    const ChildResult from_file = cli({"harvest", "-i", file.string(), "-k", "mobile"});
    ASSERT_EQ(from_file.exit_code, 0) << from_file.err;
    EXPECT_EQ(fake_->requests().size(), 2u);
}

// Every format read back: XLSX with an independent reader, JSON Lines
// parsed, and --dedup keeping first occurrences.
TEST_F(Cli, EveryOutputFormat) {
    const fs::path xlsx = home_ / "out.xlsx";
    ASSERT_EQ(
        cli({"harvest", kSeeds[0], kSeeds[0], "-k", "pc,arrow", "-o", xlsx.string()}).exit_code, 0);
    const auto sheet = read_sheet(xlsx);
    const HarvestStore window = window_harvest(
        {kSeeds[0], kSeeds[0]},
        harvest::KindSet().add(KeywordSource::PcDropdown).add(KeywordSource::ArrowWords));
    std::vector<std::vector<std::string>> expected = {{"关键词", "搜索结果", "类别"}};
    exporting::for_each_export_row(window, [&](std::string_view seed, const harvest::WordRow& row,
                                               KeywordSource source) {
        expected.push_back({utf8(seed), utf8(row.word), utf8(harvest::info(source).export_label)});
        return true;
    });
    ASSERT_EQ(sheet["rows"].size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(sheet["rows"][r][c][0], expected[r][c]) << r << "," << c;
        }
    }

    // JSON Lines: one object per word, with the run, and the count where known.
    const fs::path jsonl = home_ / "out.jsonl";
    ASSERT_EQ(cli({"harvest", kSeeds[3], "-k", "pc,arrow,related", "-o", jsonl.string()}).exit_code,
              0);
    const journal::RunInfo run = newest_run();
    std::istringstream lines(file_bytes(jsonl));
    std::map<std::string, int> kinds;
    std::size_t with_count = 0;
    for (std::string line; std::getline(lines, line);) {
        const auto object = nlohmann::json::parse(line);
        EXPECT_EQ(object["run"], run.id);
        EXPECT_EQ(object["seed"], kSeeds[3]);
        ++kinds[object["kind"].get<std::string>()];
        with_count += object.contains("count") ? 1 : 0;
        if (object["kind"] != "pc") {
            EXPECT_FALSE(object.contains("count")) << line;
        }
    }
    EXPECT_EQ(kinds["pc"], static_cast<int>(run.words[0]));
    EXPECT_EQ(kinds["arrow"], static_cast<int>(run.words[1]));
    EXPECT_EQ(kinds["related"], static_cast<int>(run.words[4]));
    EXPECT_EQ(with_count, static_cast<std::size_t>(kinds["pc"]));

    // --dedup: the second seed's words are all repeats of the first's.
    const ChildResult all = cli({"harvest", "a", "a", "-k", "mobile"});
    const ChildResult dedup = cli({"harvest", "a", "a", "-k", "mobile", "--dedup"});
    ASSERT_EQ(dedup.exit_code, 0);
    // The seed's rows come twice, once per occurrence: only the first stay.
    EXPECT_EQ(all.out.substr(0, dedup.out.size()), dedup.out);
    EXPECT_EQ(all.out.size(), 2 * dedup.out.size());
}

// Failures are printed with the message text, seed and kind, counted, and
// give status 1; the run goes on.
TEST_F(Cli, FailedRequestsGiveStatusOne) {
    fake_->fail(Endpoint::pc, "bad", Failure::empty_body);
    const ChildResult result = cli({"harvest", "bad", "good", "-k", "pc", "--progress"});
    EXPECT_EQ(result.exit_code, 1) << result.err;
    // Above the progress line (asked for, though standard error is no
    // terminal), which is cleared for it and drawn again after it.
    EXPECT_THAT(result.err,
                ::testing::ContainsRegex("\r\x1b\\[Kquorvel-cli: 抓取下拉词失败 \\(seed \"bad\", "
                                         "kind pc\\)\n\r\\[0/2\\] bad · 0 words · 1 requests · "
                                         "1 failed · [0-9]+:[0-9]{2}\x1b\\[K"));
    EXPECT_THAT(result.err, HasSubstr("1 failed"));
    EXPECT_THAT(result.out, HasSubstr("pc\tgood\t")) << result.err;
}

// Bad usage or input: status 2, a message in the program's own words that
// says what, and no request.
TEST_F(Cli, BadUsageAsksForNothing) {
    const fs::path bad_utf8 = home_ / "bad.txt";
    std::ofstream(bad_utf8, std::ios::binary) << "good\n\xB0\xA1\xB0\xA1\nmore\n";
    const fs::path empty = home_ / "empty.txt";
    std::ofstream(empty) << "";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"harvest", "a", "-k", "pc,colour"}, "unknown kind \"colour\""},
        {{"harvest", "-i", bad_utf8.string()},
         "line 2 of " + bad_utf8.string() + " is not valid UTF-8"},
        {{"harvest", "-i", empty.string()}, "no seeds"},
        {{"harvest"}, "no seeds"},
        {{"harvest", "a", "--resolve", "suggest.taobao.com:443"}, "--resolve"},
        {{"doctor", "--resolve", "suggest.taobao.com:443"}, "--resolve"},
        {{"harvest", "a", "-o", (home_ / "out.dat").string()}, "cannot tell the format"},
        {{"harvest", "a", "-f", "xlsx"}, "xlsx output needs a file"},
        {{"harvest", "a", "--no-db", "--db", "x"}, "exclude each other"},
        {{"harvest", "a", "--interval", "-5"}, "--interval"},
        {{"resume", "999"}, "999"},
        {{"export", "999", "-o", (home_ / "x.csv").string()}, "999"},
        {{"words", "1", "--sort", "price"},
         "quorvel-cli: unknown sort key \"price\" (keys: results, count, seeds, word)\n"
         "Run 'quorvel-cli words --help' for usage.\n"},
        {{"harvest", "a", "--interval", "abc"},
         "quorvel-cli: --interval takes a number of milliseconds, 0 or more\n"},
        {{"harvest", "a", "--parallel", "0"},
         "quorvel-cli: --parallel takes a whole number from 1 to 8\n"},
        {{"harvest", "a", "--parallel", "9"}, "--parallel takes a whole number from 1 to 8"},
        {{"resume", "1", "--parallel", "x"}, "--parallel takes a whole number from 1 to 8"},
        {{"harvest", "a", "--frob"},
         "quorvel-cli: unknown option \"--frob\" for harvest\n"
         "Run 'quorvel-cli harvest --help' for usage.\n"},
        {{"frobnicate"},
         "quorvel-cli: unknown command \"frobnicate\" (commands: harvest, resume, runs, export, "
         "words, roots, session, doctor)\nRun 'quorvel-cli --help' for usage.\n"},
        {{}, "quorvel-cli: no command given (commands: harvest,"},
        {{"--frob"}, "unknown option \"--frob\"; a command comes first (commands: harvest,"},
        {{"session", "frob"},
         "unknown session command \"frob\" (session commands: import, show, clear)"},
        {{"resume"}, "quorvel-cli: resume needs RUN\n"},
        {{"resume", "x"}, "RUN is a run's number, as \"quorvel-cli runs\" lists them"},
        {{"export", "1"}, "quorvel-cli: export needs --output FILE\n"},
        {{"runs", "--db"}, "quorvel-cli: --db needs its FILE\n"},
        {{"runs", "extra"}, "quorvel-cli: unexpected argument \"extra\" for runs\n"},
        {{"session", "import"}, "quorvel-cli: session import needs FILE\n"},
    };
    for (const auto& [args, said] : cases) {
        const ChildResult result = cli(args);
        EXPECT_EQ(result.exit_code, 2) << args.size() << " " << result.err;
        EXPECT_THAT(result.err, HasSubstr(said));
    }
    EXPECT_TRUE(fake_->requests().empty());

    const ChildResult help = cli({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_THAT(help.out, HasSubstr("harvest"));
    EXPECT_THAT(help.out, HasSubstr("doctor"));
    const ChildResult version = cli({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_THAT(version.out, ::testing::MatchesRegex("quorvel-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"));
}

// The signed-in session: the default cookie file, or --cookies FILE instead,
// or none with --no-cookies; only the marketplace's cookies are sent, on
// every request of harvest and resume.
TEST_F(Cli, TheSessionCookiesGoWithEveryRequest) {
    const fs::path session = data_folder() / "cookies.txt";
    fs::create_directories(session.parent_path());
    std::ofstream(session) << "# Netscape HTTP Cookie File\n"
                              ".taobao.com\tTRUE\t/\tFALSE\t0\tsid\tdefault\n"
                              ".example.com\tTRUE\t/\tFALSE\t0\tforeign\tx\n";
    const fs::path exported = home_ / "export.txt";
    std::ofstream(exported) << "#HttpOnly_.taobao.com\tTRUE\t/\tTRUE\t0\tsid\tbrowser\r\n"
                               "s.taobao.com\tFALSE\t/\tFALSE\t0\tsearch\tonly\r\n"
                               ".example.com\tTRUE\t/\tFALSE\t0\tforeign\tx\r\n";
    auto sent = [&](const std::vector<std::string>& args) {
        fake_->clear_requests();
        const ChildResult result = cli(args);
        EXPECT_EQ(result.exit_code, 0) << result.err;
        std::set<std::pair<std::string, std::string>> seen;  // path, Cookie header
        const std::vector<std::string> requests = fake_->requests();
        const std::vector<std::string> cookies = fake_->request_cookies();
        EXPECT_EQ(requests.size(), cookies.size());
        EXPECT_FALSE(requests.empty());
        for (std::size_t i = 0; i < requests.size() && i < cookies.size(); ++i) {
            // The pairs in a fixed order: the header's order is the library's.
            std::vector<std::string> pairs;
            std::istringstream header(cookies[i]);
            for (std::string pair; std::getline(header >> std::ws, pair, ';');) {
                pairs.push_back(pair);
            }
            std::sort(pairs.begin(), pairs.end());
            std::string sorted;
            for (const std::string& pair : pairs) {
                sorted += (sorted.empty() ? "" : " ") + pair;
            }
            seen.emplace(requests[i].substr(0, requests[i].find('?')), sorted);
        }
        return seen;
    };
    using Seen = std::set<std::pair<std::string, std::string>>;
    EXPECT_EQ(sent({"harvest", "a", "-k", "pc,related"}),
              (Seen{{"/sug", "sid=default"}, {"/search", "sid=default"}}));
    // A host-only cookie goes to its host alone.
    EXPECT_EQ(sent({"harvest", "a", "-k", "pc,related", "--cookies", exported.string()}),
              (Seen{{"/sug", "sid=browser"}, {"/search", "search=only sid=browser"}}));
    EXPECT_EQ(sent({"harvest", "a", "-k", "pc,related", "--no-cookies"}),
              (Seen{{"/sug", ""}, {"/search", ""}}));

    // resume takes the same options.
    fake_->fail(Endpoint::mobile, "hang", Failure::hang);
    fake_->clear_requests();
    ChildProcess child(command({"harvest", "hang", "-k", "mobile,related"}), environment());
    while (fake_->request_count() < 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    child.send_signal(SIGINT);
    ASSERT_EQ(child.wait().exit_code, 130);
    fake_->fail(Endpoint::mobile, "hang", Failure::slow);
    EXPECT_EQ(sent({"resume", std::to_string(newest_run().id), "--cookies", exported.string()}),
              (Seen{{"/sug", "sid=browser"}, {"/search", "search=only sid=browser"}}));
}

// A cookie file that cannot be used is bad input: status 2, the file and
// line named, nothing of a cookie said, and no request.
TEST_F(Cli, AnUnusableCookieFileAsksForNothing) {
    const fs::path malformed = home_ / "malformed.txt";
    std::ofstream(malformed) << "# Netscape HTTP Cookie File\n"
                                ".taobao.com\tTRUE\t/\tFALSE\t0\tsid\tgoodSecret\n"
                                ".taobao.com\tTRUE\t/\tFALSE\tsoon\tlineSecret\tvalueSecret\n";
    const fs::path session = data_folder() / "cookies.txt";
    fs::create_directories(session.parent_path());
    fs::copy_file(malformed, session);
    // The program names its own session file as its system spells it.
    const std::string session_name =
        under_wine ? "C:\\users\\" + wine_user() + "\\AppData\\Local\\Quorvel\\cookies.txt"
                   : session.string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"harvest", "a", "--cookies", malformed.string()}, malformed.string() + ", line 3"},
        {{"harvest", "a", "--cookies", (home_ / "missing.txt").string()}, "missing.txt"},
        {{"harvest", "a"}, session_name + ", line 3"},
        {{"resume", "1"}, session_name + ", line 3"},
        {{"harvest", "a", "--cookies", malformed.string(), "--no-cookies"}, "exclude each other"},
        {{"resume", "1", "--cookies", malformed.string(), "--no-cookies"}, "exclude each other"},
    };
    for (const auto& [args, said] : cases) {
        const ChildResult result = cli(args);
        EXPECT_EQ(result.exit_code, 2) << args.back() << " " << result.err;
        EXPECT_THAT(result.err, HasSubstr(said));
        EXPECT_THAT(result.err, Not(HasSubstr("Secret")));
    }
    EXPECT_THAT(cli({"harvest", "a"}).err, HasSubstr("--no-cookies"));
    EXPECT_TRUE(fake_->requests().empty());
    EXPECT_THAT(file_bytes(data_folder() / "logs" / "quorvel-cli.log"), Not(HasSubstr("Secret")));

    // --no-cookies runs without the broken default file; a file without the
    // marketplace's cookies runs without a session and says so.
    EXPECT_EQ(cli({"harvest", "a", "-k", "mobile", "--no-cookies"}).exit_code, 0);
    const fs::path foreign = home_ / "foreign.txt";
    std::ofstream(foreign) << ".example.com\tTRUE\t/\tFALSE\t0\tforeign\tx\n";
    const ChildResult without =
        cli({"harvest", "a", "-k", "mobile", "--cookies", foreign.string()});
    EXPECT_EQ(without.exit_code, 0) << without.err;
    EXPECT_THAT(without.err, HasSubstr("holds no taobao.com or tmall.com cookies"));
    const ChildResult help = cli({"harvest", "--help"});
    EXPECT_THAT(help.out, HasSubstr("--cookies"));
    EXPECT_THAT(help.out, HasSubstr("--no-cookies"));
}

// The session brought from a browser: a cookies.txt gives the marketplace's
// cookies, each for its own domain; a copied Cookie header is taobao.com's
// and replaces it; other sites' text is refused and keeps it; show counts
// without a value; the next harvest signs in with it; clear deletes it.
TEST_F(Cli, TheSessionImportedShownAndCleared) {
    std::string said;  // everything printed, which must hold no cookie value
    auto run = [&](const std::vector<std::string>& args, std::string input = {}) {
        const ChildResult result = cli(args, std::move(input));
        said += result.out + result.err;
        return result;
    };
    const fs::path exported = home_ / "cookies.txt";
    std::ofstream(exported) << "# Netscape HTTP Cookie File\n"
                               ".taobao.com\tTRUE\t/\tTRUE\t0\t_q_session\tfileSecret\n"
                               "s.taobao.com\tFALSE\t/\tFALSE\t0\tcna\tvisitorSecret\n"
                               ".tmall.com\tTRUE\t/\tFALSE\t0\tcna\ttmallSecret\n"
                               ".example.com\tTRUE\t/\tFALSE\t0\tforeign\tforeignSecret\n";
    const ChildResult imported = run({"session", "import", exported.string()});
    EXPECT_EQ(imported.exit_code, 0) << imported.err;
    const std::string from_file =
        "taobao.com: 2 cookies, signed in\ntmall.com: 1 cookie, not signed in\n";
    EXPECT_THAT(imported.err, HasSubstr(from_file));
    EXPECT_EQ(run({"session", "show"}).out, from_file);

    // Refused: another site's file or header, no cookie, a malformed pair, no file.
    const fs::path foreign = home_ / "foreign.txt";
    std::ofstream(foreign) << ".example.com\tTRUE\t/\tFALSE\t0\tforeign\tforeignSecret\n";
    const std::vector<std::pair<ChildResult, std::string>> refused = {
        {run({"session", "import", foreign.string()}), "other sites only (example.com)"},
        {run({"session", "import", "-"}, "Cookie: sessionid=otherSecret; csrftoken=otherSecret"),
         "none of the cookies taobao.com gives every visitor"},
        {run({"session", "import", "-"}, " \r\n"), "standard input holds no cookie"},
        {run({"session", "import", "-"}, "cna=x; brokenSecret"), "pair 2 is not name=value"},
        {run({"session", "import", (home_ / "missing.txt").string()}), "cannot read"},
    };
    for (const auto& [result, reason] : refused) {
        EXPECT_EQ(result.exit_code, 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr(reason));
    }
    EXPECT_EQ(run({"session", "show"}).out, from_file);

    // A header as copied from the developer tools, line breaks around it.
    const ChildResult pasted = run(
        {"session", "import", "-", "-q"},
        "\r\n  Cookie:\tcna=pastedVisitor;\r\n  _q_session=pastedSecret; cookie2=c2Secret \r\n");
    EXPECT_EQ(pasted.exit_code, 0) << pasted.err;
    EXPECT_THAT(pasted.err, Not(HasSubstr("quorvel-cli")));  // -q
    EXPECT_EQ(run({"session", "show"}).out,
              "taobao.com: 3 cookies, signed in\ntmall.com: 0 cookies, not signed in\n");
    fake_->require_session(true);
    const ChildResult harvested = run({"harvest", "a", "-k", "related"});
    fake_->require_session(false);
    EXPECT_EQ(harvested.exit_code, 0) << harvested.err;
    EXPECT_THAT(harvested.out, HasSubstr("related\ta\t"));
    ASSERT_EQ(fake_->request_cookies().size(), 1u);
    EXPECT_THAT(fake_->request_cookies()[0], HasSubstr("_q_session=pastedSecret"));

    const ChildResult cleared = run({"session", "clear"});
    EXPECT_EQ(cleared.exit_code, 0) << cleared.err;
    EXPECT_THAT(cleared.err, HasSubstr("session cleared"));
    EXPECT_FALSE(fs::exists(data_folder() / "cookies.txt"));
    EXPECT_EQ(run({"session", "show"}).out,
              "taobao.com: 0 cookies, not signed in\ntmall.com: 0 cookies, not signed in\n");
    const ChildResult again = run({"session", "clear"});
    EXPECT_EQ(again.exit_code, 0);
    EXPECT_THAT(again.err, HasSubstr("no session to clear"));

    EXPECT_THAT(said, Not(HasSubstr("Secret")));
    EXPECT_THAT(said, Not(HasSubstr("pastedVisitor")));
    EXPECT_THAT(file_bytes(data_folder() / "logs" / "quorvel-cli.log"), Not(HasSubstr("Secret")));
}

// Storage trouble: an output that cannot be written fails before the first
// request; a journal that cannot be written lets the run go on in memory,
// says so once, and gives status 3.
TEST_F(Cli, StorageTroubleGivesStatusThree) {
    const ChildResult missing =
        cli({"harvest", "a", "-o", (home_ / "no-such-folder" / "out.csv").string()});
    EXPECT_EQ(missing.exit_code, 3);
    EXPECT_THAT(missing.err, HasSubstr("no-such-folder"));
    EXPECT_TRUE(fake_->requests().empty());

    // The data folder's place is taken by a file.
    fs::remove_all(data_folder());
    fs::create_directories(data_folder().parent_path());
    std::ofstream(data_folder()) << "not a folder";
    ASSERT_TRUE(fs::is_regular_file(data_folder()));
    const fs::path csv = home_ / "out.csv";
    const ChildResult unwritable = cli({"harvest", "a", "-k", "mobile", "-o", csv.string()});
    EXPECT_EQ(unwritable.exit_code, 3) << unwritable.err;
    EXPECT_THAT(unwritable.err, HasSubstr("the journal cannot be written"));
    EXPECT_EQ(unwritable.err.find("the journal cannot be written"),
              unwritable.err.rfind("the journal cannot be written"));
    EXPECT_EQ(file_bytes(csv), window_csv(window_harvest(
                                   {"a"}, harvest::KindSet().add(KeywordSource::MobileDropdown))));
}

// A journal file that is not a database is moved aside, never deleted, and
// a fresh one is started.
TEST_F(Cli, ACorruptJournalIsMovedAside) {
    fs::create_directories(journal_file().parent_path());
    std::ofstream(journal_file()) << "this is not a database";
    const ChildResult result = cli({"harvest", "a", "-k", "mobile"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_THAT(result.err, HasSubstr("moved aside"));
    std::size_t kept = 0;
    for (const auto& entry : fs::directory_iterator(journal_file().parent_path())) {
        if (entry.path().filename().string().rfind("quorvel.sqlite3.corrupt-", 0) == 0) {
            EXPECT_EQ(file_bytes(entry.path()), "this is not a database");
            ++kept;
        }
    }
    EXPECT_EQ(kept, 1u);
    EXPECT_EQ(newest_run().state, journal::RunState::finished);
}

// Ctrl-C: the request in flight is dropped, the run is kept as stopped, what
// was found is written to -o, the last line says how to continue, the
// status is 130; continued, the run ends as one never stopped.
TEST_F(Cli, ControlCStopsAndResumeFinishes) {
    const std::vector<std::string> seeds = {"one", "hang", "three"};
    const HarvestStore whole = window_harvest(seeds, harvest::KindSet::all());
    fake_->fail(Endpoint::mobile, "hang", Failure::hang);
    fake_->clear_requests();
    const fs::path csv = home_ / "part.csv";
    ChildProcess child(command({"harvest", "one", "hang", "three", "-o", csv.string()}),
                       environment());
    // The mobile request of "hang" is the 8th: wait until it hangs.
    while (fake_->requests().size() < 8) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    child.send_signal(SIGINT);
    const ChildResult stopped = child.wait();
    EXPECT_EQ(stopped.exit_code, 130) << stopped.err;
    // The run did not wait for the held reply: it was never sent.
    ASSERT_EQ(fake_->held_replies_sent(), 0u);
    EXPECT_TRUE(fake_->await_held_requests_dropped(1));
    expect_stopped_then_resumed(stopped, csv, whole,
                                [] { fake_->fail(Endpoint::mobile, "hang", Failure::slow); });
}

// A search page that ends at the sign-in page: said once per run on
// standard error, while the other kinds are harvested.
TEST_F(Cli, ASignInPageIsSaidOnce) {
    fake_->require_session(true);
    const ChildResult result = cli({"harvest", "a", "b", "-k", "mobile,related"});
    fake_->require_session(false);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    const std::string warning =
        "quorvel-cli: the marketplace asks to sign in for \"你是不是想找\" (related) words; sign "
        "in with the window's 登录淘宝 or bring the session with 'quorvel-cli session import', or "
        "give --cookies FILE\n";
    ASSERT_THAT(result.err, HasSubstr(warning));
    EXPECT_EQ(result.err.find(warning), result.err.rfind(warning));
    EXPECT_THAT(result.out, HasSubstr("mobile\tb\t"));
    EXPECT_THAT(result.out, Not(HasSubstr("related\t")));
}

// A check page: its address is printed, the run stops resumable with
// status 1, what was found is written; once the check is passed, resume
// finishes the run as one never stopped.
TEST_F(Cli, ACheckPageStopsTheRunForResume) {
    const std::vector<std::string> seeds = {"one", "k", "three"};
    const HarvestStore whole = window_harvest(seeds, harvest::KindSet::all());
    fake_->require_verification(Endpoint::search, "k");
    const fs::path csv = home_ / "part.csv";
    const ChildResult stopped = cli({"harvest", "one", "k", "three", "-o", csv.string()});
    EXPECT_EQ(stopped.exit_code, 1) << stopped.err;
    EXPECT_THAT(stopped.err,
                ::testing::ContainsRegex(
                    "verification page instead of related words \\(seed \"k\"\\): "
                    "https://s\\.taobao\\.com(:443)?/_____tmd_____/punish\\?x5secdata="));
    expect_stopped_then_resumed(stopped, csv, whole,
                                [] { fake_->clear_verification(Endpoint::search, "k"); });
}

// doctor: a line per kind for 连衣裙, saying what its reply was; status 0
// only when every kind answered. The session goes with its requests.
TEST_F(Cli, DoctorSaysWhatEachKindGot) {
    const std::string seed = "连衣裙";
    const std::string mobile_word = "连衣裙m1";  // the first mobile word, without marks and spaces
    std::size_t arrows = 0;
    for (std::size_t j = 1; j <= testsupport::fake_words::pc(seed).size(); ++j) {
        arrows += testsupport::fake_words::arrow_titles(static_cast<int>(j)).size();
    }
    auto words = [](std::size_t count) { return "answered, " + std::to_string(count) + " words"; };
    const ChildResult answered = cli({"doctor"});
    EXPECT_EQ(answered.exit_code, 0) << answered.err;
    EXPECT_EQ(answered.out,
              "pc: " + words(testsupport::fake_words::pc(seed).size()) +
                  "\narrow: " + words(arrows) +
                  "\nmobile: " + words(testsupport::fake_words::mobile(seed).size()) +
                  "\nlongtail: " + words(testsupport::fake_words::mobile(mobile_word).size()) +
                  "\nrelated: " + words(testsupport::fake_words::related(seed).size()) + "\n");

    fake_->fail(Endpoint::pc, seed, Failure::empty_body);
    fake_->fail(Endpoint::mobile, seed, Failure::invalid_json);
    fake_->require_verification(Endpoint::search, seed);
    const ChildResult refused = cli({"doctor"});
    fake_->clear_verification(Endpoint::search, seed);
    EXPECT_EQ(refused.exit_code, 1) << refused.err;
    EXPECT_THAT(refused.out,
                ::testing::MatchesRegex(
                    "pc: empty reply\narrow: not tried: pc gave no word\n"
                    "mobile: not JSON: \"\\{\"result\":\\[\\[\"unterminated\"\n"
                    "longtail: not tried: mobile gave no word\n"
                    "related: check page: "
                    "https://s\\.taobao\\.com(:443)?/_____tmd_____/punish\\?x5secdata=.+\n"));

    fake_->clear_failures();
    fake_->fail(Endpoint::pc, seed, Failure::dropped);
    fake_->fail(Endpoint::mobile, mobile_word, Failure::empty_body);
    fake_->require_session(true);
    const ChildResult signed_out = cli({"doctor", "--no-cookies"});
    EXPECT_EQ(signed_out.exit_code, 1) << signed_out.err;
    EXPECT_THAT(signed_out.out, ::testing::MatchesRegex("pc: network or TLS error: .+\n"
                                                        "arrow: not tried: pc gave no word\n"
                                                        "mobile: answered, 3 words\n"
                                                        "longtail: empty reply\n"
                                                        "related: sign-in page\n"));

    const fs::path session = home_ / "session.txt";
    std::ofstream(session) << ".taobao.com\tTRUE\t/\tFALSE\t0\t" << FakeMarketplace::session_cookie
                           << "\tyes\n";
    fake_->fail(Endpoint::search, seed, Failure::no_markers);
    fake_->fail(Endpoint::mobile, seed, Failure::status_500);
    const ChildResult signed_in = cli({"doctor", "--cookies", session.string()});
    fake_->require_session(false);
    fake_->clear_failures();
    EXPECT_EQ(signed_in.exit_code, 1) << signed_in.err;
    EXPECT_THAT(signed_in.out, HasSubstr("\nmobile: HTTP error status 500\nlongtail: not tried: "
                                         "mobile gave no word\nrelated: markers missing: the "
                                         "search page has no related block\n"));
}

// The words of each reply of a harvest, per kind, in request order.
struct ReplyWords : harvest::HarvestObserver {
    std::vector<std::array<std::vector<harvest::WordRow>, 5>> replies{1};
    void word_recorded(KeywordSource source, std::size_t, const std::string& seed,
                       const std::string& word, const std::string&) override {
        replies.back()[harvest::index_of(source)].push_back({seed, word, {}});
    }
    void reply_processed(harvest::RequestKind) override { replies.emplace_back(); }
};

// The words of the first `replies` replies, per kind, seed and word alone.
std::array<std::vector<std::pair<std::string, std::string>>, 5> first_replies(
    const ReplyWords& words, std::size_t replies) {
    std::array<std::vector<std::pair<std::string, std::string>>, 5> out;
    for (std::size_t r = 0; r < replies && r < words.replies.size(); ++r) {
        for (std::size_t k = 0; k < 5; ++k) {
            for (const harvest::WordRow& row : words.replies[r][k]) {
                out[k].emplace_back(row.seed, row.word);
            }
        }
    }
    return out;
}

// Killed at any moment, a run loses at most the replies in hand: the journal
// holds exactly the words of its first replies, all but at most the last two
// that the marketplace was asked for (the PC and mobile replies of a seed are
// both fetched before either is processed). Continued, the run ends as one
// that was never killed.
TEST_F(Cli, AKilledRunLosesAtMostTheRepliesInHand) {
    const std::vector<std::string> seeds = {"k1", "k2", "k3"};
    ReplyWords words;
    fake_->clear_requests();
    {
        testsupport::RecordingWindow window;
        window.texts[std::string(harvest::seed_box)] = seed_box_text(seeds);
        for (KeywordSource source : harvest::all_sources) {
            window.checked[std::string(harvest::info(source).check_box)] = true;
        }
        HarvestStore store;
        harvest::start_harvest(window, store, {.observer = &words});
    }
    const std::size_t requests = fake_->requests().size();
    ASSERT_EQ(words.replies.size(), requests + 1);
    const HarvestStore whole = window_harvest(seeds, harvest::KindSet::all());

    for (std::size_t kill_at : {std::size_t{2}, std::size_t{7}, std::size_t{12}, requests - 1}) {
        const fs::path db = home_ / ("killed-" + std::to_string(kill_at) + ".sqlite3");
        fake_->clear_requests();
        ChildProcess child(command({"harvest", seeds[0], seeds[1], seeds[2], "--interval", "40",
                                    "--db", db.string()}),
                           environment());
        while (fake_->requests().size() < kill_at) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        child.send_signal(SIGKILL);
        ASSERT_EQ(child.wait().signal, SIGKILL);
        const std::size_t asked = fake_->requests().size();

        journal::OpenNotes notes;
        auto opened = journal::Journal::open(db, &notes);
        ASSERT_TRUE(opened.has_value());
        ASSERT_EQ(notes.interrupted.size(), 1u) << kill_at;
        auto run = opened->load(notes.interrupted[0]);
        ASSERT_TRUE(run.has_value());
        EXPECT_EQ(run->info.state, journal::RunState::interrupted);
        std::array<std::vector<std::pair<std::string, std::string>>, 5> stored;
        for (KeywordSource source : harvest::all_sources) {
            for (const harvest::WordRow& row : run->store.word_rows(source)) {
                stored[harvest::index_of(source)].emplace_back(row.seed, row.word);
            }
        }
        bool matches = false;
        for (std::size_t replies = asked; replies + 2 >= asked && !matches; --replies) {
            matches = stored == first_replies(words, replies);
            if (replies == 0) {
                break;
            }
        }
        EXPECT_TRUE(matches) << "killed after " << asked << " requests";

        const fs::path csv = home_ / "resumed.csv";
        const ChildResult resumed =
            cli({"resume", std::to_string(run->info.id), "--db", db.string(), "-o", csv.string()});
        ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
        EXPECT_EQ(file_bytes(csv), window_csv(whole)) << kill_at;
    }
}

// `runs` lists the runs newest first, as text or JSON; `export` writes a
// run's words again, as the harvest wrote them.
TEST_F(Cli, RunsAndExport) {
    const fs::path first = home_ / "first.csv";
    ASSERT_EQ(cli({"harvest", "x", "-k", "mobile", "-o", first.string()}).exit_code, 0);
    ASSERT_EQ(cli({"harvest", "y", "z", "-k", "pc,arrow"}).exit_code, 0);
    const ChildResult listed = cli({"runs", "--json"});
    ASSERT_EQ(listed.exit_code, 0) << listed.err;
    const auto runs = nlohmann::json::parse(listed.out);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GT(runs[0]["id"], runs[1]["id"]);
    EXPECT_EQ(runs[0]["state"], "finished");
    EXPECT_EQ(runs[0]["seeds_done"], 2);
    EXPECT_EQ(runs[0]["kinds"], nlohmann::json::array({"pc", "arrow"}));
    EXPECT_EQ(runs[1]["words"]["mobile"], 3);
    const ChildResult table = cli({"runs"});
    EXPECT_THAT(table.out, HasSubstr("finished"));
    EXPECT_THAT(table.out, HasSubstr("2/2"));

    const fs::path again = home_ / "again.csv";
    const ChildResult exported =
        cli({"export", std::to_string(runs[1]["id"].get<int>()), "-o", again.string()});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_EQ(file_bytes(again), file_bytes(first));
    // --with-counts: a 结果数 column, the count the marketplace sent as a number.
    const fs::path counted = home_ / "counted.csv";
    ASSERT_EQ(cli({"export", std::to_string(runs[1]["id"].get<int>()), "-o", counted.string(),
                   "--with-counts"})
                  .exit_code,
              0);
    const std::string with_counts = file_bytes(counted);
    const std::size_t second_end = with_counts.find("\r\n", with_counts.find("\r\n") + 2);
    EXPECT_EQ(with_counts.substr(0, second_end + 2),
              gb("关键词,搜索结果,类别,结果数\r\nx,xm1,无线下拉词,2000\r\n"));
}

// A run's word table as `words` prints it: a line of titles, then one
// tab-separated line per row.
std::string words_text(const research::WordTable& table, const std::vector<std::uint32_t>& rows) {
    std::string text = "词\t结果数\t来源\t种子数\t次数\t字数\t首个种子\n";
    for (std::uint32_t row : rows) {
        const research::WordEntry& entry = table.words()[row];
        text += entry.word + "\t" + (entry.results ? std::to_string(*entry.results) : "") + "\t" +
                research::sources_text(entry.sources) + "\t" + std::to_string(entry.seeds) + "\t" +
                std::to_string(entry.times) + "\t" + std::to_string(entry.length) + "\t" +
                entry.first_seed + "\n";
    }
    return text;
}

// words: the run's table in every format, each sort key and the filters;
// roots: the terms of its words, or, without a word breaker (Wine), why not
// and status 1.
TEST_F(Cli, WordsAndRootsOfARun) {
    const std::vector<std::string> seeds = {"连衣裙", "ab c", "连衣裙"};
    ASSERT_EQ(cli({"harvest", seeds[0], seeds[1], seeds[2]}).exit_code, 0);
    const std::string run = std::to_string(newest_run().id);
    const research::WordTable table =
        research::WordTable::build(window_harvest(seeds, harvest::KindSet::all()));
    auto rows = [&](research::Column column, std::string_view include = {},
                    std::string_view exclude = {}) {
        return research::shown_rows(table, research::WordFilter::from_text(include, exclude),
                                    research::first_order(column));
    };

    // Text: each sort key orders by its column, and the orders differ.
    std::set<std::string> orders;
    for (const auto& [key, column] : std::vector<std::pair<std::string, research::Column>>{
             {"results", research::Column::results},
             {"count", research::Column::times},
             {"seeds", research::Column::seeds},
             {"word", research::Column::word}}) {
        const ChildResult sorted = cli({"words", run, "--sort", key});
        ASSERT_EQ(sorted.exit_code, 0) << sorted.err;
        EXPECT_EQ(sorted.out, words_text(table, rows(column))) << key;
        orders.insert(sorted.out);
    }
    EXPECT_EQ(orders.size(), 4u);
    // Include: every term; exclude: none, ASCII letters in either case.
    const ChildResult filtered = cli({"words", run, "--include", "连衣裙 裙", "--exclude", "M 长"});
    ASSERT_EQ(filtered.exit_code, 0) << filtered.err;
    const std::vector<std::uint32_t> kept = rows(research::Column::results, "连衣裙 裙", "M 长");
    EXPECT_EQ(filtered.out, words_text(table, kept));
    EXPECT_GT(kept.size(), 0u);
    EXPECT_LT(kept.size(), table.size() / 2);

    // The files hold the same rows: CSV in code-page text as the export
    // writes it, XLSX with numbers as numbers, JSON lines with English keys.
    const std::vector<std::uint32_t> by_results = rows(research::Column::results);
    const fs::path csv = home_ / "words.csv";
    const fs::path xlsx = home_ / "words.xlsx";
    const fs::path jsonl = home_ / "words.jsonl";
    for (const fs::path& file : {csv, xlsx, jsonl}) {
        const ChildResult written = cli({"words", run, "-o", file.string()});
        ASSERT_EQ(written.exit_code, 0) << written.err;
        EXPECT_EQ(written.out, "");
    }
    std::string expected_csv;
    std::istringstream text_lines(words_text(table, by_results));
    for (std::string line; std::getline(text_lines, line);) {
        std::istringstream cells(line);
        std::string row;
        for (std::string cell; std::getline(cells, cell, '\t');) {
            row += (row.empty() ? "" : ",") + exporting::csv_field(gb(cell));
        }
        expected_csv += row + "\r\n";
    }
    EXPECT_EQ(file_bytes(csv), expected_csv);

    const nlohmann::json sheet = read_sheet(xlsx);
    ASSERT_EQ(sheet["rows"].size(), by_results.size() + 1);
    EXPECT_EQ(sheet["rows"][0][6][0], "首个种子");
    std::istringstream lines(file_bytes(jsonl));
    std::size_t r = 0;
    for (std::string line; std::getline(lines, line); ++r) {
        ASSERT_LT(r, by_results.size());
        const research::WordEntry& entry = table.words()[by_results[r]];
        const nlohmann::json object = nlohmann::json::parse(line);
        const nlohmann::json results =
            entry.results ? nlohmann::json(*entry.results) : nlohmann::json(nullptr);
        nlohmann::json sources = nlohmann::json::array();
        for (KeywordSource source : harvest::all_sources) {
            if (entry.sources.has(source)) {
                sources.push_back(harvest::info(source).short_name);
            }
        }
        EXPECT_EQ(object, (nlohmann::json{{"word", entry.word},
                                          {"results", results},
                                          {"sources", sources},
                                          {"seeds", entry.seeds},
                                          {"first_seed", entry.first_seed},
                                          {"times", entry.times},
                                          {"length", entry.length}}))
            << line;
        const nlohmann::json& cells = sheet["rows"][r + 1];
        EXPECT_EQ(cells[0][0], entry.word);
        EXPECT_EQ(cells[1][0], results);
        EXPECT_EQ(cells[2][0], research::sources_text(entry.sources));
        EXPECT_EQ(cells[3][0], entry.seeds);
        EXPECT_EQ(cells[3][1], "n");
        EXPECT_EQ(cells[6][0], entry.first_seed);
    }
    EXPECT_EQ(r, by_results.size());

    const ChildResult roots = cli({"roots", run});
    if (under_wine) {
        EXPECT_EQ(roots.exit_code, 1);
        EXPECT_EQ(roots.out, "");
        // Its last line says why (Wine may write lines of its own before it).
        EXPECT_THAT(roots.err,
                    ::testing::ContainsRegex("(^|\n)quorvel-cli: [^\n]*icu\\.dll[^\n]*\n$"));
        return;
    }
    ASSERT_EQ(roots.exit_code, 0) << roots.err;
    const auto built = research::build_roots(table);
    ASSERT_TRUE(built.has_value()) << built.error();
    std::string expected_roots = "词根\t词数\t结果数合计\t次数合计\n";
    for (const research::RootEntry& root : *built) {
        expected_roots += root.root + "\t" + std::to_string(root.words) + "\t" +
                          std::to_string(root.results_total) + "\t" +
                          std::to_string(root.times_total) + "\n";
    }
    EXPECT_EQ(roots.out, expected_roots);
    const ChildResult roots_jsonl = cli({"roots", run, "-f", "jsonl"});
    ASSERT_EQ(roots_jsonl.exit_code, 0) << roots_jsonl.err;
    const nlohmann::json first =
        nlohmann::json::parse(roots_jsonl.out.substr(0, roots_jsonl.out.find('\n')));
    EXPECT_EQ(first, (nlohmann::json{{"root", built->front().root},
                                     {"words", built->front().words},
                                     {"results_total", built->front().results_total},
                                     {"times_total", built->front().times_total}}));
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
    // Before any thread starts: a namespace of its own needs a single thread.
    quorvel::https_address = quorvel::testsupport::address_for_https_port();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
