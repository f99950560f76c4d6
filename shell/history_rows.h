#pragma once
// The history window's rows as text, whatever list shows them: one row per
// kept run, its cells in UTF-8.

#include <array>
#include <string>
#include <string_view>

#include "harvest/keyword_source.h"
#include "journal/journal.h"

namespace quorvel::shell {

enum HistoryColumn : int {
    started_column,
    state_column,
    seeds_column,
    first_kind_column,  // the five kinds follow in source order
    preview_column = first_kind_column + static_cast<int>(harvest::all_sources.size()),
    history_column_count,
};

inline constexpr std::array<std::string_view, history_column_count> history_column_titles = {
    "开始时间", "状态",   "关键词",       "PC下拉",      "箭头词",
    "无线下拉", "长尾词", "你是不是想找", "前几个关键词"};
inline constexpr std::array<int, history_column_count> history_column_widths = {120, 60, 76, 64, 64,
                                                                                64,  64, 90, 200};

using HistoryRow = std::array<std::string, history_column_count>;

// "进行中", "已完成", "已停止" or "已中断".
std::string_view state_text(journal::RunState state);
// The first three seeds of a seed text (code-page text) joined with "、",
// and "…" when there are more, in UTF-8. Only the first four lines are read.
std::string seed_preview(std::string_view seed_text);
// A run's cells: its start, state, seeds done of all, the words of each
// kind ("-" for a kind it did not harvest) and its first seeds.
HistoryRow history_row(const journal::RunInfo& run);
// Whether a run can be continued: it ended before its last seed.
bool can_continue(journal::RunState state);

}  // namespace quorvel::shell
