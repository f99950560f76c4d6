// The export where Windows differs: a workbook open in another program,
// read-only files, replacing a file, and names outside the ANSI code page
// (which libxlsxwriter's fopen() reads names in).

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stop_token>

#include "export/export.h"
#include "export/zip_check.h"
#include "platform/utf8_path.h"
#include "tests/export/export_test_support.h"
#include "tests/support/held_open.h"
#include "tests/support/recording_window.h"
#include "tests/support/scratch.h"

namespace quorvel::exporting {
namespace {

namespace fs = std::filesystem;
using export_testing::awkward_store;
using export_testing::gb;
using harvest::HarvestStore;
using testsupport::file_bytes;
using testsupport::HeldOpen;
using testsupport::ScratchFolder;

// The export's path argument (code-page text) for a file in `folder`.
std::string code_page_path(const fs::path& folder, const std::string& utf8_name) {
    return gb(platform::utf8_of(folder / platform::path_from_utf8(utf8_name)));
}

TEST(ExportWindows, AWorkbookOpenElsewhereIsSaidPlainlyAndStaysAsItWas) {
    ScratchFolder folder;
    for (const char* name : {"open.xlsx", "open.csv"}) {
        const fs::path target = folder / name;
        std::ofstream(target, std::ios::binary) << "in use";
        HeldOpen excel(target);
        ASSERT_TRUE(excel.is_open());
        const auto written = export_to_file(target.string(), awkward_store());
        ASSERT_FALSE(written) << name;
        EXPECT_EQ(written.error().kind, ExportError::Kind::in_use)
            << name << ": " << written.error().detail;
        EXPECT_EQ(written.error().reason, gb("文件正被其他程序使用，请关闭后再试")) << name;
        EXPECT_EQ(file_bytes(target), "in use") << name;
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"open.csv", "open.xlsx"}));

    // The export button shows it under the file's name.
    HeldOpen excel(folder / "open.xlsx");
    testsupport::RecordingWindow window;
    window.next_save_path = (folder / "open.xlsx").string();
    export_results(window, awkward_store(), std::stop_token{});
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, std::string(save_failed_message) + *window.next_save_path +
                                           "\r\n" + gb("文件正被其他程序使用，请关闭后再试"));
}

TEST(ExportWindows, AReadOnlyFileIsAMatterOfPermission) {
    ScratchFolder folder;
    const fs::path target = folder / "kept.csv";
    std::ofstream(target, std::ios::binary) << "kept";
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto written = export_to_file(target.string(), awkward_store());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, ExportError::Kind::no_permission) << written.error().detail;
    EXPECT_EQ(written.error().reason, gb("没有写入权限"));
    EXPECT_EQ(file_bytes(target), "kept");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kept.csv"});
}

TEST(ExportWindows, AnExistingFileIsReplacedWhole) {
    ScratchFolder folder;
    for (const char* name : {"old.xlsx", "old.csv"}) {
        const fs::path target = folder / name;
        std::ofstream(target, std::ios::binary) << std::string(200000, 'z');
        ASSERT_TRUE(export_to_file(target.string(), awkward_store())) << name;
    }
    EXPECT_TRUE(zip_is_whole(folder / "old.xlsx"));
    EXPECT_EQ(file_bytes(folder / "old.csv").rfind(gb("关键词,搜索结果,类别\r\n"), 0), 0u);
    EXPECT_LT(file_bytes(folder / "old.csv").size(), 200000u);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"old.csv", "old.xlsx"}));
}

// Chinese names in a folder of Chinese name: the files get their UTF-16
// names, whatever the ANSI code page.
TEST(ExportWindows, ChineseNamesWhateverTheAnsiCodePage) {
    ScratchFolder scratch;
    const fs::path folder = scratch.path() / platform::path_from_utf8("结果");
    fs::create_directory(folder);
    const HarvestStore store = awkward_store();
    for (const char* name : {"连衣裙.xlsx", "连衣裙.csv"}) {
        const auto written = export_to_file(code_page_path(folder, name), store);
        ASSERT_TRUE(written) << testsupport::utf8(written.error().reason) << " ("
                             << written.error().detail << ")";
    }
    EXPECT_TRUE(zip_is_whole(folder / platform::path_from_utf8("连衣裙.xlsx")));
    EXPECT_EQ(file_bytes(folder / platform::path_from_utf8("连衣裙.csv"))
                  .rfind(gb("关键词,搜索结果,类别\r\n"), 0),
              0u);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(platform::utf8_of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"连衣裙.csv", "连衣裙.xlsx"}));
}

}  // namespace
}  // namespace quorvel::exporting
