#pragma once
// Marker, header, cookie and replacement helpers over code-page text. Every
// helper is a pure function of its arguments except cookie_merge, which also
// writes both of its arguments.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/text_search.h"

namespace quorvel::web {

// In text_between markers this five-byte token ("#" and the two characters
// for "quotation mark") stands for one double quote.
inline constexpr std::string_view quote_token = "#\xD2\xFD\xBA\xC5";

// The text between the first left marker at or after `start` and the first
// right marker after it; empty when either is missing.
std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         int start = 1, LetterCase letters = LetterCase::exact);

// Everything after the first ":", trimmed; empty when there is no ":".
std::string text_after_first_colon(std::string_view text);

// The name of one cookie pair: the text before its first "=", trimmed.
std::string cookie_name(std::string_view pair);

// Whether some pair of the list has exactly this name.
bool cookie_list_has_name(const std::vector<std::string>& pairs, std::string_view name);

// 1-based index of the first element equal to `text`, or -1.
int text_list_find(const std::vector<std::string>& list, std::string_view text);

// The pieces of `text` without repeats (first occurrence wins, order kept),
// joined again with the separator.
std::string drop_duplicate_pieces(std::string_view text, std::string_view separator);

// Merges cookie texts: the new pairs first, then the old pairs whose names the
// new text does not hold, without "=deleted" pairs and exact duplicates.
// Spaces are removed from both arguments, and `old_cookies` ends up holding
// the merged text, which is also returned.
std::string cookie_merge(std::string& old_cookies, std::string& new_cookies);

struct Replacement {
    std::string_view find;
    std::string_view replacement;
};

struct ReplaceOptions {
    std::optional<int> count{};  // at most this many replacements per pair; all when absent
    std::optional<int> start{};  // 1-based; absent or 0 means 1
    bool case_sensitive = false;
};

// Applies up to five find/replacement pairs in order, each to the result of
// the one before. Pairs past the fifth are ignored; an empty find text leaves
// the text unchanged.
std::string replace_each(std::string_view text, std::initializer_list<Replacement> pairs,
                         ReplaceOptions options = {});

}  // namespace quorvel::web
