#pragma once
// Writes the harvest as a three-column table (seed, word found, kind) to an
// XLSX workbook or, for a path holding ".csv", a CSV file, as table_file.h
// writes tables.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

#include "export/table_file.h"
#include "harvest/harvest_store.h"
#include "platform/window_operations.h"

namespace quorvel::exporting {

// Fixed texts in code-page text: the dialog title "保存文件", its filter
// "Excel文档(*.xlsx)|*.xlsx|Excel文档(*.CSV)|*.csv", the header row
// "关键词" "搜索结果" "类别", and the start of the failure message "文件无法保存：".
inline constexpr std::string_view dialog_name = "通用对话框1";
inline constexpr std::string_view dialog_title = "\xB1\xA3\xB4\xE6\xCE\xC4\xBC\xFE";
inline constexpr std::string_view dialog_filter =
    "Excel\xCE\xC4\xB5\xB5(*.xlsx)|*.xlsx|Excel\xCE\xC4\xB5\xB5(*.CSV)|*.csv";
inline constexpr std::string_view default_extension = "xlsx";
inline constexpr std::string_view header_seed = "\xB9\xD8\xBC\xFC\xB4\xCA";
inline constexpr std::string_view header_word = "\xCB\xD1\xCB\xF7\xBD\xE1\xB9\xFB";
inline constexpr std::string_view header_kind = "\xC0\xE0\xB1\xF0";
inline constexpr std::string_view header_results = "\xBD\xE1\xB9\xFB\xCA\xFD";  // 结果数
inline constexpr std::string_view save_failed_message =
    "\xCE\xC4\xBC\xFE\xCE\xDE\xB7\xA8\xB1\xA3\xB4\xE6\xA3\xBA";

// The part of `text` after the last `separator` (never matching inside a
// double-byte character); empty when it does not occur.
std::string text_after_last(std::string_view text, std::string_view separator);

// The 结果数 of a row: its count text as a whole number (leading and
// trailing blanks and a fraction of zeros such as "1234.0" allowed); none
// for other text.
std::optional<std::int64_t> count_number(std::string_view count_text);

// Which columns the export writes: the three, or a fourth, 结果数, with
// each row's count_number (an empty cell without one).
enum class ExportColumns { three, with_counts };

// Writes the table to `path` in `format` with `columns`. After the header row
// come the data rows in the order of export_order.h. The file appears complete or not at all.
// `stop` is checked between rows and before the file takes the target's name:
// once it is requested, the export removes what it wrote, leaves the target as
// it was and fails with Kind::stopped. Each export is logged.
tl::expected<void, ExportError> export_to_file(const std::string& path,
                                               const harvest::HarvestStore& store,
                                               std::stop_token stop = {},
                                               ExportFormat format = ExportFormat::by_name,
                                               ExportColumns columns = ExportColumns::three);

// The export button: asks for a file name with the save dialog and writes the
// table there; a cancelled dialog exports nothing. A failure is shown in a
// message box; success and a stop through `stop` are silent. With a format
// other than by_name the dialog offers only that format's file type.
void export_results(platform::WindowOperations& window, const harvest::HarvestStore& store,
                    std::stop_token stop, ExportFormat format = ExportFormat::by_name);

}  // namespace quorvel::exporting
