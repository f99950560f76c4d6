#pragma once
// The word table and its roots written to a file: XLSX or CSV as the
// harvest's export writes them (complete or not at all), or JSON lines.

#include <span>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "export/export.h"
#include "research/roots.h"
#include "research/word_table.h"

namespace quorvel::research {

enum class TableFormat { xlsx, csv, jsonl };

// The heading of the column after the table's own: the first seed, which
// the table shows inside 种子数 (UTF-8).
inline constexpr std::string_view first_seed_title = "首个种子";

// The format a file name asks for: ".csv" CSV, ".jsonl" JSON lines, any
// other an XLSX workbook (the extension in either case).
TableFormat table_format_for(std::string_view path);

// The rows of `table` in their order, with a header row: 词 结果数 来源
// 种子数 次数 字数 首个种子. Numbers go in as numbers (an empty 结果数 as an
// empty cell). `path` as export_to_file takes it.
tl::expected<void, exporting::ExportError> export_words(const std::string& path,
                                                        const WordTable& table,
                                                        std::span<const std::uint32_t> rows,
                                                        TableFormat format);

// The roots in their order: 词根 词数 结果数合计 次数合计.
tl::expected<void, exporting::ExportError> export_roots(const std::string& path,
                                                        const std::vector<RootEntry>& roots,
                                                        TableFormat format);

}  // namespace quorvel::research
