#pragma once
// What a window shows of a harvest while it runs: a tally kept from the
// harvest's observer calls (any thread), read as a snapshot by the window's
// own thread, and the progress line made from it.

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "harvest/observer.h"

namespace quorvel::shell {

struct ProgressSnapshot {
    std::size_t seeds_total = 0;
    std::size_t first_seed = 0;  // seeds finished by an earlier run this one continues
    std::size_t seeds_done = 0;  // those included
    std::size_t current = 0;     // the seed being asked, counted from 1; 0 before the first
    std::string seed;            // code-page text
    std::size_t words = 0;
    std::size_t requests = 0;
    std::size_t failures = 0;
    std::chrono::milliseconds elapsed{0};
    std::optional<harvest::RunEnd> ended;
    // Kinds the marketplace wanted a signed-in session for, in this run.
    harvest::KindSet sign_in_needed;
    bool awaiting_check = false;  // a verification page waits for the user
};

class RunTally : public harvest::HarvestObserver {
  public:
    using Clock = std::chrono::steady_clock;

    ProgressSnapshot snapshot() const;
    ProgressSnapshot snapshot(Clock::time_point now) const;
    // Words an earlier run found, counted from the next run's start on: a
    // continued run's summary counts the whole run.
    void carry_words(std::size_t words);

    void run_started(const std::vector<std::string>& seeds, std::size_t first_seed) override;
    void seed_started(std::size_t index, const std::string& seed) override;
    void request_done(harvest::RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override;
    void word_recorded(harvest::KeywordSource source, std::size_t seed_index,
                       const std::string& seed, const std::string& word,
                       const std::string& count) override;
    void failure_message(std::string_view message, harvest::KeywordSource source,
                         const std::string& seed) override;
    void seed_finished(std::size_t index, const harvest::SeedRow& row) override;
    void run_ended(harvest::RunEnd end) override;
    void login_wall(harvest::RequestKind kind, const std::string& seed,
                    const std::string& final_url) override;
    void verification_page(harvest::RequestKind kind, const std::string& seed,
                           const std::string& url) override;

  private:
    mutable std::mutex mutex_;
    ProgressSnapshot now_;  // elapsed is filled in when read
    std::size_t carried_words_ = 0;
    Clock::time_point started_ = Clock::now();
    Clock::time_point ended_at_{};
};

// The time the seeds still to do will take at the pace of those done by this
// run; nothing before one is done or once all are.
std::optional<std::chrono::seconds> time_left(const ProgressSnapshot& progress);

// 1234567 as "1,234,567".
std::string grouped(std::size_t value);
// "1:05", or "2:03:07" past an hour.
std::string clock_text(std::chrono::seconds elapsed);

// The progress line in code-page text: during a run "关键词 12/300 · 连衣裙 ·
// 词 1,234 · 失败 2 · 已用 0:42 · 剩余约 9:58", after it "已完成 · 关键词 300/300 ·
// 词 … · 失败 … · 用时 …" or "已停止 · …". The seed is cut to `seed_columns`
// display columns (a double-byte character being two). A verification page
// waiting puts "等待安全验证" first; a kind that needed a sign-in adds
// "“你是不是想找”需要登录淘宝" (with that kind's caption) at the end.
std::string progress_text(const ProgressSnapshot& progress, std::size_t seed_columns = 16);

// Said once in the progress line when the run cannot be kept in the journal:
// "无法保存历史记录，本次结果只在窗口中".
extern const std::string_view storage_failed_text;
// The progress line led by that notice.
std::string with_storage_notice(std::string_view line);

}  // namespace quorvel::shell
