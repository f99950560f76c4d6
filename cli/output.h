#pragma once
// Where and how the command line writes a run's words: XLSX and CSV exactly
// as the window's export writes them, JSON Lines (one object per word), or
// text (one word per line: kind, seed and word separated by tabs). Rows come
// in the export's order. The word table and its roots go the same ways: as
// research/word_export.h writes them, or as tab-separated text.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "harvest/harvest_store.h"
#include "research/roots.h"
#include "research/word_table.h"

namespace quorvel::cli {

enum class OutputFormat { xlsx, csv, jsonl, text };

struct OutputTarget {
    OutputFormat format = OutputFormat::text;
    std::optional<std::string> path;  // UTF-8; none for standard output
};

// The target that -o and -f name: the format from -f, else from the file's
// extension (.xlsx .csv .jsonl .txt), text for standard output. The error
// says what does not fit.
tl::expected<OutputTarget, std::string> choose_output(const std::optional<std::string>& output,
                                                      const std::optional<std::string>& format);

// Checks, before anything is requested, that a new file can be made where
// the target goes: its folder exists and takes a file.
tl::expected<void, std::string> check_writable(const OutputTarget& target);

struct OutputOptions {
    std::optional<std::int64_t> run_id;  // the run's number in the journal, if it has one
    bool dedup = false;                  // only the first occurrence of each word
    // XLSX, CSV and text: a 结果数 column after the others, the row's count as
    // a number (empty without one).
    bool with_counts = false;
};

// Writes the words of `store`. A file appears complete or not at all.
tl::expected<void, std::string> write_output(const OutputTarget& target,
                                             const harvest::HarvestStore& store,
                                             const OutputOptions& options);

// Writes the table's `rows` in their order. Text is a header line, then a
// line per word: 词 结果数 来源 种子数 次数 字数 首个种子, separated by tabs.
tl::expected<void, std::string> write_words(const OutputTarget& target,
                                            const research::WordTable& table,
                                            std::span<const std::uint32_t> rows);

// Writes the roots in their order; text as write_words writes it, with the
// columns 词根 词数 结果数合计 次数合计.
tl::expected<void, std::string> write_roots(const OutputTarget& target,
                                            const std::vector<research::RootEntry>& roots);

// A text line's field with backslash, tab, CR and LF written as \\ \t \r \n,
// so that every word stays on its line.
std::string text_field(std::string_view utf8);

}  // namespace quorvel::cli
