#pragma once
// Where and how the command line writes a run's words: XLSX and CSV exactly
// as the window's export writes them, JSON Lines (one object per word), or
// text (one word per line: kind, seed and word separated by tabs). Rows come
// in the export's order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

#include "harvest/harvest_store.h"

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
};

// Writes the words of `store`. A file appears complete or not at all.
tl::expected<void, std::string> write_output(const OutputTarget& target,
                                             const harvest::HarvestStore& store,
                                             const OutputOptions& options);

// A text line's field with backslash, tab, CR and LF written as \\ \t \r \n,
// so that every word stays on its line.
std::string text_field(std::string_view utf8);

}  // namespace quorvel::cli
