// The word table over a harvest: one row per word with where it was found,
// the filters and orders a seller uses, the roots and the controller both
// windows draw.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "harvest/harvest_store.h"
#include "platform/word_break.h"
#include "research/roots.h"
#include "research/word_table.h"
#include "shell/word_table_controller.h"
#include "tests/support/code_page_text.h"

namespace quorvel {
namespace {

using harvest::KeywordSource;
using research::Column;
using testsupport::gb;

harvest::HarvestStore sample() {
    harvest::HarvestStore store;
    store.add_seed_row({gb("连衣裙"), {}});
    store.add_seed_row({gb("手机壳"), {}});
    store.add_word(KeywordSource::PcDropdown, gb("手机壳"), gb("连衣裙女夏"), "120");
    store.add_word(KeywordSource::PcDropdown, gb("连衣裙"), gb("连衣裙女夏"), "3000");
    store.add_word(KeywordSource::PcDropdown, gb("连衣裙"), gb("iPhone 15 手机壳"), "800");
    store.add_word(KeywordSource::MobileDropdown, gb("连衣裙"), gb("连衣裙女夏"), "2500.0");
    store.add_word(KeywordSource::LongTail, gb("连衣裙"), gb("连衣裙女夏"), "");
    store.add_word(KeywordSource::DidYouMean, gb("手机壳"), gb("雪纺衫"), "");
    store.add_word(KeywordSource::ArrowWords, gb("手机壳"), gb("a"), "n/a");
    return store;
}

std::vector<std::string> words_of(const research::WordTable& table,
                                  const std::vector<std::uint32_t>& rows) {
    std::vector<std::string> words;
    for (std::uint32_t row : rows) {
        words.push_back(table.words()[row].word);
    }
    return words;
}

// The same word from several seeds and kinds is one row: its kinds in box
// order, its seeds counted once each with the earliest harvested first,
// every finding counted, the largest count kept; text that is no number is
// no count.
TEST(WordTable, GroupsEachWordWithWhereItWasFound) {
    const research::WordTable table = research::WordTable::build(sample());
    ASSERT_EQ(table.size(), 4u);
    const research::WordEntry& dress = table.words()[0];
    EXPECT_EQ(dress.word, "连衣裙女夏");
    EXPECT_EQ(dress.results, 3000);
    EXPECT_EQ(research::cell_text(dress, Column::sources), "PC下拉 无线下拉 长尾");
    EXPECT_EQ(research::cell_text(dress, Column::seeds), "2（连衣裙）");
    EXPECT_EQ(dress.times, 4u);
    EXPECT_EQ(dress.length, 5u);
    EXPECT_FALSE(table.words()[2].results.has_value());
    EXPECT_EQ(research::cell_text(table.words()[3], Column::results), "");
    EXPECT_EQ(table.words()[1].length, 13u);
}

// Terms are separated by spaces (ideographic ones too); every include term
// must occur and no exclude term may, ASCII letters in either case; a space
// inside a word is only a character of it. Orders: 结果数 highest first with
// the words without a count last, and a second click reverses.
TEST(WordTable, FiltersAndOrders) {
    const research::WordTable table = research::WordTable::build(sample());
    using research::WordFilter;
    const auto shown = [&](std::string_view include, std::string_view exclude,
                           research::SortOrder order = {}) {
        return words_of(
            table, research::shown_rows(table, WordFilter::from_text(include, exclude), order));
    };
    EXPECT_THAT(shown("", ""),
                ::testing::ElementsAre("连衣裙女夏", "iPhone 15 手机壳", "a", "雪纺衫"));
    EXPECT_THAT(shown("IPHONE　手机", ""), ::testing::ElementsAre("iPhone 15 手机壳"));
    EXPECT_THAT(shown("15 手机壳", ""), ::testing::ElementsAre("iPhone 15 手机壳"));
    EXPECT_THAT(shown("", "夏 phone"), ::testing::ElementsAre("a", "雪纺衫"));
    EXPECT_THAT(shown("", "", {Column::results, false}),
                ::testing::ElementsAre("iPhone 15 手机壳", "连衣裙女夏", "a", "雪纺衫"));
    EXPECT_THAT(shown("", "", research::first_order(Column::length)),
                ::testing::ElementsAre("iPhone 15 手机壳", "连衣裙女夏", "雪纺衫", "a"));
    EXPECT_THAT(shown("", "", research::first_order(Column::word)),
                ::testing::ElementsAre("a", "iPhone 15 手机壳", "连衣裙女夏", "雪纺衫"));
}

// The words are cut by ICU's dictionary (cuts checked by hand with ICU 72:
// 连|衣裙|女|夏, 夏季|连|衣裙, 连|衣裙|,| |b| |款, 手机|壳):
// each root counts the words holding it once, with their counts summed;
// punctuation, spaces and single ASCII letters are no roots. A click on a
// root narrows the table to its words, a second click widens it again.
TEST(WordTable, RootsAndTheControllerOverThem) {
    harvest::HarvestStore store;
    store.add_word(KeywordSource::PcDropdown, gb("s"), gb("连衣裙女夏"), "100");
    store.add_word(KeywordSource::PcDropdown, gb("s"), gb("夏季连衣裙"), "50");
    store.add_word(KeywordSource::PcDropdown, gb("s"), gb("连衣裙, b 款"), "7");
    store.add_word(KeywordSource::PcDropdown, gb("s"), gb("手机壳"), "");
    shell::WordTableController controller(
        std::make_shared<research::WordTable>(research::WordTable::build(store)));
    const auto& roots = controller.roots();
    // Windows before 10 1903 (and Wine) have no icu.dll: the roots say so.
    if (!platform::WordBreaker::open()) {
        ASSERT_FALSE(roots);
        EXPECT_THAT(roots.error(), ::testing::HasSubstr("icu.dll"));
        EXPECT_EQ(controller.count_line(), "显示 4 / 4 个词");
        return;
    }
    ASSERT_TRUE(roots) << roots.error();
    ASSERT_FALSE(roots->empty());
    const research::RootEntry& top = roots->front();
    EXPECT_EQ(top.root, "衣裙");  // before 连, which has as many words
    EXPECT_EQ(top.words, 3u);
    EXPECT_EQ(top.results_total, 157);
    for (const research::RootEntry& root : *roots) {
        EXPECT_THAT(root.root, ::testing::Not(::testing::AnyOf(",", " ", "b")));
    }
    ASSERT_EQ(roots->size(), 8u);  // 衣裙 连 夏 女 夏季 款 手机 壳
    EXPECT_EQ(controller.count_line(), "显示 4 / 4 个词");
    controller.filter_by_root(0);
    EXPECT_EQ(controller.count_line(), "显示 3 / 4 个词（词根“衣裙”）");
    controller.set_include("夏");
    EXPECT_EQ(controller.copied(std::vector<std::size_t>{0, 1}), "连衣裙女夏\n夏季连衣裙\n");
    controller.sort_by(Column::results);
    EXPECT_EQ(controller.cell(0, Column::word), "夏季连衣裙");
    controller.filter_by_root(0);
    controller.set_include("");
    EXPECT_EQ(controller.count_line(), "显示 4 / 4 个词");
}

}  // namespace
}  // namespace quorvel
