#include "research/word_export.h"

#include <array>
#include <nlohmann/json.hpp>

#include "export/table_file.h"

namespace quorvel::research {
namespace {

using exporting::Cell;
using exporting::ExportError;
using exporting::PutLine;
using exporting::PutRow;
using Written = tl::expected<void, ExportError>;

std::optional<std::int64_t> whole(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

// One JSON object per line, as nlohmann writes it compactly (invalid
// UTF-8, which the table never holds, replaced rather than thrown on).
std::string json_line(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

template <typename Line>
Written write_json_lines(const std::string& path, std::size_t count, Line&& line) {
    return exporting::write_lines(path, count, [&](const PutLine& put) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!put(json_line(line(i)))) {
                return false;
            }
        }
        return true;
    });
}

exporting::ExportFormat export_format(TableFormat format) {
    return format == TableFormat::csv ? exporting::ExportFormat::csv
                                      : exporting::ExportFormat::xlsx;
}

}  // namespace

TableFormat table_format_for(std::string_view path) {
    const auto dot = path.find_last_of('.');
    std::string extension(dot == std::string_view::npos ? std::string_view() : path.substr(dot));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (extension == ".csv") {
        return TableFormat::csv;
    }
    return extension == ".jsonl" ? TableFormat::jsonl : TableFormat::xlsx;
}

tl::expected<void, exporting::ExportError> export_words(const std::string& path,
                                                        const WordTable& table,
                                                        std::span<const std::uint32_t> rows,
                                                        TableFormat format) {
    const std::vector<WordEntry>& words = table.words();
    if (format == TableFormat::jsonl) {
        return write_json_lines(path, rows.size(), [&](std::size_t i) {
            const WordEntry& entry = words[rows[i]];
            nlohmann::ordered_json sources = nlohmann::ordered_json::array();
            for (harvest::KeywordSource source : harvest::all_sources) {
                if (entry.sources.has(source)) {
                    sources.push_back(harvest::info(source).short_name);
                }
            }
            nlohmann::ordered_json object;
            object["word"] = entry.word;
            object["results"] = entry.results ? nlohmann::ordered_json(*entry.results)
                                              : nlohmann::ordered_json(nullptr);
            object["sources"] = std::move(sources);
            object["seeds"] = entry.seeds;
            object["first_seed"] = entry.first_seed;
            object["times"] = entry.times;
            object["length"] = entry.length;
            return object;
        });
    }
    const std::array<std::string_view, column_count + 1> header = {column_title(Column::word),
                                                                   column_title(Column::results),
                                                                   column_title(Column::sources),
                                                                   column_title(Column::seeds),
                                                                   column_title(Column::times),
                                                                   column_title(Column::length),
                                                                   first_seed_title};
    const exporting::Table file{
        .header = header,
        .rows = rows.size(),
        .text = exporting::TableText::utf8,
        .for_each_row = [&](const PutRow& put) {
            std::string sources;
            for (std::uint32_t row : rows) {
                const WordEntry& entry = words[row];
                sources = sources_text(entry.sources);
                const std::array<Cell, column_count + 1> cells = {
                    Cell{entry.word, std::nullopt},      Cell{{}, entry.results},
                    Cell{sources, std::nullopt},         Cell{{}, whole(entry.seeds)},
                    Cell{{}, whole(entry.times)},        Cell{{}, whole(entry.length)},
                    Cell{entry.first_seed, std::nullopt}};
                if (!put(cells)) {
                    return false;
                }
            }
            return true;
        }};
    return exporting::write_table(path, file, {}, export_format(format));
}

tl::expected<void, exporting::ExportError> export_roots(const std::string& path,
                                                        const std::vector<RootEntry>& roots,
                                                        TableFormat format) {
    if (format == TableFormat::jsonl) {
        return write_json_lines(path, roots.size(), [&](std::size_t i) {
            const RootEntry& root = roots[i];
            nlohmann::ordered_json object;
            object["root"] = root.root;
            object["words"] = root.words;
            object["results_total"] = root.results_total;
            object["times_total"] = root.times_total;
            return object;
        });
    }
    const std::array<std::string_view, root_column_count> header = {
        root_column_title(RootColumn::root), root_column_title(RootColumn::words),
        root_column_title(RootColumn::results_total), root_column_title(RootColumn::times_total)};
    const exporting::Table file{
        .header = header,
        .rows = roots.size(),
        .text = exporting::TableText::utf8,
        .for_each_row = [&](const PutRow& put) {
            for (const RootEntry& root : roots) {
                const std::array<Cell, root_column_count> cells = {
                    Cell{root.root, std::nullopt}, Cell{{}, whole(root.words)},
                    Cell{{}, root.results_total}, Cell{{}, whole(root.times_total)}};
                if (!put(cells)) {
                    return false;
                }
            }
            return true;
        }};
    return exporting::write_table(path, file, {}, export_format(format));
}

}  // namespace quorvel::research
