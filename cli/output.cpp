#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
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
        if (!target.path) {
            // CSV to standard output: written to a temporary file by the
            // export itself, then copied, so the bytes are the export's own.
            const fs::path name = unused_temporary_name();
            auto written = exporting::export_to_file(
                platform::convert_code_page(platform::utf8_of(name), platform::code_page_utf8,
                                            platform::code_page_gbk),
                rows, {}, exporting::ExportFormat::csv);
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
        auto written = exporting::export_to_file(
            platform::convert_code_page(*target.path, platform::code_page_utf8,
                                        platform::code_page_gbk),
            rows, {},
            target.format == OutputFormat::csv ? exporting::ExportFormat::csv
                                               : exporting::ExportFormat::xlsx);
        if (!written) {
            return tl::unexpected("cannot write " + *target.path + ": " +
                                  utf8(written.error().reason));
        }
        return {};
    }
    const std::string bytes = lines_of(store, target, options);
    if (!target.path) {
        return write_standard_output(bytes);
    }
    return write_file(*target.path, bytes);
}

}  // namespace quorvel::cli
