// The export where POSIX systems decide: the reader of the workbooks
// (python3), the system's words for a folder in the way, file modes, a
// file-size limit and a stop seen through inotify.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stop_token>
#include <thread>

#include "export/export.h"
#include "export/zip_check.h"
#include "tests/export/export_test_support.h"
#include "tests/support/captured_log.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch.h"

namespace quorvel::exporting {
namespace {

namespace fs = std::filesystem;
using export_testing::awkward_store;
using export_testing::exported;
using export_testing::gb;
using export_testing::many_rows;
using harvest::HarvestStore;
using harvest::KeywordSource;
using testsupport::file_bytes;
using testsupport::FileSizeLimit;
using testsupport::ScratchFolder;

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
    const std::string pc = testsupport::utf8(harvest::info(KeywordSource::PcDropdown).export_label);
    const std::string mobile =
        testsupport::utf8(harvest::info(KeywordSource::MobileDropdown).export_label);
    const std::string related =
        testsupport::utf8(harvest::info(KeywordSource::DidYouMean).export_label);
    const std::string tail = testsupport::utf8(harvest::info(KeywordSource::LongTail).export_label);
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

TEST(ExportToFile, AFolderInTheWayIsSaidInTheSystemsWords) {
    ScratchFolder folder;
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
            EXPECT_EQ(testsupport::mode_of(path), 0666 & ~mask)
                << name << " under umask " << std::oct << mask;
        }
    }
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

// The log names the failed call and errno by name.
TEST(ExportToFile, TheLogNamesTheSystemCallAndTheErrno) {
    ScratchFolder folder;
    testsupport::CapturedLog log;
    const fs::path missing = folder / "missing" / "x.csv";
    ASSERT_FALSE(export_to_file(missing.string(), awkward_store()));
    EXPECT_THAT(log.text(), ::testing::HasSubstr(gb("文件夹不存在") + " (open: ENOENT (2))"));
}

}  // namespace
}  // namespace quorvel::exporting
