#include "export/export.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "export/export_order.h"
#include "harvest/keyword_source.h"
#include "web/text_search.h"

namespace quorvel::exporting {
namespace {

using harvest::KeywordSource;

// The number of data rows: one per recorded word.
std::size_t row_count(const harvest::HarvestStore& store) {
    std::size_t rows = 0;
    for (KeywordSource source : harvest::all_sources) {
        rows += store.word_rows(source).size();
    }
    return rows;
}

}  // namespace

std::string text_after_last(std::string_view text, std::string_view separator) {
    int at = web::find_last_text(text, separator);
    if (at == -1) {
        return {};
    }
    return std::string(text.substr(static_cast<std::size_t>(at) - 1 + separator.size()));
}

std::optional<std::int64_t> count_number(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (const std::size_t dot = text.find('.');
        dot != std::string_view::npos &&
        text.find_first_not_of('0', dot + 1) == std::string_view::npos) {
        text = text.substr(0, dot);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

tl::expected<void, ExportError> export_to_file(const std::string& path,
                                               const harvest::HarvestStore& store,
                                               std::stop_token stop, ExportFormat format,
                                               ExportColumns columns) {
    static constexpr std::array<std::string_view, 4> header = {header_seed, header_word,
                                                               header_kind, header_results};
    const std::size_t width = columns == ExportColumns::with_counts ? 4 : 3;
    const Table table{.header = std::span(header).first(width),
                      .rows = row_count(store),
                      .text = TableText::code_page,
                      .for_each_row = [&](const PutRow& put) {
                          return for_each_export_row(store, [&](std::string_view seed,
                                                                const harvest::WordRow& row,
                                                                KeywordSource source) {
                              const std::array<Cell, 4> cells = {
                                  Cell{seed, std::nullopt}, Cell{row.word, std::nullopt},
                                  Cell{harvest::info(source).export_label, std::nullopt},
                                  Cell{{}, width == 4 ? count_number(row.count) : std::nullopt}};
                              return put(std::span(cells).first(width));
                          });
                      }};
    return write_table(path, table, std::move(stop), format);
}

void export_results(platform::WindowOperations& window, const harvest::HarvestStore& store,
                    std::stop_token stop, ExportFormat format) {
    // The dialog's filter is two "description|pattern" pairs, XLSX first.
    std::string_view filter = dialog_filter;
    std::string_view extension = default_extension;
    const std::size_t second = filter.find('|', filter.find('|') + 1);
    if (format == ExportFormat::xlsx) {
        filter = filter.substr(0, second);
    } else if (format == ExportFormat::csv) {
        filter = filter.substr(second + 1);
        extension = "csv";
    }
    std::optional<std::string> path =
        window.show_save_dialog(dialog_name, filter, extension, dialog_title);
    if (!path || path->empty()) {
        return;
    }
    // A stop is the run's own doing: nothing to tell the user.
    if (auto written = export_to_file(*path, store, std::move(stop), format);
        !written && written.error().kind != ExportError::Kind::stopped) {
        window.show_message(std::string(save_failed_message) + *path + "\r\n" +
                            written.error().reason);
    }
}

}  // namespace quorvel::exporting
