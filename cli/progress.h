#pragma once
// What the command line says on standard error while a harvest runs: a
// progress line rewritten in place (when standard error is a terminal, or
// when asked), each failure message and the marketplace's sign-in demand on
// a line of its own above it, and the tallies the exit status and the
// closing summary come from.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "harvest/observer.h"
#include "shell/run_progress.h"

namespace quorvel::cli {

struct ProgressSettings {
    bool line = false;     // draw the progress line
    bool failures = true;  // print each failure message
    std::FILE* out = stderr;
};

class Progress : public harvest::HarvestObserver {
  public:
    explicit Progress(ProgressSettings settings);
    ~Progress() override;

    std::size_t requests() const;
    // Requests that came to nothing: a failure message was shown for their
    // reply, or (for the search page, whose failures are silent) no reply
    // came at all.
    std::size_t failures() const;
    std::size_t words() const;
    std::size_t seeds_done() const;  // summary rows, those of an earlier run included

    // Clears the progress line, for a line of its own on standard error.
    void clear_line();

    void run_started(const std::vector<std::string>& seeds, std::size_t first_seed) override;
    void seed_started(std::size_t index, const std::string& seed) override;
    void request_done(harvest::RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override;
    void word_recorded(harvest::KeywordSource source, std::size_t seed_index,
                       const std::string& seed, const std::string& word,
                       const std::string& count) override;
    void failure_message(std::string_view message, harvest::KeywordSource source,
                         const std::string& seed) override;
    // Says on a line of its own that the marketplace asks to sign in.
    void login_wall(harvest::RequestKind kind, const std::string& seed,
                    const std::string& final_url) override;
    void seed_finished(std::size_t index, const harvest::SeedRow& row) override;
    void run_ended(harvest::RunEnd end) override;

  private:
    using Clock = std::chrono::steady_clock;
    void draw(bool force);  // with the mutex held
    std::string line_text() const;

    ProgressSettings settings_;
    shell::RunTally tally_;
    mutable std::mutex mutex_;  // guards what is drawn
    Clock::time_point drawn_{};
    bool line_shown_ = false;
    bool running_ = false;
    std::jthread ticker_;  // redraws the line while a request takes long
};

}  // namespace quorvel::cli
