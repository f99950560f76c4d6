// The command line's pieces that decide what a run is asked for and how
// its words are written.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "cli/headless_window.h"
#include "cli/output.h"
#include "cli/seeds.h"
#include "cli/system.h"
#include "harvest/harvest_run.h"
#include "platform/code_page.h"
#include "platform/utf8_path.h"
#include "tests/support/code_page_text.h"
#include "tests/support/scratch.h"

namespace quorvel::cli {
namespace {

using testsupport::gb;
using testsupport::utf8;

std::vector<std::string> seeds_of(const std::string& seed_text) {
    std::vector<std::string> out;
    for (const std::string& seed : harvest::split_seeds(seed_text)) {
        out.push_back(utf8(seed));
    }
    return out;
}

TEST(Seeds, OnePerLineAsTheWindowsBoxTakesThem) {
    using V = std::vector<std::string>;
    auto lines = [](std::string_view text) { return seeds_of(*seed_text_from_lines(text, "f")); };
    EXPECT_EQ(lines("a\nb"), (V{"a", "b"}));
    EXPECT_EQ(lines("a\r\nb\r\n"), (V{"a", "b"}));            // a final line break adds none
    EXPECT_EQ(lines("a\n\nb\n"), (V{"a", "", "b"}));          // empty lines are seeds
    EXPECT_EQ(lines("\n"), (V{""}));                          // one empty seed
    EXPECT_EQ(lines(""), V{});                                // none
    EXPECT_EQ(lines("\xEF\xBB\xBF连衣裙\n"), (V{"连衣裙"}));  // a byte-order mark is no seed
    EXPECT_EQ(lines(" a b \n"), (V{" a b "}));                // as typed, spaces included

    auto bad = seed_text_from_lines("ok\nfine\n\xC3\x28\n", "seeds.txt");
    ASSERT_FALSE(bad.has_value());
    EXPECT_EQ(bad.error(), "line 3 of seeds.txt is not valid UTF-8");
    EXPECT_FALSE(seed_text_from_lines(std::string("a\0b\n", 4), "f").has_value());

    EXPECT_EQ(seeds_of(*seed_text_from_arguments({"x", "", "y z"})), (V{"x", "", "y z"}));
    auto split = seed_text_from_arguments({"a", "b\nc"});
    ASSERT_FALSE(split.has_value());
    EXPECT_EQ(split.error(), "seed argument 2 holds a line break; give one seed per argument");
}

// Characters code page 936 lacks are kept where the code page is GB18030
// (always on Linux; on Windows where it has code page 54936, which Wine 8
// lacks: there they become "?" as the window's box would show them).
TEST(Seeds, CharactersOutsideCodePage936) {
    using V = std::vector<std::string>;
    const auto seeds = seeds_of(*seed_text_from_lines("手机😀\n", "f"));
    EXPECT_EQ(seeds, platform::gb18030_available() ? V{"手机😀"} : V{"手机??"});
}

TEST(Kinds, NamedAsOnTheCommandLine) {
    EXPECT_EQ(*parse_kinds("pc,arrow,mobile,longtail,related"), harvest::KindSet::all());
    EXPECT_EQ(*parse_kinds("related,pc"), harvest::KindSet()
                                              .add(harvest::KeywordSource::PcDropdown)
                                              .add(harvest::KeywordSource::DidYouMean));
    EXPECT_FALSE(parse_kinds("pc,,mobile").has_value());
    EXPECT_FALSE(parse_kinds("").has_value());
    EXPECT_FALSE(parse_kinds("PC").has_value());
}

TEST(Output, TheFormatFromTheNameOrTold) {
    EXPECT_EQ(choose_output("w.XLSX", std::nullopt)->format, OutputFormat::xlsx);
    EXPECT_EQ(choose_output("w.csv", std::nullopt)->format, OutputFormat::csv);
    EXPECT_EQ(choose_output("w.jsonl", std::nullopt)->format, OutputFormat::jsonl);
    EXPECT_EQ(choose_output("w.txt", std::nullopt)->format, OutputFormat::text);
    EXPECT_EQ(choose_output("w.csv", "jsonl")->format, OutputFormat::jsonl);
    EXPECT_EQ(choose_output(std::nullopt, std::nullopt)->format, OutputFormat::text);
    EXPECT_FALSE(choose_output(std::nullopt, std::nullopt)->path.has_value());
    EXPECT_FALSE(choose_output("-", std::nullopt)->path.has_value());
    EXPECT_FALSE(choose_output("w", std::nullopt).has_value());
    EXPECT_FALSE(choose_output("w.csv", "yaml").has_value());
    EXPECT_FALSE(choose_output("-", "xlsx").has_value());

    EXPECT_EQ(text_field("plain 文字"), "plain 文字");
    EXPECT_EQ(text_field("a\tb\r\nc\\d"), "a\\tb\\r\\nc\\\\d");
}

// Without boxes, the command line's window still counts lines as a box would.
TEST(HeadlessWindow, CountsLinesAsTheBoxesWould) {
    HeadlessWindow window(harvest::KindSet().add(harvest::KeywordSource::LongTail), "a\r\nb\r\n");
    const std::string_view box = harvest::info(harvest::KeywordSource::PcDropdown).result_box;
    for (const char* text : {"", "one\r\n", "two\r\nlines\r\n", "open", "mid\nline\r\n"}) {
        window.set_text(box, "");
        window.append_text(box, text);
        EXPECT_EQ(window.line_count(box), platform::count_text_lines(text)) << text;
    }
    window.set_text(box, "x\r\n");
    window.append_text(box, "y");
    window.append_text(box, "z\r\n");
    EXPECT_EQ(window.line_count(box), 2);
    window.set_text(box, "");
    EXPECT_EQ(window.line_count(box), 0);
    EXPECT_EQ(window.read_text(harvest::seed_box), "a\r\nb\r\n");
    EXPECT_TRUE(window.read_checked(harvest::info(harvest::KeywordSource::LongTail).check_box));
    EXPECT_FALSE(window.read_checked(harvest::info(harvest::KeywordSource::PcDropdown).check_box));
}

// Days since 1970-01-01 of a date in the Gregorian calendar.
long long days_from_civil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

// The local fields less the offset give the moment back, in winter and in summer.
TEST(System, LocalTimeAndItsOffsetAgree) {
    for (const std::time_t moment : {std::time_t{0}, std::time_t{1700000000},
                                     std::time_t{1719835200}, std::time_t{1735689599}}) {
        const LocalTime local = local_time(moment);
        const long long as_utc = days_from_civil(local.fields.tm_year + 1900,
                                                 static_cast<unsigned>(local.fields.tm_mon + 1),
                                                 static_cast<unsigned>(local.fields.tm_mday)) *
                                     86400 +
                                 local.fields.tm_hour * 3600 + local.fields.tm_min * 60 +
                                 local.fields.tm_sec;
        EXPECT_EQ(as_utc - local.utc_offset_seconds, moment) << moment;
        EXPECT_EQ(local.utc_offset_seconds % 60, 0) << moment;
        EXPECT_LE(std::abs(local.utc_offset_seconds), 14 * 3600) << moment;
    }
}

// Into a file the bytes go as given: UTF-8, and no CR added before LF.
TEST(System, TextIntoAFileIsTheBytesGiven) {
    testsupport::ScratchFolder folder;
    const std::filesystem::path path = folder / "out.txt";
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(is_terminal(file));
    EXPECT_EQ(terminal_columns(file), 100u);
    EXPECT_TRUE(write_text(file, "连衣裙\tdress\n"));
    EXPECT_TRUE(write_text(file, ""));
    EXPECT_TRUE(write_text(file, "\r\x1b[K"));
    std::fclose(file);
    EXPECT_EQ(testsupport::file_bytes(path), "连衣裙\tdress\n\r\x1b[K");
}

harvest::HarvestStore two_words() {
    harvest::HarvestStore store;
    store.add_seed_row({gb("连衣裙"), {1, 0, 0, 0, 0}});
    store.add_word(harvest::KeywordSource::PcDropdown, gb("连衣裙"), gb("长裙"));
    store.add_word(harvest::KeywordSource::LongTail, gb("连衣裙"), "a\tb");
    return store;
}

// Files named on the command line are UTF-8: a Chinese name is that name on
// disk, and the bytes are the same on every system.
TEST(Output, FilesUnderChineseNamesWithTheSameBytes) {
    testsupport::ScratchFolder scratch;
    const std::filesystem::path folder = scratch.path() / platform::path_from_utf8("导出");
    std::filesystem::create_directory(folder);
    const std::string text_path = platform::utf8_of(folder / platform::path_from_utf8("词.txt"));
    const std::string csv_path = platform::utf8_of(folder / platform::path_from_utf8("词.csv"));
    for (const std::string& path : {text_path, csv_path}) {
        auto target = choose_output(path, std::nullopt);
        ASSERT_TRUE(target) << target.error();
        ASSERT_TRUE(check_writable(*target)) << path;
        auto written = write_output(*target, two_words(), {.run_id = 7, .dedup = false});
        ASSERT_TRUE(written) << written.error();
    }
    EXPECT_EQ(testsupport::file_bytes(platform::path_from_utf8(text_path)),
              "pc\t连衣裙\t长裙\nlongtail\t连衣裙\ta\\tb\n");
    EXPECT_EQ(testsupport::file_bytes(platform::path_from_utf8(csv_path))
                  .rfind(gb("关键词,搜索结果,类别\r\n"), 0),
              0u);
    // The check before a run leaves nothing behind.
    EXPECT_EQ(testsupport::names_in(folder).size(), 2u);

    auto missing = choose_output(platform::utf8_of(folder / "none" / "w.txt"), std::nullopt);
    ASSERT_TRUE(missing);
    auto refused = check_writable(*missing);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("does not exist"), std::string::npos) << refused.error();
}

}  // namespace
}  // namespace quorvel::cli
