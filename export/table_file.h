#pragma once
// Tables written to a file the way the harvest's export writes them: an XLSX
// workbook (one sheet, cells as text or numbers) or a CSV file (code-page
// text, CR LF line ends, no byte-order mark), or plain lines. A file appears
// complete or not at all, and each one written is logged.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

namespace quorvel::exporting {

// What went wrong with an export.
struct ExportError {
    enum class Kind {
        folder_missing,  // the target's folder does not exist
        no_permission,   // the folder or the file may not be written
        disk_full,       // no space or quota left
        in_use,          // another program holds the file open (Windows)
        stopped,         // the run was asked to stop
        too_many_rows,   // more rows than an XLSX sheet holds
        other,
    };
    Kind kind = Kind::other;
    // For the user (code-page text): 文件夹不存在, 没有写入权限, 磁盘空间不足 or
    // 文件正被其他程序使用，请关闭后再试 for the common causes, otherwise the
    // system's or the library's own text.
    std::string reason;
    // For the log: the step that failed and the system's or the library's error code.
    std::string detail;
};

// A CSV field as spreadsheet applications write it, and with a leading "'"
// where it would otherwise start a formula.
std::string csv_field(std::string_view text);

// Which file an export writes.
enum class ExportFormat {
    by_name,  // CSV when the path holds ".csv" (exact case), an XLSX workbook otherwise
    xlsx,
    csv,
};

// A cell: text, or a whole number (a number cell in a workbook). An empty
// text without a number is an empty cell.
struct Cell {
    std::string_view text;
    std::optional<std::int64_t> number;
};

// How a table's texts are encoded: the harvest's code-page text, or UTF-8.
// Either way a workbook holds UTF-8 and a CSV file code-page text.
enum class TableText { code_page, utf8 };

// Takes one data row's cells (as many as the header has); false once the
// writing failed, after which no more rows should come.
using PutRow = std::function<bool(std::span<const Cell>)>;

struct Table {
    std::span<const std::string_view> header;
    std::size_t rows = 0;  // how many data rows for_each_row gives
    TableText text = TableText::code_page;
    // Gives the data rows in order to `put`, stopping when it returns false;
    // returns false when it stopped early.
    std::function<bool(const PutRow& put)> for_each_row;
};

// Writes the header row, then the data rows, to `path` (code-page text) in
// `format`. `stop` is checked between rows and before the file takes the
// target's name: once it is requested, the export removes what it wrote,
// leaves the target as it was and fails with Kind::stopped.
tl::expected<void, ExportError> write_table(const std::string& path, const Table& table,
                                            std::stop_token stop = {},
                                            ExportFormat format = ExportFormat::by_name);

// Takes one line's bytes, its end included; false once the writing failed.
using PutLine = std::function<bool(std::string_view)>;

// Writes `lines` lines, as `for_each_line` gives them to `put` (returning
// false when it stopped early), to `path` (code-page text) as they are,
// complete or not at all, with `stop` as write_table takes it.
tl::expected<void, ExportError> write_lines(
    const std::string& path, std::size_t lines,
    const std::function<bool(const PutLine& put)>& for_each_line, std::stop_token stop = {});

}  // namespace quorvel::exporting
