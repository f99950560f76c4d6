// The export on every system: CSV bytes, the zip check, the row limit, the
// log and the export button.

#include "export/export.h"
#include "export/zip_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stop_token>

#include "tests/export/export_test_support.h"
#include "tests/support/captured_log.h"
#include "tests/support/recording_window.h"
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
using testsupport::ScratchFolder;

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

TEST(ExportToFile, FailuresLeaveNothingHalfWrittenAndSayWhy) {
    ScratchFolder folder;
    const auto missing =
        export_to_file((folder / "no-such-folder" / "out.xlsx").string(), awkward_store());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ExportError::Kind::folder_missing);
    EXPECT_EQ(missing.error().reason, gb("文件夹不存在"));

    // An existing file is replaced whole on success.
    const fs::path existing = folder / "old.csv";
    std::ofstream(existing) << std::string(10000, 'z');
    ASSERT_TRUE(exported(existing, HarvestStore()));
    EXPECT_EQ(file_bytes(existing), gb("关键词,搜索结果,类别\r\n"));
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

// One line per export, never one per row: what was written, or why not.
TEST(ExportToFile, LogsEachExportOnce) {
    using ::testing::HasSubstr;
    ScratchFolder folder;
    testsupport::CapturedLog log;
    const fs::path path = folder / "logged.xlsx";
    ASSERT_TRUE(exported(path, many_rows(3000)));
    std::vector<testsupport::CapturedLog::Line> lines = log.lines();
    ASSERT_EQ(lines.size(), 1u) << log.text();
    EXPECT_EQ(lines[0].level, platform::LogLevel::info);
    EXPECT_THAT(lines[0].message, HasSubstr(" 3000 rows to " + path.string() + " in "));
    // The time it took: " in N ms" at the end (matched without regular
    // expressions, which gtest keeps simple on Windows).
    const std::string& message = lines[0].message;
    const std::size_t in = message.rfind(" in ");
    ASSERT_NE(in, std::string::npos) << message;
    ASSERT_GE(message.size(), in + 8) << message;
    EXPECT_EQ(message.substr(message.size() - 3), " ms") << message;
    const std::string took = message.substr(in + 4, message.size() - 3 - (in + 4));
    EXPECT_EQ(took.find_first_not_of("0123456789"), std::string::npos) << message;

    log.clear();
    const fs::path missing = folder / "missing" / "x.csv";
    ASSERT_FALSE(export_to_file(missing.string(), awkward_store()));
    lines = log.lines();
    ASSERT_EQ(lines.size(), 1u) << log.text();
    EXPECT_EQ(lines[0].level, platform::LogLevel::warning);
    // The step and the system's code follow, in the system's own terms.
    EXPECT_THAT(lines[0].message,
                HasSubstr(missing.string() + ": folder missing: " + gb("文件夹不存在") + " ("));
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
