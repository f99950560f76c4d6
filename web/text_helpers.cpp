#include "web/text_helpers.h"

#include <unordered_set>

namespace quorvel::web {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::size_t max_replacement_pairs = 5;

std::string with_quotes(std::string_view marker) {
    return replace_each(marker, {{quote_token, "\""}}, {.case_sensitive = true});
}

// One find/replacement pass over `text`, from byte index `begin` (a boundary).
std::string replace_one(std::string_view text, std::size_t begin, const Replacement& pair,
                        const ReplaceOptions& options) {
    std::string out(text.substr(0, begin));
    std::size_t pos = begin;
    long long done = 0;
    const bool limited = options.count.has_value();
    const LetterCase letters = options.case_sensitive ? LetterCase::exact : LetterCase::ignore;
    while (!limited || done < *options.count) {
        std::size_t at = find_from_boundary(text, pair.find, pos, letters);
        if (at == npos) {
            break;
        }
        out.append(text.substr(pos, at - pos));
        out.append(pair.replacement);
        pos = at + pair.find.size();
        // A find text ending in a lone lead byte can stop inside a character;
        // carry on from the next boundary without dropping any byte.
        std::size_t next = boundary_at_or_after(text, at, pos);
        out.append(text.substr(pos, next - pos));
        pos = next;
        ++done;
    }
    out.append(text.substr(pos < text.size() ? pos : text.size()));
    return out;
}

}  // namespace

std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         int start, LetterCase letters) {
    const std::string left_marker = with_quotes(left);
    const std::string right_marker = with_quotes(right);
    int a = find_text(text, left_marker, start < 1 ? 1 : start, letters);
    if (a == -1) {
        return {};
    }
    a += static_cast<int>(left_marker.size());
    int b = find_text(text, right_marker, a, letters);
    if (b == -1) {
        return {};
    }
    return std::string(
        text.substr(static_cast<std::size_t>(a) - 1, static_cast<std::size_t>(b - a)));
}

std::string text_after_first_colon(std::string_view text) {
    int colon = find_text(text, ":");
    if (colon == -1) {
        return {};
    }
    return trim_spaces(text.substr(static_cast<std::size_t>(colon)));
}

std::string cookie_name(std::string_view pair) {
    int eq = find_text(pair, "=");
    return trim_spaces(eq == -1 ? pair : pair.substr(0, static_cast<std::size_t>(eq) - 1));
}

bool cookie_list_has_name(const std::vector<std::string>& pairs, std::string_view name) {
    for (const auto& pair : pairs) {
        if (cookie_name(pair) == name) {
            return true;
        }
    }
    return false;
}

int text_list_find(const std::vector<std::string>& list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == text) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}

std::string drop_duplicate_pieces(std::string_view text, std::string_view separator) {
    std::unordered_set<std::string> seen;
    std::string out;
    for (auto& piece : split_text(text, separator)) {
        if (seen.insert(piece).second) {
            out.append(piece);
            out.append(separator);
        }
    }
    out.resize(out.size() >= separator.size() ? out.size() - separator.size() : 0);
    return out;
}

std::string cookie_merge(std::string& old_cookies, std::string& new_cookies) {
    old_cookies = remove_spaces(old_cookies);
    new_cookies = remove_spaces(new_cookies);
    std::vector<std::string> merged = split_text(new_cookies, ";");
    // Names held so far; a set keeps a reply with many cookies from costing
    // quadratic time, with the same result as searching the growing list.
    std::unordered_set<std::string> names;
    for (const auto& pair : merged) {
        names.insert(cookie_name(pair));
    }
    for (auto& pair : split_text(old_cookies, ";")) {
        if (names.insert(cookie_name(pair)).second) {
            merged.push_back(std::move(pair));
        }
    }
    constexpr std::string_view deleted = "=deleted";
    std::string joined;
    for (const auto& pair : merged) {
        bool is_deleted = pair.size() >= deleted.size() &&
                          std::string_view(pair).substr(pair.size() - deleted.size()) == deleted;
        if (!is_deleted) {
            joined.append(pair);
            joined.append("; ");
        }
    }
    joined.resize(joined.size() >= 2 ? joined.size() - 2 : 0);
    old_cookies = drop_duplicate_pieces(joined, "; ");
    return old_cookies;
}

std::string replace_each(std::string_view text, std::initializer_list<Replacement> pairs,
                         ReplaceOptions options) {
    std::string current(text);
    const int start = options.start.value_or(1) < 1 ? 1 : options.start.value_or(1);
    std::size_t applied = 0;
    for (const auto& pair : pairs) {
        if (applied++ == max_replacement_pairs) {
            break;
        }
        auto from = static_cast<std::size_t>(start) - 1;
        if (pair.find.empty() || from >= current.size()) {
            continue;
        }
        current = replace_one(current, boundary_at_or_after(current, 0, from), pair, options);
    }
    return current;
}

}  // namespace quorvel::web
