#pragma once
// What a harvest found: one summary row per seed and, per kind of keyword,
// one row per recorded word. Filled only by a harvest, read by the export.

#include <array>
#include <string>
#include <vector>

#include "harvest/keyword_source.h"

namespace quorvel::harvest {

// One recorded word with the seed it was found for. Kept apart so that a "|"
// inside either is never ambiguous; text() gives the row as seed "|" word.
// `count` is the count text the marketplace sent beside a drop-down, mobile
// or long-tail suggestion, when it sent one; no box shows it.
struct WordRow {
    std::string seed;
    std::string word;
    std::string count;
    std::string text() const { return seed + "|" + word; }
    bool operator==(const WordRow&) const = default;
};

// The summary of one finished seed: the seed and the number of lines each of
// the five result boxes held then, in source order. text() gives the row as
// the seed and the five counts joined by ",".
struct SeedRow {
    std::string seed;
    std::array<int, 5> counts{};
    std::string text() const;
    bool operator==(const SeedRow&) const = default;
};

class HarvestStore {
  public:
    void clear();

    void add_seed_row(SeedRow row) { seed_rows_.push_back(std::move(row)); }
    void add_word(KeywordSource source, std::string seed, std::string word, std::string count = {});

    const std::vector<SeedRow>& seed_rows() const { return seed_rows_; }
    const std::vector<WordRow>& word_rows(KeywordSource source) const {
        return word_rows_[index_of(source)];
    }

    bool operator==(const HarvestStore&) const = default;

  private:
    std::vector<SeedRow> seed_rows_;
    std::array<std::vector<WordRow>, 5> word_rows_;
};

}  // namespace quorvel::harvest
