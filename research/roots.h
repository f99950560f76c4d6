#pragma once
// The roots (词根) of a word table: the terms its words are cut into by the
// system's word breaker, each with the words holding it.

#include <cstdint>
#include <string>
#include <tl/expected.hpp>
#include <vector>

#include "research/word_table.h"

namespace quorvel::research {

struct RootEntry {
    std::string root;                   // UTF-8
    std::uint32_t words = 0;            // 词数: the table's words holding it
    std::int64_t results_total = 0;     // 结果数合计 over those words
    std::uint64_t times_total = 0;      // 次数合计 over those words
    std::vector<std::uint32_t> rows{};  // those words' rows of the table, ascending
};

// The roots' columns, in their order: 词根 词数 结果数合计 次数合计.
enum class RootColumn { root, words, results_total, times_total };
inline constexpr std::size_t root_column_count = 4;
std::string_view root_column_title(RootColumn column);
std::string root_cell_text(const RootEntry& entry, RootColumn column);

// Every root of the table, the most words first (ties: the larger 次数合计,
// then character order). Punctuation, white space and single ASCII letters
// are not roots. Without a word breaker on this system, the error says why
// (UTF-8, for the user).
tl::expected<std::vector<RootEntry>, std::string> build_roots(const WordTable& table);

}  // namespace quorvel::research
