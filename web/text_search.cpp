#include "web/text_search.h"

#include <climits>

namespace quorvel::web {
namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Whether `needle` matches `text` at byte index i, which is a boundary with
// enough bytes left. Without case folding this is a plain byte comparison;
// with it, single-byte characters of the needle compare folded and
// double-byte ones exactly, so trail bytes are never folded.
bool matches_at(std::string_view text, std::size_t i, std::string_view needle, LetterCase letters) {
    if (letters == LetterCase::exact) {
        return text.compare(i, needle.size(), needle) == 0;
    }
    std::size_t j = 0;
    while (j < needle.size()) {
        std::size_t len = char_length(needle, j);
        if (len == 2) {
            if (text[i + j] != needle[j] || text[i + j + 1] != needle[j + 1]) {
                return false;
            }
        } else if (fold(text[i + j]) != fold(needle[j])) {
            return false;
        }
        j += len;
    }
    return true;
}

int to_position(std::size_t index) {
    return index == npos || index >= static_cast<std::size_t>(INT_MAX)
               ? -1
               : static_cast<int>(index) + 1;
}

}  // namespace

std::size_t find_from_boundary(std::string_view text, std::string_view needle, std::size_t from,
                               LetterCase letters) {
    const bool ignore_case = letters == LetterCase::ignore;
    if (needle.empty() || needle.size() > text.size()) {
        return npos;
    }
    const std::size_t last = text.size() - needle.size();
    const char first = ignore_case ? fold(needle.front()) : needle.front();
    for (std::size_t i = from; i <= last; i += char_length(text, i)) {
        char c = ignore_case ? fold(text[i]) : text[i];
        if (c == first && matches_at(text, i, needle, letters)) {
            return i;
        }
    }
    return npos;
}

int find_text(std::string_view text, std::string_view needle, int start, LetterCase letters) {
    std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= text.size()) {
        return -1;
    }
    return to_position(
        find_from_boundary(text, needle, boundary_at_or_after(text, 0, from), letters));
}

int find_last_text(std::string_view text, std::string_view needle, LetterCase letters) {
    std::size_t last = npos;
    std::size_t at = find_from_boundary(text, needle, 0, letters);
    while (at != npos) {
        last = at;
        at = find_from_boundary(text, needle, at + char_length(text, at), letters);
    }
    return to_position(last);
}

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t len = char_length(out, i);
        if (len == 1) {
            out[i] = fold(out[i]);
        }
        i += len;
    }
    return out;
}

std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (text.empty()) {
        return pieces;
    }
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t at = find_from_boundary(text, separator, pos, LetterCase::exact);
        if (at == npos) {
            pieces.emplace_back(text.substr(pos));
            break;
        }
        pieces.emplace_back(text.substr(pos, at - pos));
        pos = boundary_at_or_after(text, at, at + separator.size());
    }
    return pieces;
}

}  // namespace quorvel::web
