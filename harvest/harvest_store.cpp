#include "harvest/harvest_store.h"

namespace quorvel::harvest {

std::string SeedRow::text() const {
    std::string row = seed;
    for (int count : counts) {
        row += ',';
        row += std::to_string(count);
    }
    return row;
}

void HarvestStore::clear() {
    seed_rows_.clear();
    for (auto& rows : word_rows_) {
        rows.clear();
    }
}

void HarvestStore::add_word(KeywordSource source, std::string seed, std::string word,
                            std::string count) {
    word_rows_[index_of(source)].push_back({std::move(seed), std::move(word), std::move(count)});
}

}  // namespace quorvel::harvest
