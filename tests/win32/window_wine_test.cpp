// The Win32 main window run under Wine on a virtual X display, worked from
// outside by quorvel_window_driver.exe, against the fake marketplace running
// here. Every case is compared with this build's own core: the words in the
// five boxes, the requests, the failure messages and the exported CSV come
// from the same harvest run natively against the same server.
//
// One Wine prefix, one persistent wineserver and one Xvfb serve the whole
// run; each case starts the window afresh. With --screenshot FILE the
// executable instead runs a small harvest in the window and saves its
// picture.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "export/export.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "platform/window_operations.h"
#include "research/word_table.h"
#include "shell/control_table.h"
#include "shell/texts.h"
#include "shell/word_table_controller.h"
#include "tests/support/child_process.h"
#include "tests/support/code_page_text.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/recording_window.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"
#include "tests/support/windows_build.h"

extern char** environ;

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using harvest::HarvestStore;
using harvest::KeywordSource;
using nlohmann::json;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::FakeMarketplace;
using testsupport::file_bytes;
using testsupport::gb;
using testsupport::ScratchFolder;
using testsupport::utf8;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string wine = testsupport::wine_program();

// A Linux path as Windows programs under Wine name it (drive Z: is "/").
std::string windows_path(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// A program started in the background with its output in a file, so that
// the Wine processes it may start (which inherit its descriptors) hold no
// pipe of ours open.
class Background {
  public:
    Background(const std::vector<std::string>& argv, const fs::path& log) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        const int error = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            throw std::runtime_error("cannot start " + argv[0]);
        }
    }
    ~Background() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // Its exit status once it has ended within `limit`; nothing otherwise.
    std::optional<int> wait_for(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (Clock::now() > end) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(1ms);
        }
    }

  private:
    pid_t pid_ = -1;
};

// The run's virtual display, Wine prefix and wineserver, set up once and
// named in this process's environment for every Wine program it starts.
class WineDesk {
  public:
    void start() {
        start_display();
        // A Chinese Windows, as the program's users have: message boxes and
        // the save dialog in Chinese and fonts that hold its characters.
        // zh_CN.UTF-8 is compiled into the scratch folder: the machine may lack it.
        const fs::path locales = folder() / "locales";
        fs::create_directory(locales);
        const std::string compile = "localedef -i zh_CN -f UTF-8 '" +
                                    (locales / "zh_CN.UTF-8").string() + "' > /dev/null 2>&1";
        if (std::system(compile.c_str()) != 0) {
            throw std::runtime_error("localedef cannot build zh_CN.UTF-8");
        }
        ::setenv("LOCPATH", locales.c_str(), 1);
        ::setenv("LANG", "zh_CN.UTF-8", 1);
        ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
        fs::create_directory(folder() / "wine");
        ::setenv("WINEPREFIX", (folder() / "wine").c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        // No Mono or Gecko installer dialog can appear.
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        const auto start = Clock::now();
        // One server for the whole run, then the prefix made in it.
        quiet({wineserver(), "-p"});
        server_started_ = true;
        quiet({wine, "wineboot", "-i"});
        // Xvfb has no window manager: Wine draws the windows' frames and
        // captions itself and leaves the windows unmanaged; a managed window
        // would wait 2 s on closing for a window manager to withdraw it.
        const fs::path settings = folder() / "x11.reg";
        std::ofstream(settings) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"
                                   "\"Decorated\"=\"N\"\n\"Managed\"=\"N\"\n";
        quiet({wine, "regedit", "/S", windows_path(settings)});
        std::cerr
            << "Wine prefix made in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()
            << " ms\n";
    }
    void stop() {
        if (server_started_) {
            quiet({wineserver(), "-k"});
        }
        if (display_pid_ > 0) {
            ::kill(display_pid_, SIGTERM);
            ::waitpid(display_pid_, nullptr, 0);
            display_pid_ = -1;
        }
    }
    const fs::path& folder() const { return folder_.path(); }
    // The window's own log, as Wine's user keeps it.
    std::string window_log() const { return file_bytes(data_folder() / "logs" / "quorvel.log"); }
    fs::path session_file() const { return data_folder() / "cookies.txt"; }
    fs::path journal_file() const { return data_folder() / "quorvel.sqlite3"; }

  private:
    fs::path data_folder() const {
        const char* user = std::getenv("USER");
        return folder() / "wine" / "drive_c" / "users" / (user ? user : "root") / "AppData" /
               "Local" / "Quorvel";
    }

    static std::string wineserver() {
        const fs::path beside = fs::path(wine).parent_path() / "wineserver";
        return fs::exists(beside) ? beside.string() : "wineserver";
    }

    // Runs a command to its end with its output in a log.
    void quiet(const std::vector<std::string>& argv) {
        Background command(argv, folder() / "setup.log");
        if (command.wait_for(120s) != 0) {
            throw std::runtime_error("failed: " + argv[0] + " " + argv[1] + "\n" +
                                     file_bytes(folder() / "setup.log"));
        }
    }

    // Xvfb on a display number of its choosing, which it writes to a pipe.
    void start_display() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // The display number goes to descriptor 3, the pipe's end kept open for it.
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        std::vector<std::string> argv = {"/usr/bin/Xvfb", "-displayfd", "3",  "-screen", "0",
                                         "1024x768x24",   "-nolisten",  "tcp"};
        std::vector<char*> args;
        for (std::string& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        const int error =
            posix_spawn(&display_pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (error != 0) {
            throw std::runtime_error("cannot start Xvfb");
        }
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        if (number.empty()) {
            throw std::runtime_error("Xvfb gave no display");
        }
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
    }

    ScratchFolder folder_;
    pid_t display_pid_ = -1;
    bool server_started_ = false;
};

WineDesk* desk = nullptr;

// What one driver run printed, event by event.
struct DriverRun {
    int exit_code = -1;
    std::vector<json> events;
    std::string err;

    std::vector<json> all(const std::string& name) const {
        std::vector<json> found;
        for (const json& event : events) {
            if (event.value("event", "") == name) {
                found.push_back(event);
            }
        }
        return found;
    }
    json one(const std::string& name) const {
        const auto found = all(name);
        return found.size() == 1 ? found.front() : json();
    }
    std::string text() const {
        std::string out;
        for (const json& event : events) {
            out += event.dump() + "\n";
        }
        return out + err;
    }
};

DriverRun drive(const std::vector<std::string>& steps) {
    std::vector<std::string> argv = {
        wine, testsupport::windows_build_file("tests/quorvel_window_driver.exe")};
    argv.insert(argv.end(), steps.begin(), steps.end());
    const testsupport::ChildResult result = testsupport::run_child(argv);
    DriverRun run;
    run.exit_code = result.exit_code;
    run.err = result.err;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        const auto start = line.find('{');
        if (start != std::string::npos) {
            run.events.push_back(json::parse(line.substr(start), nullptr, false));
        }
    }
    return run;
}

// The five check boxes' names, as the driver ticks them.
std::string all_kinds() {
    std::string names;
    for (KeywordSource source : harvest::all_sources) {
        names += (names.empty() ? "" : ",") + std::string(harvest::info(source).check_box);
    }
    return names;
}

// The test host under Wine, pointed at a fake marketplace on this port of
// 127.0.0.1 by the marketplace's own host names.
std::vector<std::string> host_command(int port) {
    const std::string suffix = ":" + std::to_string(port);
    std::vector<std::string> argv = {
        wine,
        testsupport::windows_build_file("tests/quorvel_window_test_host.exe"),
        "--suggest-host",
        "suggest.taobao.com" + suffix,
        "--search-host",
        "s.taobao.com" + suffix};
    for (const char* host : {"suggest.taobao.com", "s.taobao.com"}) {
        argv.insert(argv.end(), {"--resolve", host + suffix + ":127.0.0.1"});
    }
    argv.insert(argv.end(), {"--cacert", windows_path(testsupport::test_certificate().cert_path)});
    return argv;
}

class WindowUnderWine : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        fake_ = new FakeMarketplace();
        hosts_.suggest = "suggest.taobao.com:" + std::to_string(fake_->port());
        hosts_.search = "s.taobao.com:" + std::to_string(fake_->port());
        // The core's own harvests go where the window's go.
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        platform::set_resolve_entries(resolve_entries());
    }
    static void TearDownTestSuite() {
        delete fake_;
        fake_ = nullptr;
    }
    void SetUp() override { fake_->clear_requests(); }

    static std::vector<platform::ResolveEntry> resolve_entries() {
        std::vector<platform::ResolveEntry> entries;
        for (const char* host : {"suggest.taobao.com", "s.taobao.com"}) {
            entries.push_back(*platform::parse_resolve_entry(
                std::string(host) + ":" + std::to_string(fake_->port()) + ":127.0.0.1"));
        }
        return entries;
    }

    // The window pointed at the fake marketplace.
    std::unique_ptr<Background> start_host() {
        return std::make_unique<Background>(host_command(fake_->port()),
                                            desk->folder() / "window.log");
    }

    // A seeds file for the driver (UTF-8, one per line).
    fs::path seeds_file(const std::vector<std::string>& seeds) {
        const fs::path file = scratch_ / "seeds.txt";
        std::ofstream out(file, std::ios::binary);
        for (const std::string& seed : seeds) {
            out << seed << "\n";
        }
        return file;
    }

    // The core's harvest of these seeds with every kind, against the same server.
    struct CoreRun {
        testsupport::RecordingWindow window;
        HarvestStore store;
        std::vector<std::string> requests;
    };
    std::unique_ptr<CoreRun> core_harvest(const std::vector<std::string>& seeds) {
        auto run = std::make_unique<CoreRun>();
        std::string text;
        for (const std::string& seed : seeds) {
            text += gb(seed) + "\r\n";
        }
        run->window.texts[std::string(harvest::seed_box)] = text;
        for (KeywordSource source : harvest::all_sources) {
            run->window.checked[std::string(harvest::info(source).check_box)] = true;
        }
        fake_->clear_requests();
        harvest::RunOptions options;
        options.hosts = hosts_;
        harvest::start_harvest(run->window, run->store, options);
        run->requests = fake_->steady_requests();
        fake_->clear_requests();
        return run;
    }

    // The five boxes the driver read equal the core's, word for word.
    static void expect_same_boxes(const DriverRun& driven, const CoreRun& core) {
        const json boxes = driven.one("boxes");
        ASSERT_TRUE(boxes.is_object()) << driven.text();
        for (KeywordSource source : harvest::all_sources) {
            const std::string name(harvest::info(source).result_box);
            auto found = core.window.texts.find(name);
            const std::string expected =
                found == core.window.texts.end() ? "" : utf8(found->second);
            EXPECT_FALSE(expected.empty()) << name;
            EXPECT_EQ(boxes.value(name, "<missing>"), expected) << name;
        }
    }

    static void expect_closed(const DriverRun& driven, Background& window) {
        const json closed = driven.one("close");
        ASSERT_TRUE(closed.is_object()) << driven.text();
        EXPECT_TRUE(closed.value("process_ended", false)) << driven.text();
        EXPECT_EQ(closed.value("exit_code", -1), 0) << driven.text();
        std::cerr << "closed when idle: window gone " << closed.value("window_gone_ms", -1.0)
                  << " ms, process ended " << closed.value("process_exit_ms", -1.0)
                  << " ms after WM_CLOSE\n";
        // Wine may end the Linux process with a signal of its own once the
        // Windows process has exited; its Windows exit code is checked above.
        EXPECT_TRUE(window.wait_for(10s).has_value());
    }

    static FakeMarketplace* fake_;
    static harvest::MarketplaceHosts hosts_;
    ScratchFolder scratch_;
};
FakeMarketplace* WindowUnderWine::fake_ = nullptr;
harvest::MarketplaceHosts WindowUnderWine::hosts_;

const std::vector<std::string> kSeeds = {"连衣裙", "ab c", "", "手机壳"};

// quorvel.exe itself (the marketplace's own hosts; nothing is asked of them
// here): every control of the table, then closed.
TEST_F(WindowUnderWine, QuorvelExeBuildsEveryControlOfTheTable) {
    Background window({wine, testsupport::windows_build_file("win32/quorvel.exe")},
                      desk->folder() / "quorvel.log");
    const DriverRun driven = drive({"controls", "close"});
    EXPECT_EQ(driven.exit_code, 0) << driven.text();
    const json controls = driven.one("controls");
    ASSERT_TRUE(controls.is_object()) << driven.text();
    EXPECT_EQ(controls.value("mismatches", -1), 0) << driven.text();
    const auto table = shell::main_window_controls();
    EXPECT_EQ(controls.value("checked", 0), static_cast<int>(table.size()));
    expect_closed(driven, window);
    EXPECT_EQ(fake_->request_count(), 0u);
}

// Seeds typed, the five kinds ticked, 搜索 clicked: the same requests in the
// same order and the same words in the five boxes as the core's own harvest;
// 搜索 is locked while the run goes on and no message is shown.
TEST_F(WindowUnderWine, HarvestFillsTheFiveBoxesAsTheCoreDoes) {
    const auto core = core_harvest(kSeeds);
    auto window = start_host();
    const DriverRun driven = drive({"controls", "seeds", windows_path(seeds_file(kSeeds)), "tick",
                                    all_kinds(), "harvest", "60", "boxes", "close"});
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    EXPECT_EQ(driven.one("controls").value("mismatches", -1), 0) << driven.text();
    EXPECT_TRUE(driven.one("harvest").value("search_disabled_seen", false));
    EXPECT_THAT(driven.all("message"), ::testing::IsEmpty());
    EXPECT_EQ(fake_->steady_requests(), core->requests);
    expect_same_boxes(driven, *core);
    // The progress bar stands at the end: every seed line done.
    EXPECT_EQ(driven.one("boxes").value("progress_maximum", -1), static_cast<int>(kSeeds.size()));
    EXPECT_EQ(driven.one("boxes").value("progress_position", -1), static_cast<int>(kSeeds.size()));
    expect_closed(driven, *window);
}

// A PC reply that is not JSON: the window shows the core's failure message
// ("抓取下拉词失败" under "信息：") with search and export locked while it is
// up, and goes on with the rest as the core does.
TEST_F(WindowUnderWine, FailureMessageReachesTheUser) {
    const std::string broken = "坏掉的词";
    fake_->fail(Endpoint::pc, broken, Failure::invalid_json);
    const std::vector<std::string> seeds = {"好词", broken};
    const auto core = core_harvest(seeds);
    ASSERT_EQ(core->window.messages.size(), 1u);

    auto window = start_host();
    const DriverRun driven = drive({"seeds", windows_path(seeds_file(seeds)), "tick", all_kinds(),
                                    "answer", "ok", "harvest", "60", "boxes", "close"});
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    const auto messages = driven.all("message");
    ASSERT_EQ(messages.size(), 1u) << driven.text();
    EXPECT_EQ(messages[0].value("text", ""), "抓取下拉词失败");
    EXPECT_EQ(messages[0].value("text", ""), utf8(core->window.messages[0].text));
    EXPECT_EQ(messages[0].value("caption", ""), "信息：");
    EXPECT_EQ(messages[0].value("caption", ""), utf8(platform::default_message_caption));
    EXPECT_FALSE(messages[0].value("search_enabled", true));
    EXPECT_FALSE(messages[0].value("export_enabled", true));
    EXPECT_EQ(fake_->steady_requests(), core->requests);
    expect_same_boxes(driven, *core);
    expect_closed(driven, *window);
}

// The first failure message offers "本次搜索不再提示": left clear, every
// failure is shown; ticked, the rest of that harvest's failures are only
// counted in the progress line. The boxes hold what the core finds either way.
TEST_F(WindowUnderWine, FailureMessagesCanBeSilencedForOneHarvest) {
    const std::vector<std::string> seeds = {"坏词一", "好的词", "坏词二"};
    fake_->fail(Endpoint::pc, seeds[0], Failure::empty_body);
    fake_->fail(Endpoint::pc, seeds[2], Failure::invalid_json);
    const auto core = core_harvest(seeds);
    ASSERT_EQ(core->window.messages.size(), 2u);
    const std::string failures = "失败 " + std::to_string(core->window.messages.size());

    auto window = start_host();
    const DriverRun driven =
        drive({"seeds", windows_path(seeds_file(seeds)), "tick", all_kinds(), "answer", "ok",
               "harvest", "60", "boxes", "answer", "quiet", "harvest", "60", "boxes", "close"});
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    const auto messages = driven.all("message");
    ASSERT_EQ(messages.size(), 3u) << driven.text();
    EXPECT_EQ(messages[0].value("check_boxes", std::vector<std::string>{}),
              std::vector<std::string>{"本次搜索不再提示"});
    for (const json& message : messages) {
        EXPECT_EQ(message.value("text", ""), utf8(core->window.messages[0].text));
    }
    EXPECT_TRUE(messages[2].value("silenced", false)) << driven.text();
    const auto boxes = driven.all("boxes");
    ASSERT_EQ(boxes.size(), 2u);
    for (const json& after : boxes) {
        DriverRun one;
        one.events = {after};
        expect_same_boxes(one, *core);
        EXPECT_THAT(after.value(std::string(shell::progress_line), ""),
                    ::testing::HasSubstr(failures));
    }
    expect_closed(driven, *window);
}

// After a harvest, 导出结果 through the save dialog (titled "保存文件", with the
// export's two file types) to a .csv: the file is byte for byte the core's
// export of the core's harvest, and success says nothing.
TEST_F(WindowUnderWine, ExportsThroughTheSaveDialogAsTheCoreDoes) {
    const auto core = core_harvest(kSeeds);
    const fs::path expected = scratch_ / "core.csv";
    ASSERT_TRUE(exporting::export_to_file(expected.string(), core->store).has_value());

    auto window = start_host();
    const fs::path exported = scratch_ / "导出.csv";
    const DriverRun driven = drive({"seeds", windows_path(seeds_file(kSeeds)), "tick", all_kinds(),
                                    "harvest", "60", "export", windows_path(exported), "close"});
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    const json dialog = driven.one("save_dialog");
    ASSERT_TRUE(dialog.is_object()) << driven.text();
    EXPECT_EQ(dialog.value("caption", ""), utf8(exporting::dialog_title));
    // The filter's display names: every other piece of "NAME|PATTERN|NAME|PATTERN".
    std::vector<std::string> types;
    std::stringstream filter(utf8(exporting::dialog_filter));
    int piece = 0;
    for (std::string part; std::getline(filter, part, '|'); ++piece) {
        if (piece % 2 == 0) {
            types.push_back(part);
        }
    }
    EXPECT_EQ(dialog.value("types", std::vector<std::string>{}), types);
    EXPECT_THAT(driven.all("message"), ::testing::IsEmpty());
    ASSERT_TRUE(fs::exists(exported)) << driven.text();
    EXPECT_EQ(file_bytes(exported), file_bytes(expected));
    expect_closed(driven, *window);
}

// 词表 after a harvest of two seeds: every distinct word once, the largest
// 结果数 first, in the count line "显示 N / M 个词" and the rows the core's
// own controller gives; a term typed into 包含 narrows it to the words
// holding the term, which 复制所选 copies; without icu.dll (Wine has none) the roots pane says why
// there are no roots.
TEST_F(WindowUnderWine, WordTableListsTheHarvestsWordsAndFiltersThem) {
    const std::vector<std::string> seeds = {"连衣裙", "手机壳"};
    const std::string term = "手机";
    const auto core = core_harvest(seeds);
    auto table = std::make_shared<research::WordTable>(research::WordTable::build(core->store));
    shell::WordTableController expected(table);
    const auto& words = table->words();
    const std::int64_t highest =
        std::max_element(words.begin(), words.end(), [](const auto& a, const auto& b) {
            return a.results.value_or(-1) < b.results.value_or(-1);
        })->results.value_or(-1);
    const auto holding = std::count_if(words.begin(), words.end(), [&](const auto& entry) {
        return entry.word.find(term) != std::string::npos;
    });
    ASSERT_GT(highest, 0);
    ASSERT_GT(holding, 0);
    ASSERT_LT(static_cast<std::size_t>(holding), words.size());
    const std::string total = std::to_string(words.size());

    auto window = start_host();
    const DriverRun driven = drive({"seeds", windows_path(seeds_file(seeds)), "tick", all_kinds(),
                                    "harvest", "60", "word-table", term, "close"});
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    const json shown = driven.one("word-table");
    ASSERT_TRUE(shown.is_object()) << driven.text();
    EXPECT_EQ(shown.value("title", ""), shell::texts::word_table_of_boxes);
    // The rows as the core's controller has them, first without a filter, then with it.
    auto expect_rows = [&](const json& seen, std::size_t count) {
        EXPECT_EQ(seen.value("count_line", ""),
                  shell::texts::fill(shell::texts::shown_count, {std::to_string(count), total}));
        EXPECT_EQ(seen.value("count_line", ""), expected.count_line());
        EXPECT_EQ(seen.value("rows", 0u), count);
        const json& cells = seen.at("cells");
        ASSERT_EQ(cells.size(), std::min<std::size_t>(count, 5)) << driven.text();
        for (std::size_t row = 0; row < cells.size(); ++row) {
            for (std::size_t column = 0; column < research::column_count; ++column) {
                EXPECT_EQ(cells.at(row).at(column).get<std::string>(),
                          expected.cell(row, static_cast<research::Column>(column)))
                    << row << "," << column;
            }
        }
    };
    expect_rows(shown.at("before"), words.size());
    const auto top = std::find_if(words.begin(), words.end(), [&](const auto& entry) {
        return entry.word == shown.at("before").at("cells").at(0).at(0).get<std::string>();
    });
    ASSERT_NE(top, words.end()) << driven.text();
    EXPECT_EQ(top->results, highest);
    expected.set_include(term);
    expect_rows(shown.at("after"), static_cast<std::size_t>(holding));
    // 复制所选 with every shown row selected: their words, one per CR LF line.
    std::vector<std::size_t> all_rows(static_cast<std::size_t>(holding));
    std::iota(all_rows.begin(), all_rows.end(), std::size_t{0});
    std::string copied;
    for (char c : expected.copied(all_rows)) {
        copied += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(shown.value("copied", ""), copied);
    for (const json& row : shown.at("after").at("cells")) {
        EXPECT_THAT(row.at(0).get<std::string>(), ::testing::HasSubstr(term));
    }
    EXPECT_THAT(shown.value("roots_note", ""),
                ::testing::StartsWith(std::string(shell::texts::roots_unavailable)));
    EXPECT_GT(shown.value("roots_note", "").size(), shell::texts::roots_unavailable.size());
    EXPECT_EQ(shown.value("roots", -1), 0);
    expect_closed(driven, *window);
}

// 停止 while a request hangs (the fake holds its reply until the client lets
// go): the window is idle again without the reply ever being sent, the
// connection dropped, and what the harvest found before stays in the boxes,
// as the core finds it for the seeds before the hanging one.
TEST_F(WindowUnderWine, StopEndsAHarvestWithoutWaitingForTheReply) {
    const std::vector<std::string> seeds = {"停之前", "停住的词", "停之后"};
    fake_->fail(Endpoint::pc, seeds[1], Failure::hang);
    const auto core = core_harvest({seeds[0]});
    auto window = start_host();
    // The limit on the stop only keeps a broken build from hanging: a stop
    // that waits for the reply is seen by the reply having been sent.
    const DriverRun driven =
        drive({"seeds", windows_path(seeds_file(seeds)), "tick", all_kinds(), "start-harvest",
               "sleep", "700", "stop", "60", "boxes", "close"});
    ASSERT_EQ(driven.exit_code, 0)
        << driven.text() << testing::PrintToString(fake_->requests()) << desk->window_log();
    // The hanging request was in flight: the first seed's requests, then it.
    EXPECT_EQ(fake_->request_count(), core->requests.size() + 1) << driven.text();
    EXPECT_EQ(fake_->held_replies_sent(), 0u) << driven.text();
    EXPECT_TRUE(fake_->await_held_requests_dropped(1));
    expect_same_boxes(driven, *core);
    EXPECT_THAT(driven.all("message"), ::testing::IsEmpty());
    std::cerr << "stopped during a request: idle " << driven.one("stop").value("ms", -1.0)
              << " ms after the click\n";
    expect_closed(driven, *window);
}

// The window's process killed while a request hangs: the next start asks
// once whether to continue from the seed it stood at ("继续上次的搜索"),
// and on yes fills the boxes with what was kept and harvests the rest, so
// that they end as the core's whole harvest.
TEST_F(WindowUnderWine, AKilledHarvestIsOfferedAndContinued) {
    const std::vector<std::string> seeds = {"续前的词", "续中的词", "续后的词"};
    // The hanging reply is the usual one, late: the core needs no wait for it.
    const auto core = core_harvest(seeds);
    fake_->fail(Endpoint::pc, seeds[1], Failure::hang);

    auto first = start_host();
    const DriverRun started = drive({"seeds", windows_path(seeds_file(seeds)), "tick", all_kinds(),
                                     "start-harvest", "sleep", "700"});
    ASSERT_EQ(started.exit_code, 0) << started.text();
    first.reset();  // SIGKILL, as a crash or a power cut ends it
    fake_->fail(Endpoint::pc, seeds[1], Failure::slow);  // answered when asked again

    auto second = start_host();
    const DriverRun resumed =
        drive({"answer", "yes", "await-message", "30", "wait-idle", "30", "boxes", "close"});
    ASSERT_EQ(resumed.exit_code, 0) << resumed.text() << desk->window_log();
    const auto messages = resumed.all("message");
    ASSERT_EQ(messages.size(), 1u) << resumed.text();
    EXPECT_EQ(messages[0].value("caption", ""), "继续上次的搜索");
    EXPECT_THAT(messages[0].value("text", ""), ::testing::HasSubstr("已完成关键词 1/3"));
    EXPECT_EQ(messages[0].value("buttons", std::vector<std::string>{}).size(), 2u);
    expect_same_boxes(resumed, *core);
    expect_closed(resumed, *second);
}

// WM_CLOSE while a request hangs (the fake holds its reply until the client
// lets go): the window is gone and its process has ended without the reply
// ever being sent, the connection dropped. The times, counted in the driver
// from the message, and Wine's own teardown of the Linux process after that
// are reported.
TEST_F(WindowUnderWine, ClosingDuringARunEndsTheProcessWithoutWaitingForTheReply) {
    const std::string slow = "慢慢的词";
    fake_->fail(Endpoint::pc, slow, Failure::hang);
    auto window = start_host();
    const DriverRun driven = drive({"seeds", windows_path(seeds_file({slow})), "tick", all_kinds(),
                                    "start-harvest", "sleep", "500", "close"});
    const auto driver_done = Clock::now();
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    // The request was in flight when the window was closed.
    ASSERT_EQ(fake_->request_count(), 1u);
    const json closed = driven.one("close");
    ASSERT_TRUE(closed.is_object()) << driven.text();
    EXPECT_TRUE(closed.value("process_ended", false));
    EXPECT_EQ(closed.value("exit_code", -1), 0);
    EXPECT_EQ(fake_->held_replies_sent(), 0u) << desk->window_log();
    EXPECT_TRUE(fake_->await_held_requests_dropped(1));
    EXPECT_TRUE(window->wait_for(10s).has_value());
    std::cerr
        << "closed during a run: window gone " << closed.value("window_gone_ms", -1.0)
        << " ms, process ended " << closed.value("process_exit_ms", -1.0)
        << " ms after WM_CLOSE; the Linux process reaped "
        << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - driver_done).count()
        << " ms after the driver's report\n";
}

// 登录淘宝 with a Cookie header pasted as a browser's developer tools show
// it: another site's header is refused and the dialog stays open; the
// marketplace's is taken ("已登录"), kept in the session file and carried by
// the search requests of the next harvest. The next start is signed in, and
// 退出登录 forgets the session and deletes the file. 设置's 同时请求数 is
// set to 4 (9 is refused) before the first harvest, kept for the next start
// and recorded in the journal with both harvests.
TEST_F(WindowUnderWine, PastedHeaderSignsInUntilSignedOut) {
    const fs::path other = scratch_ / "other.txt";
    std::ofstream(other) << "Cookie: _ga=GA1.2.345; sessionid=otherSecret\n";
    const fs::path header = scratch_ / "header.txt";
    std::ofstream(header)
        << "Cookie: cna=visitorValue; _q_session=pastedSecret; cookie2=c2Secret\n";
    fs::remove(desk->session_file());
    fake_->require_session(true);
    auto window = start_host();
    const DriverRun driven =
        drive({"sign-in", windows_path(other), "sign-in", windows_path(header), "parallel", "4",
               "seeds", windows_path(seeds_file({"连衣裙"})), "tick",
               std::string(harvest::info(KeywordSource::DidYouMean).check_box), "harvest", "60",
               "close"});
    fake_->require_session(false);
    ASSERT_EQ(driven.exit_code, 0) << driven.text();
    const auto tries = driven.all("sign-in");
    ASSERT_EQ(tries.size(), 2u) << driven.text();
    EXPECT_EQ(tries[0].value("caption", ""), "登录淘宝");
    EXPECT_FALSE(tries[0].value("closed_by_ok", true));
    EXPECT_EQ(tries[0].value("state", ""), "未登录");
    EXPECT_FALSE(tries[0].value("sign_out_enabled", true));
    EXPECT_TRUE(tries[1].value("closed_by_ok", false));
    EXPECT_EQ(tries[1].value("state", ""), "已登录");
    EXPECT_TRUE(tries[1].value("sign_out_enabled", false));
    // The refusal and what was taken; no sign-in notice from the harvest.
    const auto messages = driven.all("message");
    ASSERT_EQ(messages.size(), 3u) << driven.text();
    EXPECT_THAT(messages[0].value("text", ""), ::testing::HasSubstr("没有导入登录信息"));
    EXPECT_THAT(messages[1].value("text", ""), ::testing::HasSubstr("taobao.com：3 个 Cookie"));
    EXPECT_EQ(messages[2].value("text", ""), shell::texts::parallel_out_of_range);
    EXPECT_EQ(driven.one("parallel").value("before", ""), "1");
    EXPECT_TRUE(driven.one("parallel").value("stayed_open", false));
    EXPECT_THAT(driven.text(), ::testing::Not(::testing::HasSubstr("Secret")));
    const auto cookies = fake_->request_cookies();
    ASSERT_FALSE(cookies.empty());
    for (const std::string& sent : cookies) {
        EXPECT_THAT(sent, ::testing::HasSubstr("_q_session=pastedSecret"));
    }
    expect_closed(driven, *window);
    EXPECT_THAT(file_bytes(desk->session_file()), ::testing::HasSubstr("pastedSecret"));

    // The next start is signed in; a cookies.txt chosen in the dialog is
    // taken the same way, and 设置's 检测连接 asks with it; 退出登录 forgets it.
    const fs::path exported = scratch_ / "exported cookies.txt";
    std::ofstream(exported) << "# Netscape HTTP Cookie File\n"
                            << ".taobao.com\tTRUE\t/\tFALSE\t0\tcna\tfileVisitor\n"
                            << ".taobao.com\tTRUE\t/\tFALSE\t0\t_q_session\tfileSecret\n"
                            << ".example.com\tTRUE\t/\tFALSE\t0\tsid\tforeignSecret\n";
    fake_->clear_requests();
    fake_->require_session(true);
    auto again = start_host();
    const DriverRun out =
        drive({"sign-out", "sign-in-file", windows_path(exported), "seeds",
               windows_path(seeds_file({"连衣裙"})), "tick",
               std::string(harvest::info(KeywordSource::DidYouMean).check_box), "harvest", "60",
               "check-connection", "60", "parallel", "1", "sign-out", "close"});
    fake_->require_session(false);
    ASSERT_EQ(out.exit_code, 0) << out.text();
    const auto outs = out.all("sign-out");
    ASSERT_EQ(outs.size(), 2u) << out.text();
    EXPECT_EQ(outs[0].value("before", ""), "已登录");
    EXPECT_EQ(outs[0].value("state", ""), "未登录");
    EXPECT_EQ(out.one("sign-in-file").value("state", ""), "已登录");
    EXPECT_TRUE(out.one("sign-in-file").value("closed_by_ok", false));
    EXPECT_THAT(out.all("message").at(0).value("text", ""),
                ::testing::HasSubstr("taobao.com：2 个 Cookie"));
    EXPECT_EQ(out.one("parallel").value("before", ""), "4");
    ASSERT_FALSE(fake_->request_cookies().empty());
    for (const std::string& sent : fake_->request_cookies()) {
        EXPECT_THAT(sent, ::testing::HasSubstr("_q_session=fileSecret"));
        EXPECT_THAT(sent, ::testing::Not(::testing::HasSubstr("foreignSecret")));
    }
    const std::string lines = out.one("check-connection").value("lines", "");
    EXPECT_THAT(lines, ::testing::StartsWith("pc: answered, "));
    EXPECT_THAT(lines, ::testing::HasSubstr("\r\nrelated: answered, "));
    EXPECT_TRUE(out.one("check-connection").value("button_enabled", false));
    EXPECT_EQ(outs[1].value("state", ""), "未登录");
    EXPECT_FALSE(outs[1].value("sign_out_enabled", true));
    EXPECT_FALSE(fs::exists(desk->session_file()));
    EXPECT_THAT(out.text(), ::testing::Not(::testing::HasSubstr("Secret")));
    expect_closed(out, *again);
    // This case's two harvests, newest first: both made with 4 requests at once.
    auto journal = journal::Journal::open(desk->journal_file());
    ASSERT_TRUE(journal) << journal.error().message;
    const auto runs = journal->runs();
    ASSERT_TRUE(runs && runs->size() >= 2u);
    for (std::size_t i : {0u, 1u}) {
        EXPECT_EQ((*runs)[i].kinds, harvest::KindSet().add(KeywordSource::DidYouMean));
        EXPECT_EQ((*runs)[i].parallel, 4) << i;
    }
}

// --screenshot FILE SIGN_IN_FILE: the window after a small harvest, and its
// sign-in dialog, as PNGs.
int take_screenshot(const std::string& file, const std::string& sign_in_file) {
    FakeMarketplace fake;
    Background window(host_command(fake.port()), desk->folder() / "window.log");
    const fs::path seeds = desk->folder() / "seeds.txt";
    std::ofstream(seeds) << "连衣裙\n手机壳\n";
    const DriverRun driven =
        drive({"seeds", windows_path(seeds), "tick", all_kinds(), "harvest", "60", "screenshot",
               windows_path(fs::absolute(file)), "sign-in-picture",
               windows_path(fs::absolute(sign_in_file)), "close"});
    std::cout << driven.text();
    window.wait_for(10s);
    return driven.exit_code;
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    quorvel::WineDesk desk;
    quorvel::desk = &desk;
    int status = 1;
    try {
        desk.start();
        if (argc == 4 && std::string(argv[1]) == "--screenshot") {
            status = quorvel::take_screenshot(argv[2], argv[3]);
        } else {
            status = RUN_ALL_TESTS();
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }
    desk.stop();
    return status;
}
