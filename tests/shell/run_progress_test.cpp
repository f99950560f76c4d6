// The progress a window shows: the tally kept from a harvest's calls, the
// time left, and the progress line.

#include "shell/run_progress.h"

#include <gtest/gtest.h>

#include "tests/support/code_page_text.h"
#include "tests/support/code_pages.h"

namespace quorvel::shell {
namespace {

using namespace std::chrono_literals;

using testsupport::gb;
using testsupport::utf8;

TEST(RunProgress, TheTallyCountsWhatTheHarvestTells) {
    RunTally tally;
    tally.run_started({"a", "b", "c", "d"}, 1);
    tally.seed_started(1, "b");
    platform::ExchangeOutcome ok;
    platform::ExchangeOutcome dropped;
    dropped.error = platform::TransportError::connection_dropped;
    tally.request_done(harvest::RequestKind::pc_suggest, "b", ok);
    tally.request_done(harvest::RequestKind::pc_suggest, "b", dropped);  // its message counts
    tally.failure_message("x", harvest::KeywordSource::PcDropdown, "b");
    tally.request_done(harvest::RequestKind::related_search, "b", dropped);  // silent: counts here
    tally.request_done(harvest::RequestKind::related_search, "b", ok);
    tally.word_recorded(harvest::KeywordSource::PcDropdown, 1, "b", "w1", "");
    tally.word_recorded(harvest::KeywordSource::DidYouMean, 1, "b", "w2", "");
    tally.seed_finished(1, harvest::SeedRow{"b", {}});

    const auto start = RunTally::Clock::now();
    ProgressSnapshot now = tally.snapshot(start + 10s);
    EXPECT_EQ(now.seeds_total, 4u);
    EXPECT_EQ(now.first_seed, 1u);
    EXPECT_EQ(now.seeds_done, 2u);
    EXPECT_EQ(now.current, 2u);
    EXPECT_EQ(now.seed, "b");
    EXPECT_EQ(now.requests, 4u);
    EXPECT_TRUE(now.sign_in_needed.empty());
    EXPECT_EQ(now.failures, 2u);
    EXPECT_EQ(now.words, 2u);
    EXPECT_FALSE(now.ended);
    EXPECT_GE(now.elapsed, 9s);

    tally.login_wall(harvest::RequestKind::related_search, "b", "https://login.taobao.com/");
    tally.verification_page(harvest::RequestKind::pc_suggest, "b", "https://x/punish");
    EXPECT_TRUE(tally.snapshot().sign_in_needed.has(harvest::KeywordSource::DidYouMean));
    EXPECT_TRUE(tally.snapshot().awaiting_check);
    tally.request_done(harvest::RequestKind::pc_suggest, "b", ok);  // the check was passed
    EXPECT_FALSE(tally.snapshot().awaiting_check);

    tally.run_ended(harvest::RunEnd::stopped);
    const auto stopped = tally.snapshot();
    EXPECT_EQ(stopped.ended, harvest::RunEnd::stopped);
    // The clock stops with the run.
    EXPECT_EQ(tally.snapshot(RunTally::Clock::now() + 1h).elapsed, stopped.elapsed);

    // A new run starts from nothing.
    tally.run_started({"x"}, 0);
    now = tally.snapshot();
    EXPECT_EQ(now.words, 0u);
    EXPECT_EQ(now.current, 0u);
    EXPECT_FALSE(now.ended);
}

TEST(RunProgress, TimeLeftGoesAtThePaceOfTheSeedsThisRunDid) {
    ProgressSnapshot p;
    p.seeds_total = 300;
    p.elapsed = 42s;
    EXPECT_FALSE(time_left(p));  // nothing done yet
    p.seeds_done = 12;
    EXPECT_EQ(time_left(p), 3.5 * 288 * 1s);
    // Continuing a run: the seeds an earlier run finished took none of this time.
    p.first_seed = 10;
    EXPECT_EQ(time_left(p), 21 * 288 * 1s);
    p.seeds_done = 300;
    EXPECT_FALSE(time_left(p));
}

TEST(RunProgress, TheLineSaysWhereTheRunIs) {
    ProgressSnapshot p;
    p.seeds_total = 300;
    p.seeds_done = 11;
    p.current = 12;
    p.seed = gb("连衣裙");
    p.words = 1234;
    p.failures = 2;
    p.elapsed = 42500ms;
    EXPECT_EQ(utf8(progress_text(p)),
              "关键词 12/300 · 连衣裙 · 词 1,234 · 失败 2 · 已用 0:42 · 剩余约 18:37");

    p.elapsed = 2h + 3min + 7s;
    p.seeds_done = 299;
    p.words = 1234567;
    EXPECT_EQ(utf8(progress_text(p)),
              "关键词 12/300 · 连衣裙 · 词 1,234,567 · 失败 2 · 已用 2:03:07 · 剩余约 0:25");

    p.ended = harvest::RunEnd::finished;
    p.seeds_done = 300;
    EXPECT_EQ(utf8(progress_text(p)),
              "已完成 · 关键词 300/300 · 词 1,234,567 · 失败 2 · 用时 2:03:07");
    p.ended = harvest::RunEnd::stopped;
    p.seeds_done = 12;
    EXPECT_EQ(utf8(progress_text(p)),
              "已停止 · 关键词 12/300 · 词 1,234,567 · 失败 2 · 用时 2:03:07");

    ProgressSnapshot before;
    before.seeds_total = 5;
    EXPECT_EQ(utf8(progress_text(before)), "关键词 0/5 · 词 0 · 失败 0 · 已用 0:00");
    before.awaiting_check = true;
    before.sign_in_needed.add(harvest::KeywordSource::DidYouMean);
    EXPECT_EQ(utf8(progress_text(before)),
              "等待安全验证 · 关键词 0/5 · 词 0 · 失败 0 · 已用 0:00 · “你是不是想找”需要登录淘宝");
    before = {};
    before.seeds_total = 5;
    EXPECT_EQ(utf8(with_storage_notice(progress_text(before))),
              "无法保存历史记录，本次结果只在窗口中 · 关键词 0/5 · 词 0 · 失败 0 · 已用 0:00");
}

TEST(RunProgress, ALongSeedIsCutBetweenCharacters) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    ProgressSnapshot p;
    p.seeds_total = 1;
    p.current = 1;
    // Trail bytes that look like ASCII, and a four-byte character at the cut.
    p.seed = gb("丂丂丂ab😀x");
    auto seed_part = [&](std::size_t columns) {
        const std::string line = utf8(progress_text(p, columns));
        const auto from = line.find(" · ") + 4;
        return line.substr(from, line.find(" · ", from) - from);
    };
    EXPECT_EQ(seed_part(11), "丂丂丂ab😀x");
    EXPECT_EQ(seed_part(10), "丂丂丂ab😀…");
    EXPECT_EQ(seed_part(9), "丂丂丂ab…");
    EXPECT_EQ(seed_part(7), "丂丂丂a…");
    EXPECT_EQ(seed_part(5), "丂丂…");
}

}  // namespace
}  // namespace quorvel::shell
