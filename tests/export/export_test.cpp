#include "export/export.h"
#include "export/zip_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stop_token>
#include <thread>

#include "data/encoding.h"
#include "tests/support/captured_log.h"
#include "tests/support/recording_window.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch.h"

namespace quorvel::exporting {
namespace {

namespace fs = std::filesystem;
using harvest::HarvestStore;
using harvest::KeywordSource;
using testsupport::file_bytes;
using testsupport::FileSizeLimit;
using testsupport::ScratchFolder;

std::string gb(const std::string& utf8) {
    return data::gbk_from_utf8(utf8);
}

// Exports `store` to `path`; a failure fails the assertion with what the export said.
::testing::AssertionResult exported(const fs::path& path, const HarvestStore& store) {
    const auto written = export_to_file(path.string(), store);
    if (written) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "export failed: " << data::utf8_from_gbk(written.error().reason) << " ("
           << written.error().detail << ")";
}

// A harvest with the awkward cases: a seed inside another seed, an empty
// seed, a seed typed twice, words holding "|" and formula starts.
HarvestStore awkward_store() {
    HarvestStore store;
    store.add_seed_row({gb("裙"), {1, 0, 0, 0, 0}});
    store.add_seed_row({gb("连衣裙"), {2, 0, 0, 0, 1}});
    store.add_seed_row({"", {3, 0, 0, 0, 1}});
    store.add_seed_row({gb("裙"), {4, 0, 0, 0, 1}});
    store.add_word(KeywordSource::PcDropdown, gb("裙"), gb("半身裙"));
    store.add_word(KeywordSource::PcDropdown, gb("连衣裙"), gb("长裙"));
    store.add_word(KeywordSource::DidYouMean, gb("连衣裙"), "=1+2");
    store.add_word(KeywordSource::PcDropdown, "", "a|b");
    store.add_word(KeywordSource::DidYouMean, "", "say \"x\", y");
    store.add_word(KeywordSource::PcDropdown, gb("裙"), "-5");
    // A seed whose run ended before its summary row.
    store.add_word(KeywordSource::LongTail, "late", "@cmd");
    return store;
}

TEST(TextAfterLast, CutsAfterTheLastSeparatorOnCharacterBoundaries) {
    EXPECT_EQ(text_after_last("a|b|c", "|"), "c");
    EXPECT_EQ(text_after_last("a|", "|"), "");
    EXPECT_EQ(text_after_last("abc", "|"), "");
    EXPECT_EQ(text_after_last("a::b", "::"), "b");
    // The second byte of "\x81\x7C" is the byte of "|" but not a separator.
    EXPECT_EQ(text_after_last("x|\x81\x7Cy", "|"), "\x81\x7Cy");
}

TEST(CsvField, QuotesAndDisarmsFormulas) {
    EXPECT_EQ(csv_field("plain"), "plain");
    EXPECT_EQ(csv_field(""), "");
    EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
    EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csv_field("a\r\nb"), "\"a\r\nb\"");
    EXPECT_EQ(csv_field("=1+2"), "'=1+2");
    EXPECT_EQ(csv_field("+1"), "'+1");
    EXPECT_EQ(csv_field("-5"), "'-5");
    EXPECT_EQ(csv_field("@cmd"), "'@cmd");
    EXPECT_EQ(csv_field("=a,b"), "\"'=a,b\"");
    EXPECT_EQ(csv_field("a=b"), "a=b");
}

TEST(ExportToFile, CsvByteForByte) {
    ScratchFolder folder;
    const fs::path path = folder / "out.csv";
    ASSERT_TRUE(exported(path, awkward_store()));
    const std::string pc(harvest::info(KeywordSource::PcDropdown).export_label);
    const std::string related(harvest::info(KeywordSource::DidYouMean).export_label);
    const std::string tail(harvest::info(KeywordSource::LongTail).export_label);
    const std::string expected = gb("关键词,搜索结果,类别\r\n") + gb("裙,半身裙,") + pc + "\r\n" +
                                 gb("裙,'-5,") + pc + "\r\n" + gb("连衣裙,长裙,") + pc + "\r\n" +
                                 gb("连衣裙,'=1+2,") + related + "\r\n" + ",a|b," + pc + "\r\n" +
                                 ",\"say \"\"x\"\", y\"," + related + "\r\n" + "late,'@cmd," +
                                 tail + "\r\n";
    EXPECT_EQ(file_bytes(path), expected);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.csv"});

    // An empty harvest gives the header row alone; the name decides the format.
    const fs::path both = folder / "a.csv.xlsx";
    ASSERT_TRUE(exported(both, HarvestStore()));
    EXPECT_EQ(file_bytes(both), gb("关键词,搜索结果,类别\r\n"));
    const fs::path upper = folder / "A.CSV";
    ASSERT_TRUE(exported(upper, HarvestStore()));
    EXPECT_EQ(file_bytes(upper).substr(0, 2), "PK");

    // A format given outright wins over the name.
    const fs::path named_xlsx = folder / "told.xlsx";
    ASSERT_TRUE(export_to_file(named_xlsx.string(), HarvestStore(), {}, ExportFormat::csv));
    EXPECT_EQ(file_bytes(named_xlsx), gb("关键词,搜索结果,类别\r\n"));
    const fs::path named_csv = folder / "told.csv";
    ASSERT_TRUE(export_to_file(named_csv.string(), HarvestStore(), {}, ExportFormat::xlsx));
    EXPECT_EQ(file_bytes(named_csv).substr(0, 2), "PK");

    // A seed holding "," is still its own seed, quoted as one field.
    HarvestStore commas;
    commas.add_seed_row({"a,b", {1, 0, 0, 0, 0}});
    commas.add_word(KeywordSource::PcDropdown, "a,b", "w");
    const fs::path comma_path = folder / "commas.csv";
    ASSERT_TRUE(exported(comma_path, commas));
    EXPECT_EQ(file_bytes(comma_path), gb("关键词,搜索结果,类别\r\n") + "\"a,b\",w," + pc + "\r\n");
}

// Reads a workbook back with an independent reader.
nlohmann::json read_back(const fs::path& path) {
    const std::string command = "/usr/bin/python3 " + std::string(QUORVEL_SOURCE_DIR) +
                                "/tests/export/read_xlsx.py '" + path.string() + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    std::size_t n = 0;
    while (pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    EXPECT_EQ(status, 0) << output;
    return nlohmann::json::parse(output, nullptr, false);
}

TEST(ExportToFile, XlsxReadBackCellByCell) {
    ScratchFolder folder;
    HarvestStore store = awkward_store();
    const std::string long_word(30000, 'x');
    store.add_word(KeywordSource::MobileDropdown, gb("裙"), long_word);
    store.add_word(KeywordSource::MobileDropdown, gb("裙"), gb("全角　空格 与😀"));
    const fs::path path = folder / gb("结果").append(".xlsx");
    ASSERT_TRUE(exported(path, store));
    // The file name reaches the file system as UTF-8.
    const fs::path on_disk = folder / "结果.xlsx";
    ASSERT_TRUE(fs::exists(on_disk));

    const nlohmann::json sheet = read_back(on_disk);
    ASSERT_TRUE(sheet.is_object());
    EXPECT_EQ(sheet["sheets"], 1);
    // The rows of awkward_store() in export order, the two mobile words after
    // the PC words of their seed.
    const std::string pc =
        data::utf8_from_gbk(harvest::info(KeywordSource::PcDropdown).export_label);
    const std::string mobile =
        data::utf8_from_gbk(harvest::info(KeywordSource::MobileDropdown).export_label);
    const std::string related =
        data::utf8_from_gbk(harvest::info(KeywordSource::DidYouMean).export_label);
    const std::string tail =
        data::utf8_from_gbk(harvest::info(KeywordSource::LongTail).export_label);
    const std::vector<std::vector<std::string>> expected = {
        {"关键词", "搜索结果", "类别"},
        {"裙", "半身裙", pc},
        {"裙", "-5", pc},
        {"裙", long_word, mobile},
        {"裙", "全角　空格 与😀", mobile},
        {"连衣裙", "长裙", pc},
        {"连衣裙", "=1+2", related},
        {"", "a|b", pc},
        {"", "say \"x\", y", related},
        {"late", "@cmd", tail},
    };
    const auto& rows = sheet["rows"];
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        for (std::size_t c = 0; c < 3; ++c) {
            const auto& cell = rows[r][c];
            if (expected[r][c].empty()) {
                EXPECT_TRUE(cell[0].is_null()) << r << "," << c;
                continue;
            }
            EXPECT_EQ(cell[0], expected[r][c]) << r << "," << c;
            EXPECT_EQ(cell[1], "s") << r << "," << c;  // text, never a formula
            EXPECT_EQ(cell[3], expected[r][c]) << r << "," << c;
        }
    }
}

// Readers take _xHHHH_ in cell text for the character U+HHHH: text that only
// looks like such an escape must be shown as it was.
TEST(ExportToFile, XlsxTextLikeAnEscapeIsShownAsItWas) {
    ScratchFolder folder;
    const std::string seed = "_x0030_";
    // Each word and its text as stored in the sheet.
    const std::vector<std::pair<std::string, std::string>> words = {
        {"_x0041_", "_x005F_x0041_"},
        // Several in one cell, lower- and upper-case hex digits.
        {"a_x004a_b_X_x004A_c_xABCD_d_xabcd_",
         "a_x005F_x004a_b_X_x005F_x004A_c_x005F_xABCD_d_x005F_xabcd_"},
        // Two sharing an underscore: a reader would take the second one after
        // reading the first "_x005F_".
        {"_x0041_x0042_", "_x005F_x0041_x005F_x0042_"},
        // Completed by a control character, which is itself stored as _xHHHH_.
        {"_x0041\x01", "_x005F_x0041_x0001_"},
        {"a\rb\x1F", "a_x000D_b_x001F_"},
        // Near misses stay as they are.
        {"_x004_ _x00G1_ x0041_ _X0041_ _x0041 _x0041x",
         "_x004_ _x00G1_ x0041_ _X0041_ _x0041 _x0041x"},
    };
    HarvestStore store;
    store.add_seed_row({seed, {}});
    for (const auto& [word, stored] : words) {
        store.add_word(KeywordSource::PcDropdown, seed, word);
    }
    const fs::path path = folder / "escapes.xlsx";
    ASSERT_TRUE(exported(path, store));

    const nlohmann::json sheet = read_back(path);
    ASSERT_TRUE(sheet.is_object());
    const auto& rows = sheet["rows"];
    ASSERT_EQ(rows.size(), words.size() + 1);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto& row = rows[i + 1];
        EXPECT_EQ(row[0][3], seed) << i;
        EXPECT_EQ(row[0][2], "_x005F_x0030_") << i;
        EXPECT_EQ(row[1][3], words[i].first) << i;
        EXPECT_EQ(row[1][2], words[i].second) << i;
    }
}

TEST(ExportToFile, FailuresLeaveNothingHalfWrittenAndSayWhy) {
    ScratchFolder folder;
    const auto missing =
        export_to_file((folder / "no-such-folder" / "out.xlsx").string(), awkward_store());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ExportError::Kind::folder_missing);
    EXPECT_EQ(missing.error().reason, gb("文件夹不存在"));

    // The target cannot be replaced (it is a folder): the system says why, the
    // folder stays, and no partial file remains.
    fs::create_directory(folder / "taken.csv");
    fs::create_directory(folder / "taken.xlsx");
    for (const char* name : {"taken.csv", "taken.xlsx"}) {
        const auto taken = export_to_file((folder / name).string(), awkward_store());
        ASSERT_FALSE(taken) << name;
        EXPECT_EQ(taken.error().kind, ExportError::Kind::other) << name;
        EXPECT_EQ(taken.error().reason, "Is a directory") << name;
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"taken.csv", "taken.xlsx"}));

    // An existing file is replaced whole on success.
    const fs::path existing = folder / "old.csv";
    std::ofstream(existing) << std::string(10000, 'z');
    ASSERT_TRUE(exported(existing, HarvestStore()));
    EXPECT_EQ(file_bytes(existing), gb("关键词,搜索结果,类别\r\n"));
}

// Sets the process umask while it lives.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : previous_(umask(mask)) {}
    ~ScopedUmask() { umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

  private:
    mode_t previous_;
};

// New files, and files replaced, get the mode every new file gets: 0666 less the umask.
TEST(ExportToFile, TheFileModeFollowsTheUmask) {
    ScratchFolder folder;
    for (const mode_t mask : {022, 077, 002}) {
        ScopedUmask scoped(mask);
        for (const char* name : {"out.csv", "out.xlsx"}) {
            const fs::path path = folder / name;
            ASSERT_TRUE(exported(path, awkward_store()));
            struct stat info {};
            ASSERT_EQ(stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask)
                << name << " under umask " << std::oct << mask;
        }
    }
}

// A harvest of `rows` words over ten seeds.
HarvestStore many_rows(int rows) {
    HarvestStore store;
    for (int i = 0; i < rows; ++i) {
        store.add_word(harvest::all_sources[static_cast<std::size_t>(i % 5)],
                       "seed" + std::to_string(i % 10), "word" + std::to_string(i));
    }
    return store;
}

// libxlsxwriter does not report failed writes (a workbook cut short by the
// limit still closes without error), so this covers the CSV writer.
TEST(ExportToFile, AFailedWriteLeavesTheOldFileAndSaysWhy) {
    ScratchFolder folder;
    const fs::path path = folder / "old.csv";
    std::ofstream(path) << "old";
    tl::expected<void, ExportError> written;
    {
        FileSizeLimit limit(16 * 1024);
        written = export_to_file(path.string(), many_rows(20000));
    }
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ExportError::Kind::other);
    EXPECT_EQ(written.error().reason, "File too large");
    EXPECT_EQ(file_bytes(path), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"old.csv"});
}

// libxlsxwriter reports no failed write, so a finished workbook is checked to
// reach its zip directory: a file cut anywhere fails the check.
TEST(ZipIsWhole, AWorkbookCutShortIsNotWhole) {
    ScratchFolder folder;
    const fs::path path = folder / "whole.xlsx";
    ASSERT_TRUE(exported(path, many_rows(2000)));
    EXPECT_TRUE(zip_is_whole(path.string()));
    const std::string bytes = file_bytes(path);
    const fs::path cut = folder / "cut.xlsx";
    for (std::size_t keep : {bytes.size() - 1, bytes.size() - 22, bytes.size() - 23,
                             bytes.size() / 2, std::size_t{100}, std::size_t{0}}) {
        std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, keep);
        EXPECT_FALSE(zip_is_whole(cut.string())) << keep;
    }
    // Something after the directory's end record that its comment does not cover.
    std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes << "junk";
    EXPECT_FALSE(zip_is_whole(cut.string()));
    EXPECT_FALSE(zip_is_whole((folder / "missing.xlsx").string()));
}

TEST(ExportToFile, MoreRowsThanASheetHoldsAreRefusedNotDropped) {
    ScratchFolder folder;
    // An XLSX sheet holds 1,048,576 rows: one data row more than fit under the header row.
    constexpr int sheet_rows = 1048576;
    const HarvestStore store = many_rows(sheet_rows);
    const auto refused = export_to_file((folder / "big.xlsx").string(), store);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, ExportError::Kind::too_many_rows);
    EXPECT_TRUE(folder.names().empty());
    // A CSV file has no such limit.
    ASSERT_TRUE(exported(folder / "big.csv", store));
    const std::string csv = file_bytes(folder / "big.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), sheet_rows + 1);
}

// Requests a stop from a second thread as soon as the folder sees one of
// `events` (inotify) on a file whose name holds `name_part`.
class StopOnFolderEvent {
  public:
    StopOnFolderEvent(const fs::path& folder, std::uint32_t events, std::string name_part)
        : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        EXPECT_GE(inotify_add_watch(fd_, folder.c_str(), events), 0);
        thread_ = std::jthread([this, name_part = std::move(name_part)](std::stop_token quit) {
            watch(quit, name_part);
        });
    }
    ~StopOnFolderEvent() {
        thread_.request_stop();
        thread_.join();
        close(fd_);
    }
    StopOnFolderEvent(const StopOnFolderEvent&) = delete;
    StopOnFolderEvent& operator=(const StopOnFolderEvent&) = delete;

    std::stop_token token() const { return source_.get_token(); }

  private:
    void watch(const std::stop_token& quit, const std::string& name_part) {
        alignas(inotify_event) char buffer[4096];
        while (!quit.stop_requested()) {
            pollfd ready{fd_, POLLIN, 0};
            if (poll(&ready, 1, 10) <= 0) {
                continue;
            }
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 &&
                    std::string_view(event->name).find(name_part) != std::string_view::npos) {
                    source_.request_stop();
                    return;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int fd_;
    std::stop_source source_;
    std::jthread thread_;
};

// The number N in the log's "export stopped after N of TOTAL rows: PATH", or -1.
long rows_before_stop(const testsupport::CapturedLog& log, const fs::path& path) {
    const std::string tail = " rows: " + path.string();
    for (const auto& line : log.lines()) {
        long rows = 0;
        if (line.level == platform::LogLevel::info &&
            std::sscanf(line.message.c_str(), "export stopped after %ld of", &rows) == 1 &&
            line.message.ends_with(tail)) {
            return rows;
        }
    }
    return -1;
}

// Wherever the stop comes, the target stays as it was and nothing else is left.
TEST(ExportToFile, AStopLeavesTheTargetAsItWas) {
    ScratchFolder folder;
    constexpr int total = 400000;
    const HarvestStore store = many_rows(total);
    const fs::path csv = folder / "old.csv";
    const fs::path xlsx = folder / "old.xlsx";
    std::ofstream(csv) << "old";
    std::ofstream(xlsx) << "old";
    testsupport::CapturedLog log;
    auto expect_stopped = [](const tl::expected<void, ExportError>& written) {
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().kind, ExportError::Kind::stopped);
    };

    // Requested before the export: not one row, and with no rows at all the
    // finished file still does not take the target's name.
    std::stop_source before;
    before.request_stop();
    for (const fs::path& path : {csv, xlsx}) {
        expect_stopped(export_to_file(path.string(), store, before.get_token()));
        EXPECT_EQ(rows_before_stop(log, path), 0) << path;
        log.clear();
        expect_stopped(export_to_file(path.string(), HarvestStore(), before.get_token()));
        log.clear();
    }

    // Requested from a second thread partway: for the CSV once the first block
    // of rows reached the temporary file; for the workbook once libxlsxwriter
    // made its temporary file for the rows.
    {
        StopOnFolderEvent stop(folder.path(), IN_MODIFY, ".partial-");
        expect_stopped(export_to_file(csv.string(), store, stop.token()));
    }
    const long csv_rows = rows_before_stop(log, csv);
    EXPECT_GT(csv_rows, 0) << log.text();
    EXPECT_LT(csv_rows, total) << log.text();
    {
        StopOnFolderEvent stop(folder.path(), IN_CREATE, "tmp.");
        expect_stopped(export_to_file(xlsx.string(), store, stop.token()));
    }
    const long xlsx_rows = rows_before_stop(log, xlsx);
    EXPECT_GE(xlsx_rows, 0) << log.text();
    EXPECT_LT(xlsx_rows, total) << log.text();

    EXPECT_EQ(file_bytes(csv), "old");
    EXPECT_EQ(file_bytes(xlsx), "old");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"old.csv", "old.xlsx"}));
}

// One line per export, never one per row: what was written, or why not.
TEST(ExportToFile, LogsEachExportOnce) {
    using ::testing::ContainsRegex;
    using ::testing::HasSubstr;
    ScratchFolder folder;
    testsupport::CapturedLog log;
    const fs::path path = folder / "logged.xlsx";
    ASSERT_TRUE(exported(path, many_rows(3000)));
    std::vector<testsupport::CapturedLog::Line> lines = log.lines();
    ASSERT_EQ(lines.size(), 1u) << log.text();
    EXPECT_EQ(lines[0].level, platform::LogLevel::info);
    EXPECT_THAT(lines[0].message, HasSubstr(" 3000 rows to " + path.string() + " in "));
    EXPECT_THAT(lines[0].message, ContainsRegex(" [0-9]+ ms$"));

    log.clear();
    const fs::path missing = folder / "missing" / "x.csv";
    ASSERT_FALSE(export_to_file(missing.string(), awkward_store()));
    lines = log.lines();
    ASSERT_EQ(lines.size(), 1u) << log.text();
    EXPECT_EQ(lines[0].level, platform::LogLevel::warning);
    EXPECT_THAT(
        lines[0].message,
        HasSubstr(missing.string() + ": folder missing: " + gb("文件夹不存在") + " (open: ENOENT"));
}

TEST(ExportResults, TheDialogDecides) {
    ScratchFolder folder;
    testsupport::RecordingWindow window;
    const HarvestStore store = awkward_store();

    // Cancelled: nothing written, nothing said.
    window.next_save_path = std::nullopt;
    export_results(window, store, std::stop_token{});
    EXPECT_TRUE(folder.names().empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.events, std::vector<std::string>{"save dialog " + std::string(dialog_name)});

    // Chosen: written, silently.
    window.next_save_path = (folder / "chosen.csv").string();
    export_results(window, store, std::stop_token{});
    EXPECT_EQ(folder.names(), std::vector<std::string>{"chosen.csv"});
    EXPECT_TRUE(window.messages.empty());

    // Stopped by the run: nothing written, nothing said.
    std::stop_source stopped;
    stopped.request_stop();
    window.next_save_path = (folder / "stopped.csv").string();
    export_results(window, store, stopped.get_token());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"chosen.csv"});
    EXPECT_TRUE(window.messages.empty());

    // A failure is shown with the path and the reason.
    window.next_save_path = (folder / "missing" / "x.csv").string();
    export_results(window, store, std::stop_token{});
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text.rfind(
                  std::string(save_failed_message) + *window.next_save_path + "\r\n", 0),
              0u);
    EXPECT_EQ(window.messages[0].caption, platform::default_message_caption);
}

// Exporting a kept run as one chosen format: the dialog offers that file
// type only, and the file is written in it whatever its name says.
TEST(ExportResults, AChosenFormatIsOfferedAndWritten) {
    ScratchFolder folder;
    testsupport::RecordingWindow window;
    const HarvestStore store = awkward_store();

    window.next_save_path = (folder / "as-csv.xlsx").string();
    export_results(window, store, std::stop_token{}, ExportFormat::csv);
    EXPECT_EQ(window.save_filter, gb("Excel文档(*.CSV)|*.csv"));
    EXPECT_EQ(window.save_extension, "csv");
    EXPECT_EQ(file_bytes(folder / "as-csv.xlsx").rfind(gb("关键词,搜索结果,类别"), 0), 0u);

    window.next_save_path = (folder / "as-xlsx.csv").string();
    export_results(window, store, std::stop_token{}, ExportFormat::xlsx);
    EXPECT_EQ(window.save_filter, gb("Excel文档(*.xlsx)|*.xlsx"));
    EXPECT_EQ(window.save_extension, "xlsx");
    EXPECT_EQ(file_bytes(folder / "as-xlsx.csv").rfind("PK", 0), 0u);

    export_results(window, store, std::stop_token{});
    EXPECT_EQ(window.save_filter, dialog_filter);
    EXPECT_EQ(window.save_extension, default_extension);
    EXPECT_TRUE(window.messages.empty());
}

}  // namespace
}  // namespace quorvel::exporting
