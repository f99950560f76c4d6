#include "shell/run_progress.h"

#include "platform/code_page_text.h"

namespace quorvel::shell {
namespace {

// Code-page texts of the progress line.
constexpr std::string_view seeds_label = "\xB9\xD8\xBC\xFC\xB4\xCA ";    // "关键词 "
constexpr std::string_view words_label = "\xB4\xCA ";                    // "词 "
constexpr std::string_view failures_label = "\xCA\xA7\xB0\xDC ";         // "失败 "
constexpr std::string_view elapsed_label = "\xD2\xD1\xD3\xC3 ";          // "已用 "
constexpr std::string_view left_label = "\xCA\xA3\xD3\xE0\xD4\xBC ";     // "剩余约 "
constexpr std::string_view finished_label = "\xD2\xD1\xCD\xEA\xB3\xC9";  // "已完成"
constexpr std::string_view stopped_label = "\xD2\xD1\xCD\xA3\xD6\xB9";   // "已停止"
constexpr std::string_view took_label = "\xD3\xC3\xCA\xB1 ";             // "用时 "
constexpr std::string_view separator = " \xA1\xA4 ";                     // " · "
constexpr std::string_view ellipsis = "\xA1\xAD";                        // "…"
// "需要登录淘宝", "等待安全验证" and the quotes "“" "”".
constexpr std::string_view needs_sign_in = "\xD0\xE8\xD2\xAA\xB5\xC7\xC2\xBC\xCC\xD4\xB1\xA6";
constexpr std::string_view awaiting_check = "\xB5\xC8\xB4\xFD\xB0\xB2\xC8\xAB\xD1\xE9\xD6\xA4";
constexpr std::string_view open_quote = "\xA1\xB0";
constexpr std::string_view close_quote = "\xA1\xB1";

// Bytes of the character at `at`: a GB18030 four-byte character (a lead
// byte, then a digit) is kept whole.
std::size_t whole_character(std::string_view text, std::size_t at) {
    const std::size_t length = platform::char_length(text, at);
    if (length == 2 && text[at + 1] >= '0' && text[at + 1] <= '9' && at + 3 < text.size()) {
        return 4;
    }
    return length;
}

// The text cut to at most `columns` display columns, never inside a
// character, with "…" where it was cut.
std::string fit(std::string_view text, std::size_t columns) {
    std::size_t used = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = whole_character(text, at);
        const std::size_t width = length == 1 ? 1 : 2;
        if (used + width > columns) {
            return std::string(text.substr(0, at)) + std::string(ellipsis);
        }
        used += width;
        at += length;
    }
    return std::string(text);
}

}  // namespace

const std::string_view storage_failed_text =
    // "无法保存历史记录，本次结果只在窗口中"
    "\xCE\xDE\xB7\xA8\xB1\xA3\xB4\xE6\xC0\xFA\xCA\xB7\xBC\xC7\xC2\xBC\xA3\xAC"
    "\xB1\xBE\xB4\xCE\xBD\xE1\xB9\xFB\xD6\xBB\xD4\xDA\xB4\xB0\xBF\xDA\xD6\xD0";

std::string with_storage_notice(std::string_view line) {
    return std::string(storage_failed_text) + std::string(separator) + std::string(line);
}

ProgressSnapshot RunTally::snapshot() const {
    return snapshot(Clock::now());
}

ProgressSnapshot RunTally::snapshot(Clock::time_point now) const {
    std::lock_guard guard(mutex_);
    ProgressSnapshot copy = now_;
    const Clock::time_point until = now_.ended ? ended_at_ : now;
    copy.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(until - started_);
    return copy;
}

void RunTally::carry_words(std::size_t words) {
    std::lock_guard guard(mutex_);
    carried_words_ = words;
}

void RunTally::run_started(const std::vector<std::string>& seeds, std::size_t first_seed) {
    std::lock_guard guard(mutex_);
    now_ = {};
    now_.words = carried_words_;
    now_.seeds_total = seeds.size();
    now_.first_seed = first_seed;
    now_.seeds_done = first_seed;
    started_ = Clock::now();
}

void RunTally::seed_started(std::size_t index, const std::string& seed) {
    std::lock_guard guard(mutex_);
    now_.current = index + 1;
    now_.seed = seed;
}

void RunTally::request_done(harvest::RequestKind kind, const std::string&,
                            const platform::ExchangeOutcome& outcome) {
    std::lock_guard guard(mutex_);
    now_.awaiting_check = false;  // the check, if any, was passed
    ++now_.requests;
    // The search page fails without a message; it still counts as failed.
    if (kind == harvest::RequestKind::related_search &&
        outcome.error != platform::TransportError::none) {
        ++now_.failures;
    }
}

void RunTally::word_recorded(harvest::KeywordSource, std::size_t, const std::string&,
                             const std::string&, const std::string&) {
    std::lock_guard guard(mutex_);
    ++now_.words;
}

void RunTally::failure_message(std::string_view, harvest::KeywordSource, const std::string&) {
    std::lock_guard guard(mutex_);
    ++now_.failures;
}

void RunTally::seed_finished(std::size_t, const harvest::SeedRow&) {
    std::lock_guard guard(mutex_);
    ++now_.seeds_done;
}

void RunTally::run_ended(harvest::RunEnd end) {
    std::lock_guard guard(mutex_);
    now_.ended = end;
    now_.awaiting_check = false;
    ended_at_ = Clock::now();
}

void RunTally::login_wall(harvest::RequestKind kind, const std::string&, const std::string&) {
    std::lock_guard guard(mutex_);
    now_.sign_in_needed.add(harvest::source_of(kind));
}

void RunTally::verification_page(harvest::RequestKind, const std::string&, const std::string&) {
    std::lock_guard guard(mutex_);
    now_.awaiting_check = true;
}

std::optional<std::chrono::seconds> time_left(const ProgressSnapshot& progress) {
    const std::size_t done_here = progress.seeds_done - progress.first_seed;
    if (done_here == 0 || progress.seeds_done >= progress.seeds_total) {
        return std::nullopt;
    }
    const double per_seed =
        static_cast<double>(progress.elapsed.count()) / static_cast<double>(done_here);
    const double left_ms =
        per_seed * static_cast<double>(progress.seeds_total - progress.seeds_done);
    return std::chrono::seconds(static_cast<long long>(left_ms / 1000.0 + 0.5));
}

// Built by appending: GCC 12 warns wrongly (-Wrestrict) about inserting into
// a string at -O3.
std::string grouped(std::size_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

std::string clock_text(std::chrono::seconds elapsed) {
    const long long total = elapsed.count();
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    auto two = [](long long v) {
        std::string text = v < 10 ? "0" : "";
        return text += std::to_string(v);
    };
    return hours > 0 ? std::to_string(hours) + ":" + two(minutes) + ":" + two(seconds)
                     : std::to_string(minutes) + ":" + two(seconds);
}

std::string progress_text(const ProgressSnapshot& progress, std::size_t seed_columns) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(progress.elapsed);
    std::string text;
    auto add = [&text](std::string_view piece) {
        if (!text.empty()) {
            text += separator;
        }
        text += piece;
    };
    if (progress.awaiting_check) {
        add(awaiting_check);
    }
    if (progress.ended) {
        add(*progress.ended == harvest::RunEnd::finished ? finished_label : stopped_label);
        add(std::string(seeds_label) + grouped(progress.seeds_done) + "/" +
            grouped(progress.seeds_total));
    } else {
        add(std::string(seeds_label) + grouped(progress.current) + "/" +
            grouped(progress.seeds_total));
        if (progress.current > 0) {
            add(fit(progress.seed, seed_columns));
        }
    }
    add(std::string(words_label) + grouped(progress.words));
    add(std::string(failures_label) + grouped(progress.failures));
    if (progress.ended) {
        add(std::string(took_label) + clock_text(elapsed));
    } else {
        add(std::string(elapsed_label) + clock_text(elapsed));
        if (auto left = time_left(progress)) {
            add(std::string(left_label) + clock_text(*left));
        }
    }
    for (harvest::KeywordSource source : harvest::all_sources) {
        if (progress.sign_in_needed.has(source)) {
            add(std::string(open_quote) + std::string(harvest::info(source).caption) +
                std::string(close_quote) + std::string(needs_sign_in));
        }
    }
    return text;
}

}  // namespace quorvel::shell
