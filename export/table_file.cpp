#include "export/table_file.h"

#include <xlsxwriter.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/encoding.h"
#include "export/library_name.h"
#include "export/zip_check.h"
#include "platform/file_write.h"
#include "platform/log.h"
#include "platform/utf8_path.h"

namespace quorvel::exporting {
namespace {

using Kind = ExportError::Kind;
using Written = tl::expected<void, ExportError>;

// The common causes of a failure in the user's words (code-page text).
constexpr std::string_view folder_missing_text =
    "\xCE\xC4\xBC\xFE\xBC\xD0\xB2\xBB\xB4\xE6\xD4\xDA";  // 文件夹不存在
constexpr std::string_view no_permission_text =
    "\xC3\xBB\xD3\xD0\xD0\xB4\xC8\xEB\xC8\xA8\xCF\xDE";  // 没有写入权限
constexpr std::string_view disk_full_text =
    "\xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3";  // 磁盘空间不足

// Said when the workbook did not reach the disk whole (code-page text): 文件写入不完整.
constexpr std::string_view incomplete_text =
    "\xCE\xC4\xBC\xFE\xD0\xB4\xC8\xEB\xB2\xBB\xCD\xEA\xD5\xFB";

// Said when a run stopped the export (code-page text): 已停止.
constexpr std::string_view stopped_text = "\xD2\xD1\xCD\xA3\xD6\xB9";

// Said when another program holds the file open (code-page text):
// 文件正被其他程序使用，请关闭后再试.
constexpr std::string_view in_use_text =
    "\xCE\xC4\xBC\xFE\xD5\xFD\xB1\xBB\xC6\xE4\xCB\xFB\xB3\xCC\xD0\xF2\xCA\xB9\xD3\xC3"
    "\xA3\xAC\xC7\xEB\xB9\xD8\xB1\xD5\xBA\xF3\xD4\xD9\xCA\xD4";

// A file operation that failed; the common causes are said in the user's words,
// the others in the system's (UTF-8, so converted).
ExportError file_failure(const platform::FileWriteError& error) {
    using FileKind = platform::FileWriteError::Kind;
    ExportError failure;
    failure.detail = error.detail;
    switch (error.kind) {
        case FileKind::folder_missing:
            failure.kind = Kind::folder_missing;
            failure.reason = folder_missing_text;
            break;
        case FileKind::no_permission:
            failure.kind = Kind::no_permission;
            failure.reason = no_permission_text;
            break;
        case FileKind::disk_full:
            failure.kind = Kind::disk_full;
            failure.reason = disk_full_text;
            break;
        case FileKind::in_use:
            failure.kind = Kind::in_use;
            failure.reason = in_use_text;
            break;
        case FileKind::other:
            failure.kind = Kind::other;
            failure.reason = data::gbk_from_utf8(error.reason);
            break;
    }
    return failure;
}

// libxlsxwriter failed at `step`; it does not say which system error, if
// any, caused it, so the user hears the library's own text.
ExportError library_failure(std::string_view step, lxw_error error) {
    return {Kind::other, lxw_strerror(error),
            std::string(step) + ": lxw_error " + std::to_string(static_cast<int>(error))};
}

// How far an export got: the data rows put so far and whether it stopped
// because a stop was requested.
struct Progress {
    std::stop_token stop;
    std::size_t rows = 0;
    bool stopped = false;
};

ExportError stopped_error(const Progress& progress) {
    return {Kind::stopped, std::string(stopped_text),
            "stop requested after " + std::to_string(progress.rows) + " rows"};
}

// Gives `put` the data rows (or lines) of `for_each`, checking for a stop
// before each. False when `put` failed or the export stopped.
template <typename Item, typename Put>
bool put_counted(const std::function<bool(const std::function<bool(Item)>&)>& for_each,
                 Progress& progress, Put& put) {
    return for_each([&](Item item) {
        if (progress.stop.stop_requested()) {
            progress.stopped = true;
            return false;
        }
        if (!put(item)) {
            return false;
        }
        ++progress.rows;
        return true;
    });
}

// Writes to the file through a buffer, so that a row is not a system call.
class BufferedOutput {
  public:
    explicit BufferedOutput(platform::AtomicFile& file) : file_(file) { buffer_.reserve(capacity); }
    // False once a write has failed; error() then says why.
    bool append(std::string_view bytes) {
        buffer_ += bytes;
        return buffer_.size() < capacity || flush();
    }
    bool flush() {
        if (auto written = file_.write(buffer_); !written) {
            error_ = std::move(written.error());
            return false;
        }
        buffer_.clear();
        return true;
    }
    const platform::FileWriteError& error() const { return error_; }

  private:
    static constexpr std::size_t capacity = 64 * 1024;
    platform::AtomicFile& file_;
    std::string buffer_;
    platform::FileWriteError error_;
};

// Writes the lines to `file`: `first`, when there is one, then those of `for_each`.
Written write_text(platform::AtomicFile& file, std::string_view first,
                   const std::function<bool(const PutLine&)>& for_each, Progress& progress) {
    BufferedOutput out(file);
    auto put = [&](std::string_view line) { return out.append(line); };
    const bool all_put = out.append(first) && put_counted(for_each, progress, put);
    if (progress.stopped) {
        return tl::unexpected(stopped_error(progress));
    }
    if (!all_put || !out.flush()) {
        return tl::unexpected(file_failure(out.error()));
    }
    return {};
}

std::vector<Cell> header_cells(const Table& table) {
    std::vector<Cell> cells;
    for (std::string_view title : table.header) {
        cells.push_back({title, std::nullopt});
    }
    return cells;
}

// A row as a CSV line in code-page text, its end included.
void put_csv_line(std::span<const Cell> cells, TableText text, std::string& line) {
    line.clear();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        if (cells[i].number) {
            line += std::to_string(*cells[i].number);
        } else if (text == TableText::utf8) {
            line += csv_field(data::gbk_from_utf8(cells[i].text));
        } else {
            line += csv_field(cells[i].text);
        }
    }
    line += "\r\n";
}

Written write_csv(platform::AtomicFile& file, const Table& table, Progress& progress) {
    std::string first;
    put_csv_line(header_cells(table), table.text, first);
    std::string line;
    return write_text(
        file, first,
        [&](const PutLine& put) {
            return table.for_each_row([&](std::span<const Cell> cells) {
                put_csv_line(cells, table.text, line);
                return put(line);
            });
        },
        progress);
}

// Whether OOXML cell text holds `c` only as an _xHHHH_ escape: the control
// characters, which XML cannot hold, except tab and line feed.
bool written_as_escape(unsigned char c) {
    return c < 0x20 && c != '\t' && c != '\n';
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether the "_" at `text[at]` would be read as the start of an _xHHHH_
// escape once written: "_x", four hex digits, then "_" or a character that is
// itself written as an escape (and so starts with "_").
bool starts_escape(std::string_view text, std::size_t at) {
    if (text.size() - at < 7 || text[at + 1] != 'x') {
        return false;
    }
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        if (!is_hex_digit(text[i])) {
            return false;
        }
    }
    return text[at + 6] == '_' || written_as_escape(static_cast<unsigned char>(text[at + 6]));
}

// UTF-8 cell text as it goes into the sheet. Readers turn _xHHHH_ in cell text
// into the character U+HHHH, so every "_" that would start such a sequence is
// written as _x005F_ (an escaped "_"), and control characters are escaped here
// as libxlsxwriter would, so that its escapes cannot complete a sequence
// either. Bytes of multi-byte characters never match.
void write_cell_text(std::string_view text, std::string& out) {
    static constexpr char hex[] = "0123456789ABCDEF";
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '_' && starts_escape(text, i)) {
            out += "_x005F_";
        } else if (written_as_escape(c)) {
            out += "_x00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
            out += '_';
        } else {
            out += static_cast<char>(c);
        }
    }
}

// Writes the workbook to `file`. libxlsxwriter opens its output by name with
// fopen(..., "wb"), that is O_CREAT | O_TRUNC without O_EXCL; as `file` already
// exists (created exclusively by AtomicFile::create, shared for writing on
// Windows), it truncates that file and keeps its mode. Its own temporary files go to `tmpdir` (the
// target's folder, which has room for the result), created there with O_EXCL, mode 0600, and
// unlinked at once. libxlsxwriter 1.1.4 does not check its writes to those
// files or to the output: a workbook cut short (disk full, file size limit)
// still closes without error, so the finished file is checked to end in a
// whole zip directory.
Written write_xlsx(const std::filesystem::path& file, const Table& table, Progress& progress) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    // libxlsxwriter opens files with fopen(), so it gets the names fopen() reaches them by.
    const std::optional<std::string> name = library_file_name(file);
    std::optional<std::string> tmpdir = library_file_name(folder);
    if (!name || !tmpdir) {
        return tl::unexpected(ExportError{
            Kind::other, lxw_strerror(LXW_ERROR_CREATING_XLSX_FILE),
            "library_file_name: no name the C library can open for " + platform::utf8_of(file)});
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
    options.use_zip64 = LXW_TRUE;
    options.tmpdir = tmpdir->data();
    lxw_workbook* workbook = workbook_new_opt(name->c_str(), &options);
    if (workbook == nullptr) {
        return tl::unexpected(library_failure("workbook_new_opt", LXW_ERROR_MEMORY_MALLOC_FAILED));
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_error status = sheet != nullptr ? LXW_NO_ERROR : LXW_ERROR_CREATING_TMPFILE;
    std::string_view failed_step = "worksheet_write_string";
    // Text cells are strings, in UTF-8: nothing is ever a formula.
    lxw_row_t row = 0;
    std::string cell;
    auto put = [&](std::span<const Cell> cells) {
        for (std::size_t i = 0; i < cells.size() && status == LXW_NO_ERROR; ++i) {
            const auto col = static_cast<lxw_col_t>(i);
            const Cell& at = cells[i];
            if (at.number) {
                failed_step = "worksheet_write_number";
                status = worksheet_write_number(sheet, row, col, static_cast<double>(*at.number),
                                                nullptr);
                continue;
            }
            write_cell_text(table.text == TableText::code_page ? data::utf8_from_gbk(at.text)
                                                               : std::string(at.text),
                            cell);
            if (!cell.empty()) {
                failed_step = "worksheet_write_string";
                status = worksheet_write_string(sheet, row, col, cell.c_str(), nullptr);
            }
        }
        ++row;
        return status == LXW_NO_ERROR;
    };
    if (status == LXW_NO_ERROR) {
        if (put(header_cells(table))) {
            put_counted(table.for_each_row, progress, put);
        }
    }
    // Closing also frees the workbook, so it is closed whatever happened.
    const lxw_error closed = workbook_close(workbook);
    if (progress.stopped) {
        return tl::unexpected(stopped_error(progress));
    }
    if (status != LXW_NO_ERROR) {
        return tl::unexpected(library_failure(failed_step, status));
    }
    if (closed != LXW_NO_ERROR) {
        return tl::unexpected(library_failure("workbook_close", closed));
    }
    if (!zip_is_whole(file)) {
        return tl::unexpected(ExportError{Kind::other, std::string(incomplete_text),
                                          "workbook_close: the zip directory is missing or cut"});
    }
    return {};
}

// Writes a temporary file beside `path` with `write` and renames it into place.
template <typename Write>
Written write_file(const std::string& path, Progress& progress, Write&& write) {
    // The path is code-page text; file names are UTF-8 (Linux) or UTF-16 (Windows).
    const std::filesystem::path target = platform::path_from_utf8(data::utf8_from_gbk(path));
    auto partial = platform::AtomicFile::create(target);
    if (!partial) {
        return tl::unexpected(file_failure(partial.error()));
    }
    Written written = write(*partial);
    // A stop that came while the file was finished still leaves the target as it was.
    if (written && progress.stop.stop_requested()) {
        progress.stopped = true;
        written = tl::unexpected(stopped_error(progress));
    }
    // The data reaches the disk before the name does; for the workbook this
    // also covers what libxlsxwriter wrote through its own handle.
    if (written) {
        if (auto committed = partial->commit(); !committed) {
            written = tl::unexpected(file_failure(committed.error()));
        }
    }
    return written;  // an uncommitted file is removed as `partial` goes
}

std::string_view kind_name(Kind kind) {
    switch (kind) {
        case Kind::folder_missing:
            return "folder missing";
        case Kind::no_permission:
            return "no permission";
        case Kind::disk_full:
            return "disk full";
        case Kind::stopped:
            return "stopped";
        case Kind::too_many_rows:
            return "too many rows";
        case Kind::in_use:
            return "in use";
        case Kind::other:
            break;
    }
    return "other";
}

// One log line for the export of `rows` rows to `path`: what was written, or why not.
void log_export(const std::string& path, std::size_t rows, const Progress& progress,
                std::chrono::steady_clock::time_point start, const Written& written) {
    if (written) {
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        platform::log_info("export: wrote " + std::to_string(rows) + " rows to " + path + " in " +
                           std::to_string(took.count()) + " ms");
    } else if (written.error().kind == Kind::stopped) {
        platform::log_info("export stopped after " + std::to_string(progress.rows) + " of " +
                           std::to_string(rows) + " rows: " + path);
    } else {
        const ExportError& failure = written.error();
        platform::log_warning("export failed: " + path + ": " +
                              std::string(kind_name(failure.kind)) + ": " + failure.reason + " (" +
                              failure.detail + ")");
    }
}

}  // namespace

std::string csv_field(std::string_view text) {
    std::string field;
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@')) {
        field = "'";
    }
    field += text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

tl::expected<void, ExportError> write_table(const std::string& path, const Table& table,
                                            std::stop_token stop, ExportFormat format) {
    const auto start = std::chrono::steady_clock::now();
    Progress progress{std::move(stop)};
    const bool csv = format == ExportFormat::csv ||
                     (format == ExportFormat::by_name && path.find(".csv") != std::string::npos);
    Written written;
    // A sheet holds LXW_ROW_MAX rows, the header row included: refuse rather than drop any.
    if (!csv && table.rows > LXW_ROW_MAX - 1) {
        written = tl::unexpected(ExportError{Kind::too_many_rows,
                                             lxw_strerror(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE),
                                             std::to_string(table.rows) + " rows, a sheet holds " +
                                                 std::to_string(LXW_ROW_MAX - 1)});
    } else {
        written = write_file(path, progress, [&](platform::AtomicFile& file) {
            return csv ? write_csv(file, table, progress)
                       : write_xlsx(file.temporary(), table, progress);
        });
    }
    log_export(path, table.rows, progress, start, written);
    return written;
}

tl::expected<void, ExportError> write_lines(
    const std::string& path, std::size_t lines,
    const std::function<bool(const PutLine& put)>& for_each_line, std::stop_token stop) {
    const auto start = std::chrono::steady_clock::now();
    Progress progress{std::move(stop)};
    const Written written = write_file(path, progress, [&](platform::AtomicFile& file) {
        return write_text(file, {}, for_each_line, progress);
    });
    log_export(path, lines, progress, start, written);
    return written;
}

}  // namespace quorvel::exporting
