// The command line's pieces that decide what a run is asked for and how
// its words are written.

#include <gtest/gtest.h>

#include "cli/headless_window.h"
#include "cli/output.h"
#include "cli/seeds.h"
#include "data/encoding.h"
#include "harvest/harvest_run.h"

namespace quorvel::cli {
namespace {

std::vector<std::string> seeds_of(const std::string& seed_text) {
    std::vector<std::string> out;
    for (const std::string& seed : harvest::split_seeds(seed_text)) {
        out.push_back(data::utf8_from_gbk(seed));
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
    EXPECT_EQ(lines("手机😀\n"), (V{"手机😀"}));                // kept though code page 936 lacks it

    auto bad = seed_text_from_lines("ok\nfine\n\xC3\x28\n", "seeds.txt");
    ASSERT_FALSE(bad.has_value());
    EXPECT_EQ(bad.error(), "line 3 of seeds.txt is not valid UTF-8");
    EXPECT_FALSE(seed_text_from_lines(std::string("a\0b\n", 4), "f").has_value());

    EXPECT_EQ(seeds_of(*seed_text_from_arguments({"x", "", "y z"})), (V{"x", "", "y z"}));
    auto split = seed_text_from_arguments({"a", "b\nc"});
    ASSERT_FALSE(split.has_value());
    EXPECT_EQ(split.error(), "seed argument 2 holds a line break; give one seed per argument");
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

}  // namespace
}  // namespace quorvel::cli
