#include "cli/progress.h"

#include <condition_variable>

#include "cli/system.h"
#include "platform/code_page.h"

namespace quorvel::cli {
namespace {

constexpr auto redraw_every = std::chrono::milliseconds(100);

std::string utf8(std::string_view code_page_text) {
    return platform::convert_code_page(code_page_text, platform::code_page_gbk,
                                       platform::code_page_utf8);
}

// The text cut to at most `columns` terminal columns, counting a character
// outside ASCII as two (most of this text's are Chinese).
std::string fit(const std::string& text, std::size_t columns) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::size_t width = c < 0x80 ? 1 : 2;
        if (used + width > columns) {
            break;
        }
        used += width;
        i += length;
    }
    return text.substr(0, i);
}

}  // namespace

Progress::Progress(ProgressSettings settings) : settings_(settings) {
    if (settings_.line) {
        ticker_ = std::jthread([this](std::stop_token stop) {
            std::mutex wait_mutex;
            std::condition_variable_any wake;
            while (!stop.stop_requested()) {
                {
                    std::unique_lock lock(wait_mutex);
                    wake.wait_for(lock, stop, std::chrono::milliseconds(500), [] { return false; });
                }
                std::lock_guard guard(mutex_);
                if (running_) {
                    draw(true);
                }
            }
        });
    }
}

Progress::~Progress() {
    ticker_ = {};  // stops and joins before the members go
    clear_line();
}

std::size_t Progress::requests() const {
    return tally_.snapshot().requests;
}
std::size_t Progress::failures() const {
    return tally_.snapshot().failures;
}
std::size_t Progress::words() const {
    return tally_.snapshot().words;
}
std::size_t Progress::seeds_done() const {
    return tally_.snapshot().seeds_done;
}

void Progress::clear_line() {
    std::lock_guard guard(mutex_);
    if (line_shown_) {
        write_text(settings_.out, "\r\x1b[K");
        line_shown_ = false;
    }
}

void Progress::run_started(const std::vector<std::string>& seeds, std::size_t first_seed) {
    tally_.run_started(seeds, first_seed);
    std::lock_guard guard(mutex_);
    running_ = true;
}

void Progress::seed_started(std::size_t index, const std::string& seed) {
    const bool first = tally_.snapshot().current == 0;
    tally_.seed_started(index, seed);
    std::lock_guard guard(mutex_);
    draw(first);
}

void Progress::request_done(harvest::RequestKind kind, const std::string& seed,
                            const platform::ExchangeOutcome& outcome) {
    tally_.request_done(kind, seed, outcome);
    std::lock_guard guard(mutex_);
    draw(false);
}

void Progress::word_recorded(harvest::KeywordSource source, std::size_t seed_index,
                             const std::string& seed, const std::string& word,
                             const std::string& count) {
    tally_.word_recorded(source, seed_index, seed, word, count);
    std::lock_guard guard(mutex_);
    draw(false);
}

void Progress::failure_message(std::string_view message, harvest::KeywordSource source,
                               const std::string& seed) {
    tally_.failure_message(message, source, seed);
    std::lock_guard guard(mutex_);
    if (settings_.failures) {
        write_text(settings_.out, std::string(line_shown_ ? "\r\x1b[K" : "") + "quorvel-cli: " +
                                      utf8(message) + " (seed \"" + utf8(seed) + "\", kind " +
                                      std::string(harvest::info(source).short_name) + ")\n");
        line_shown_ = false;
    }
    draw(true);
}

void Progress::login_wall(harvest::RequestKind kind, const std::string&, const std::string&) {
    const harvest::KeywordSource source = harvest::source_of(kind);
    std::lock_guard guard(mutex_);
    write_text(settings_.out, std::string(line_shown_ ? "\r\x1b[K" : "") +
                                  "quorvel-cli: the marketplace asks to sign in for \"" +
                                  utf8(harvest::info(source).export_label) + "\" (" +
                                  std::string(harvest::info(source).short_name) +
                                  ") words; sign in with the window's 登录淘宝 or bring "
                                  "the session with 'quorvel-cli session import', or give "
                                  "--cookies FILE\n");
    line_shown_ = false;
    draw(true);
}

void Progress::seed_finished(std::size_t index, const harvest::SeedRow& row) {
    tally_.seed_finished(index, row);
    std::lock_guard guard(mutex_);
    draw(false);
}

void Progress::run_ended(harvest::RunEnd end) {
    tally_.run_ended(end);
    std::lock_guard guard(mutex_);
    running_ = false;
}

std::string Progress::line_text() const {
    using shell::clock_text;
    using shell::grouped;
    const shell::ProgressSnapshot now = tally_.snapshot();
    const double seconds = std::chrono::duration<double>(now.elapsed).count();
    // Built by appending: GCC 12 warns wrongly (-Wrestrict) on "text" + std::string
    // in the MinGW build.
    std::string text = "[";
    text += grouped(now.seeds_done) + "/" + grouped(now.seeds_total) + "] " +
            fit(utf8(now.seed), 24) + " · " + grouped(now.words) + " words · " +
            grouped(now.requests) + " requests";
    if (seconds >= 1) {
        char rate[32];
        std::snprintf(rate, sizeof rate, " (%.1f/s)", static_cast<double>(now.requests) / seconds);
        text += rate;
    }
    if (now.failures > 0) {
        text += " · " + grouped(now.failures) + " failed";
    }
    text += " · " + clock_text(std::chrono::duration_cast<std::chrono::seconds>(now.elapsed));
    if (auto left = shell::time_left(now)) {
        text += " · ~" + clock_text(*left) + " left";
    }
    return text;
}

void Progress::draw(bool force) {
    if (!settings_.line) {
        return;
    }
    const auto now = Clock::now();
    if (!force && now - drawn_ < redraw_every) {
        return;
    }
    drawn_ = now;
    const std::string text = fit(line_text(), terminal_columns(settings_.out) - 1);
    write_text(settings_.out, "\r" + text + "\x1b[K");
    line_shown_ = true;
}

}  // namespace quorvel::cli
