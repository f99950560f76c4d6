#pragma once
// What the export tests share: a code-page text helper, an export that fails
// the assertion with the export's own words, and the harvests they write.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "export/export.h"
#include "harvest/harvest_store.h"
#include "tests/support/code_page_text.h"

namespace quorvel::exporting::export_testing {

namespace fs = std::filesystem;
using harvest::HarvestStore;
using harvest::KeywordSource;

using testsupport::gb;

// Exports `store` to `path`; a failure fails the assertion with what the export said.
inline ::testing::AssertionResult exported(const fs::path& path, const HarvestStore& store) {
    const auto written = export_to_file(path.string(), store);
    if (written) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "export failed: " << testsupport::utf8(written.error().reason) << " ("
           << written.error().detail << ")";
}

// A harvest with the awkward cases: a seed inside another seed, an empty
// seed, a seed typed twice, words holding "|" and formula starts.
inline HarvestStore awkward_store() {
    HarvestStore store;
    store.add_seed_row({gb("裙"), {1, 0, 0, 0, 0}});
    store.add_seed_row({gb("连衣裙"), {2, 0, 0, 0, 1}});
    store.add_seed_row({"", {3, 0, 0, 0, 1}});
    store.add_seed_row({gb("裙"), {4, 0, 0, 0, 1}});
    store.add_word(KeywordSource::PcDropdown, gb("裙"), gb("半身裙"));
    store.add_word(KeywordSource::PcDropdown, gb("连衣裙"), gb("长裙"));
    store.add_word(KeywordSource::DidYouMean, gb("连衣裙"), "=1+2");
    store.add_word(KeywordSource::PcDropdown, "", "a|b");
    store.add_word(KeywordSource::DidYouMean, "", "say \"x\", y");
    store.add_word(KeywordSource::PcDropdown, gb("裙"), "-5");
    // A seed whose run ended before its summary row.
    store.add_word(KeywordSource::LongTail, "late", "@cmd");
    return store;
}

// A harvest of `rows` words over ten seeds.
inline HarvestStore many_rows(int rows) {
    HarvestStore store;
    for (int i = 0; i < rows; ++i) {
        store.add_word(
            harvest::all_sources[static_cast<std::size_t>(i) % harvest::all_sources.size()],
            "seed" + std::to_string(i % 10), "word" + std::to_string(i));
    }
    return store;
}

}  // namespace quorvel::exporting::export_testing
