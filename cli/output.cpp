#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <unordered_set>

#include "cli/system.h"
#include "export/export.h"
#include "export/export_order.h"
#include "platform/code_page.h"
#include "platform/file_write.h"
#include "platform/utf8_path.h"
#include "research/word_export.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

std::string utf8(std::string_view code_page_text) {
    return platform::convert_code_page(code_page_text, platform::code_page_gbk,
                                       platform::code_page_utf8);
}

std::string lower_ascii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::optional<OutputFormat> format_named(std::string_view name) {
    if (name == "xlsx") {
        return OutputFormat::xlsx;
    }
    if (name == "csv") {
        return OutputFormat::csv;
    }
    if (name == "jsonl") {
        return OutputFormat::jsonl;
    }
    if (name == "text") {
        return OutputFormat::text;
    }
    return std::nullopt;
}

std::optional<OutputFormat> format_of_extension(const std::string& path) {
    const std::string extension =
        lower_ascii(platform::utf8_of(platform::path_from_utf8(path).extension()));
    if (extension == ".txt") {
        return OutputFormat::text;
    }
    return extension.size() > 1 ? format_named(extension.substr(1)) : std::nullopt;
}

fs::path folder_of(const std::string& path) {
    const fs::path parent = platform::path_from_utf8(path).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// Why a file could not be written, in the system's words, and plainly when
// another program holds it open.
std::string reason_of(const platform::FileWriteError& error) {
    if (error.kind == platform::FileWriteError::Kind::in_use) {
        return "it is in use by another program; close it there and try again";
    }
    return error.reason;
}

// The rows to write: every word, or with dedup only each word's first occurrence.
template <typename Visit>
void for_each_row(const harvest::HarvestStore& store, bool dedup, Visit&& visit) {
    std::unordered_set<std::string_view> seen;
    exporting::for_each_export_row(store, [&](std::string_view seed, const harvest::WordRow& row,
                                              harvest::KeywordSource source) {
        if (!dedup || seen.insert(row.word).second) {
            visit(seed, row, source);
        }
        return true;
    });
}

// The same rows as a store, for the spreadsheet writers.
harvest::HarvestStore deduplicated(const harvest::HarvestStore& store) {
    harvest::HarvestStore kept;
    for (const harvest::SeedRow& row : store.seed_rows()) {
        kept.add_seed_row(row);
    }
    // Kept rows go back per source in their export order, which within a
    // source is their recording order, so the export walks them the same way.
    for_each_row(store, true,
                 [&](std::string_view, const harvest::WordRow& row, harvest::KeywordSource source) {
                     kept.add_word(source, row.seed, row.word, row.count);
                 });
    return kept;
}

std::string lines_of(const harvest::HarvestStore& store, const OutputTarget& target,
                     const OutputOptions& options) {
    std::string out;
    for_each_row(
        store, options.dedup,
        [&](std::string_view seed, const harvest::WordRow& row, harvest::KeywordSource source) {
            const std::string_view kind = harvest::info(source).short_name;
            if (target.format == OutputFormat::text) {
                out += kind;
                out += '\t';
                out += text_field(utf8(seed));
                out += '\t';
                out += text_field(utf8(row.word));
                if (options.with_counts) {
                    out += '\t';
                    if (const auto count = exporting::count_number(row.count)) {
                        out += std::to_string(*count);
                    }
                }
                out += '\n';
                return;
            }
            nlohmann::ordered_json line;
            line["run"] = options.run_id ? nlohmann::ordered_json(*options.run_id)
                                         : nlohmann::ordered_json(nullptr);
            line["seed"] = utf8(seed);
            line["kind"] = kind;
            line["word"] = utf8(row.word);
            if (!row.count.empty()) {
                line["count"] = utf8(row.count);
            }
            out += line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
            out += '\n';
        });
    return out;
}

tl::expected<void, std::string> write_file(const std::string& path, std::string_view bytes) {
    auto file = platform::AtomicFile::create(platform::path_from_utf8(path));
    if (!file) {
        return tl::unexpected("cannot write " + path + ": " + reason_of(file.error()));
    }
    platform::FileWritten written = file->write(bytes);
    if (written) {
        written = file->commit();
    }
    if (!written) {
        return tl::unexpected("cannot write " + path + ": " + reason_of(written.error()));
    }
    return {};
}

// Standard output as a stream; the bytes reach it unchanged.
tl::expected<void, std::string> write_standard_output(std::string_view bytes) {
    if (!write_text(stdout, bytes)) {
        return tl::unexpected(std::string("cannot write to standard output: ") +
                              std::strerror(errno));
    }
    return {};
}

// A name in the system's folder for temporary files that no file has.
fs::path unused_temporary_name() {
    std::random_device entropy;
    std::error_code ignored;
    const fs::path folder = fs::temp_directory_path(ignored);
    for (;;) {
        const fs::path name =
            folder / ("quorvel-cli-" + std::to_string(entropy()) + std::to_string(entropy()));
        if (!fs::exists(name, ignored)) {
            return name;
        }
    }
}

// Writes the file `write` makes at a path it takes in code-page text: the
// target's, or for standard output a temporary file whose bytes are then
// copied there, so that they are the writer's own.
tl::expected<void, std::string> write_exported(
    const OutputTarget& target,
    const std::function<tl::expected<void, exporting::ExportError>(const std::string&)>& write) {
    if (!target.path) {
        const fs::path name = unused_temporary_name();
        auto written = write(platform::convert_code_page(
            platform::utf8_of(name), platform::code_page_utf8, platform::code_page_gbk));
        std::string bytes;
        if (written) {
            std::ifstream in(name, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        std::error_code ignored;
        fs::remove(name, ignored);
        if (!written) {
            return tl::unexpected("cannot write the table: " + utf8(written.error().reason));
        }
        return write_standard_output(bytes);
    }
    auto written = write(platform::convert_code_page(*target.path, platform::code_page_utf8,
                                                     platform::code_page_gbk));
    if (!written) {
        return tl::unexpected("cannot write " + *target.path + ": " + utf8(written.error().reason));
    }
    return {};
}

// Text to standard output or to the target's file.
tl::expected<void, std::string> write_text_output(const OutputTarget& target,
                                                  std::string_view bytes) {
    if (!target.path) {
        return write_standard_output(bytes);
    }
    return write_file(*target.path, bytes);
}

research::TableFormat table_format(OutputFormat format) {
    switch (format) {
        case OutputFormat::csv:
            return research::TableFormat::csv;
        case OutputFormat::jsonl:
            return research::TableFormat::jsonl;
        case OutputFormat::xlsx:
        case OutputFormat::text:
            break;
    }
    return research::TableFormat::xlsx;
}

}  // namespace

std::string text_field(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

tl::expected<OutputTarget, std::string> choose_output(const std::optional<std::string>& output,
                                                      const std::optional<std::string>& format) {
    OutputTarget target;
    if (output && *output != "-") {
        target.path = *output;
    }
    if (format) {
        const auto named = format_named(*format);
        if (!named) {
            return tl::unexpected("unknown format \"" + *format +
                                  "\" (formats: xlsx, csv, jsonl, text)");
        }
        target.format = *named;
    } else if (target.path) {
        const auto implied = format_of_extension(*target.path);
        if (!implied) {
            return tl::unexpected("cannot tell the format of " + *target.path +
                                  " from its name; give -f xlsx, csv, jsonl or text");
        }
        target.format = *implied;
    }
    if (!target.path && target.format == OutputFormat::xlsx) {
        return tl::unexpected(std::string("xlsx output needs a file: -o FILE"));
    }
    return target;
}

tl::expected<void, std::string> check_writable(const OutputTarget& target) {
    if (!target.path) {
        return {};
    }
    const std::string& path = *target.path;
    const fs::path folder = folder_of(path);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return tl::unexpected("cannot write " + path + ": the folder " + platform::utf8_of(folder) +
                              " does not exist");
    }
    if (fs::is_directory(platform::path_from_utf8(path), error)) {
        return tl::unexpected("cannot write " + path + ": it is a folder");
    }
    // A file made there and removed again; named after the target, so that
    // its name fits wherever the target's does.
    auto probe = platform::AtomicFile::create(platform::path_from_utf8(path));
    if (!probe) {
        return tl::unexpected("cannot write " + path + ": " + reason_of(probe.error()));
    }
    return {};
}

tl::expected<void, std::string> write_output(const OutputTarget& target,
                                             const harvest::HarvestStore& store,
                                             const OutputOptions& options) {
    if (target.format == OutputFormat::xlsx || target.format == OutputFormat::csv) {
        const harvest::HarvestStore rows = options.dedup ? deduplicated(store) : store;
        return write_exported(target, [&](const std::string& path) {
            return exporting::export_to_file(
                path, rows, {},
                target.format == OutputFormat::csv ? exporting::ExportFormat::csv
                                                   : exporting::ExportFormat::xlsx,
                options.with_counts ? exporting::ExportColumns::with_counts
                                    : exporting::ExportColumns::three);
        });
    }
    return write_text_output(target, lines_of(store, target, options));
}

tl::expected<void, std::string> write_words(const OutputTarget& target,
                                            const research::WordTable& table,
                                            std::span<const std::uint32_t> rows) {
    if (target.format == OutputFormat::text) {
        std::string text;
        for (research::Column column :
             {research::Column::word, research::Column::results, research::Column::sources,
              research::Column::seeds, research::Column::times, research::Column::length}) {
            text += research::column_title(column);
            text += '\t';
        }
        text += research::first_seed_title;
        text += '\n';
        for (std::uint32_t row : rows) {
            const research::WordEntry& entry = table.words()[row];
            text += text_field(entry.word) + '\t' +
                    (entry.results ? std::to_string(*entry.results) : std::string()) + '\t' +
                    research::sources_text(entry.sources) + '\t' + std::to_string(entry.seeds) +
                    '\t' + std::to_string(entry.times) + '\t' + std::to_string(entry.length) +
                    '\t' + text_field(entry.first_seed) + '\n';
        }
        return write_text_output(target, text);
    }
    return write_exported(target, [&](const std::string& path) {
        return research::export_words(path, table, rows, table_format(target.format));
    });
}

tl::expected<void, std::string> write_roots(const OutputTarget& target,
                                            const std::vector<research::RootEntry>& roots) {
    if (target.format == OutputFormat::text) {
        std::string text;
        for (research::RootColumn column :
             {research::RootColumn::root, research::RootColumn::words,
              research::RootColumn::results_total, research::RootColumn::times_total}) {
            text += research::root_column_title(column);
            text += column == research::RootColumn::times_total ? '\n' : '\t';
        }
        for (const research::RootEntry& root : roots) {
            text += text_field(root.root) + '\t' + std::to_string(root.words) + '\t' +
                    std::to_string(root.results_total) + '\t' + std::to_string(root.times_total) +
                    '\n';
        }
        return write_text_output(target, text);
    }
    return write_exported(target, [&](const std::string& path) {
        return research::export_roots(path, roots, table_format(target.format));
    });
}

}  // namespace quorvel::cli
