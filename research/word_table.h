#pragma once
// The word table of a harvest: one row per distinct word, with what the
// marketplace said of it and where it was found, filtered by terms and
// sorted by any column. Built from the store of a harvest, the one in the
// window or a run loaded from the journal.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/harvest_store.h"
#include "harvest/keyword_source.h"

namespace quorvel::research {

// The table's columns, in their order: 词 结果数 来源 种子数 次数 字数.
enum class Column { word, results, sources, seeds, times, length };
inline constexpr std::size_t column_count = 6;

struct WordEntry {
    std::string word;    // UTF-8, from the harvest's code-page text
    std::string folded;  // the word with ASCII letters in lower case, for the filters
    // The largest count the marketplace sent with the word as a suggestion;
    // none when no count came.
    std::optional<std::int64_t> results;
    harvest::KindSet sources;  // the kinds that found it
    std::uint32_t seeds = 0;   // the distinct seeds that led to it
    std::string first_seed;    // UTF-8: the first of them, in harvest order
    std::uint32_t times = 0;   // how many times it was found
    std::uint32_t length = 0;  // its characters (code points)
};

class WordTable {
  public:
    WordTable() = default;
    // One entry per distinct word (exact text), in the order words were
    // first found: kind by kind in box order, each in harvest order.
    static WordTable build(const harvest::HarvestStore& store);

    const std::vector<WordEntry>& words() const { return words_; }
    std::size_t size() const { return words_.size(); }

  private:
    std::vector<WordEntry> words_;
};

// Which rows are shown: every include term occurs in the word, no exclude
// term does, and, with `only`, the row is one of those.
struct WordFilter {
    std::vector<std::string> include;  // UTF-8, ASCII letters in lower case
    std::vector<std::string> exclude;
    std::optional<std::vector<std::uint32_t>> only;  // rows of the table, ascending

    // The terms as the user types them: separated by white space (an
    // ideographic space too), ASCII letters matched in either case.
    static WordFilter from_text(std::string_view include_utf8, std::string_view exclude_utf8);
    bool operator==(const WordFilter&) const = default;
};

struct SortOrder {
    Column column = Column::results;
    bool descending = true;
    bool operator==(const SortOrder&) const = default;
};

// The first order of a column when it is clicked: numbers and 来源 highest
// first, 词 in character order.
SortOrder first_order(Column column);

// The rows of `table` (indices into words()) that pass `filter`, in
// `order`; ties keep the order of words(). An empty 结果数 sorts below every
// number either way.
std::vector<std::uint32_t> shown_rows(const WordTable& table, const WordFilter& filter,
                                      SortOrder order);

// A cell as the table shows it (UTF-8): 结果数 empty without a count,
// 来源 as the kinds' names in box order ("PC下拉 无线下拉 长尾"), 种子数 as
// the number with the first seed ("3（连衣裙）").
std::string cell_text(const WordEntry& entry, Column column);
// The column's heading (UTF-8).
std::string_view column_title(Column column);
// The kinds' names in box order, separated by spaces (UTF-8).
std::string sources_text(harvest::KindSet sources);

// The words of `rows`, one per line, each line ended by "\n" (UTF-8).
std::string words_text(const WordTable& table, std::span<const std::uint32_t> rows);

}  // namespace quorvel::research
