// The history window's rows as text: seed previews and the cells of a kept
// run.

#include "shell/history_rows.h"

#include <gtest/gtest.h>

#include <regex>

#include "harvest/keyword_source.h"
#include "tests/support/code_page_text.h"

namespace quorvel::shell {
namespace {

using testsupport::gb;

TEST(HistoryRows, ThePreviewShowsTheFirstThreeSeedsInUtf8) {
    EXPECT_EQ(seed_preview(gb("连衣裙\r\n手机壳\r\n数据线\r\n充电宝\r\n")),
              "连衣裙、手机壳、数据线…");
    EXPECT_EQ(seed_preview(gb("连衣裙\r\n手机壳\r\n数据线")), "连衣裙、手机壳、数据线");
    EXPECT_EQ(seed_preview(gb("连衣裙")), "连衣裙");
    EXPECT_EQ(seed_preview(""), "");
    // Only the opening is read: a run of thousands of seeds has a cut text.
    std::string many;
    for (int i = 0; i < 5000; ++i) {
        many += "seed" + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(seed_preview(many), "seed0、seed1、seed2…");
}

TEST(HistoryRows, ARunsCells) {
    journal::RunInfo run;
    run.id = 7;
    run.started_ms = 1'765'000'000'000;
    run.state = journal::RunState::stopped;
    run.seeds_total = 5;
    run.seeds_done = 2;
    run.kinds.add(harvest::KeywordSource::PcDropdown);
    run.kinds.add(harvest::KeywordSource::DidYouMean);
    run.words = {12, 0, 0, 0, 3};
    run.seed_text = gb("连衣裙\r\n手机壳");
    const HistoryRow row = history_row(run);
    EXPECT_TRUE(std::regex_match(row[started_column], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d)")))
        << row[started_column];
    EXPECT_EQ(row[state_column], "已停止");
    EXPECT_EQ(row[seeds_column], "2/5");
    EXPECT_EQ(row[first_kind_column + 0], "12");
    EXPECT_EQ(row[first_kind_column + 1], "-");  // not harvested, not 0
    EXPECT_EQ(row[first_kind_column + 2], "-");
    EXPECT_EQ(row[first_kind_column + 3], "-");
    EXPECT_EQ(row[first_kind_column + 4], "3");
    EXPECT_EQ(row[preview_column], "连衣裙、手机壳");
}

}  // namespace
}  // namespace quorvel::shell
