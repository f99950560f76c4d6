#pragma once
// The order in which the harvest's rows are written out: grouped by seed in
// the order of the summary rows, within a seed by keyword source, within a
// source in recording order. Every recorded word comes exactly once, under
// its own seed; seeds that have words but no summary row (a run that ended
// early) follow at the end.

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "harvest/harvest_store.h"
#include "harvest/keyword_source.h"

namespace quorvel::exporting {

// Calls visit(seed, row, source) for every word in that order, without
// copying it; stops early, returning false, when visit returns false.
template <typename Visit>
bool for_each_export_row(const harvest::HarvestStore& store, Visit&& visit) {
    // Seeds in order: those of the summary rows, then any that only words name.
    std::vector<std::string_view> seeds;
    std::unordered_map<std::string_view, std::size_t> seed_index;
    auto index_of_seed = [&](std::string_view seed) {
        auto [it, added] = seed_index.emplace(seed, seeds.size());
        if (added) {
            seeds.push_back(seed);
        }
        return it->second;
    };
    for (const harvest::SeedRow& row : store.seed_rows()) {
        index_of_seed(row.seed);
    }
    // One pass over the words: each goes to its own seed and source, by index.
    std::vector<std::array<std::vector<std::uint32_t>, harvest::all_sources.size()>> groups;
    for (harvest::KeywordSource source : harvest::all_sources) {
        const auto& words = store.word_rows(source);
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::size_t s = index_of_seed(words[i].seed);
            groups.resize(seeds.size());
            groups[s][harvest::index_of(source)].push_back(static_cast<std::uint32_t>(i));
        }
    }
    groups.resize(seeds.size());
    for (std::size_t s = 0; s < seeds.size(); ++s) {
        for (harvest::KeywordSource source : harvest::all_sources) {
            const auto& words = store.word_rows(source);
            for (std::uint32_t i : groups[s][harvest::index_of(source)]) {
                if (!visit(seeds[s], words[i], source)) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace quorvel::exporting
