#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <condition_variable>

#include "platform/code_page.h"

namespace quorvel::cli {
namespace {

constexpr auto redraw_every = std::chrono::milliseconds(100);

std::string utf8(std::string_view code_page_text) {
    return platform::convert_code_page(code_page_text, platform::code_page_gbk,
                                       platform::code_page_utf8);
}

// 1234567 as "1,234,567".
std::string grouped(std::size_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
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

std::size_t terminal_columns(std::FILE* out) {
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 100;
}

}  // namespace

std::string clock_text(std::chrono::seconds elapsed) {
    const long long total = elapsed.count();
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    auto two = [](long long v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return hours > 0 ? std::to_string(hours) + ":" + two(minutes) + ":" + two(seconds)
                     : std::to_string(minutes) + ":" + two(seconds);
}

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
    std::lock_guard guard(mutex_);
    return requests_;
}
std::size_t Progress::failures() const {
    std::lock_guard guard(mutex_);
    return failures_;
}
std::size_t Progress::words() const {
    std::lock_guard guard(mutex_);
    return words_;
}
std::size_t Progress::seeds_done() const {
    std::lock_guard guard(mutex_);
    return seeds_done_;
}

void Progress::clear_line() {
    std::lock_guard guard(mutex_);
    if (line_shown_) {
        std::fputs("\r\x1b[K", settings_.out);
        std::fflush(settings_.out);
        line_shown_ = false;
    }
}

void Progress::run_started(const std::vector<std::string>& seeds, std::size_t first_seed) {
    std::lock_guard guard(mutex_);
    seeds_total_ = seeds.size();
    first_seed_ = first_seed;
    seeds_done_ = first_seed;
    started_ = Clock::now();
    running_ = true;
}

void Progress::seed_started(std::size_t, const std::string& seed) {
    std::lock_guard guard(mutex_);
    const bool first = current_seed_.empty() && requests_ == 0;
    current_seed_ = utf8(seed);
    draw(first);
}

void Progress::request_done(harvest::RequestKind kind, const std::string&,
                            const platform::ExchangeOutcome& outcome) {
    std::lock_guard guard(mutex_);
    ++requests_;
    // A failed search page shows no message; it still counts as failed.
    if (kind == harvest::RequestKind::related_search &&
        outcome.error != platform::TransportError::none) {
        ++failures_;
    }
    draw(false);
}

void Progress::word_recorded(harvest::KeywordSource, std::size_t, const std::string&,
                             const std::string&, const std::string&) {
    std::lock_guard guard(mutex_);
    ++words_;
    draw(false);
}

void Progress::failure_message(std::string_view message, harvest::KeywordSource source,
                               const std::string& seed) {
    std::lock_guard guard(mutex_);
    ++failures_;
    if (settings_.failures) {
        if (line_shown_) {
            std::fputs("\r\x1b[K", settings_.out);
            line_shown_ = false;
        }
        std::fprintf(settings_.out, "quorvel-cli: %s (seed \"%s\", kind %s)\n",
                     utf8(message).c_str(), utf8(seed).c_str(),
                     std::string(harvest::info(source).short_name).c_str());
    }
    draw(true);
}

void Progress::seed_finished(std::size_t, const harvest::SeedRow&) {
    std::lock_guard guard(mutex_);
    ++seeds_done_;
    draw(false);
}

void Progress::run_ended(harvest::RunEnd) {
    std::lock_guard guard(mutex_);
    running_ = false;
}

std::string Progress::line_text() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_);
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    std::string text = "[" + grouped(seeds_done_) + "/" + grouped(seeds_total_) + "] " +
                       fit(current_seed_, 24) + " · " + grouped(words_) + " words · " +
                       grouped(requests_) + " requests";
    if (seconds >= 1) {
        char rate[32];
        std::snprintf(rate, sizeof rate, " (%.1f/s)", static_cast<double>(requests_) / seconds);
        text += rate;
    }
    if (failures_ > 0) {
        text += " · " + grouped(failures_) + " failed";
    }
    text += " · " + clock_text(elapsed);
    const std::size_t done_here = seeds_done_ - first_seed_;
    if (done_here > 0 && seeds_done_ < seeds_total_) {
        const double per_seed = seconds / static_cast<double>(done_here);
        const auto left = std::chrono::seconds(
            static_cast<long long>(per_seed * static_cast<double>(seeds_total_ - seeds_done_)));
        text += " · ~" + clock_text(left) + " left";
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
    std::fprintf(settings_.out, "\r%s\x1b[K", text.c_str());
    std::fflush(settings_.out);
    line_shown_ = true;
}

}  // namespace quorvel::cli
