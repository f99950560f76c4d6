#include "web/text_search.h"

#include <climits>

namespace quorvel::web {
namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool is_full_width_space(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
           static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

// Whether `needle` matches `text` at byte index i, which is a boundary with
// enough bytes left. Without case folding this is a plain byte comparison;
// with it, single-byte characters of the needle compare folded and
// double-byte ones exactly, so trail bytes are never folded.
bool matches_at(std::string_view text, std::size_t i, std::string_view needle, bool ignore_case) {
    if (!ignore_case) {
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

std::size_t char_length(std::string_view text, std::size_t i) {
    return (is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

std::size_t boundary_at_or_after(std::string_view text, std::size_t boundary, std::size_t target) {
    while (boundary < target && boundary < text.size()) {
        boundary += char_length(text, boundary);
    }
    return boundary;
}

std::size_t find_from_boundary(std::string_view text, std::string_view needle, std::size_t from,
                               bool ignore_case) {
    if (needle.empty() || needle.size() > text.size()) {
        return npos;
    }
    const std::size_t last = text.size() - needle.size();
    const char first = ignore_case ? fold(needle.front()) : needle.front();
    for (std::size_t i = from; i <= last; i += char_length(text, i)) {
        char c = ignore_case ? fold(text[i]) : text[i];
        if (c == first && matches_at(text, i, needle, ignore_case)) {
            return i;
        }
    }
    return npos;
}

int find_text(std::string_view text, std::string_view needle, int start, bool ignore_case) {
    std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= text.size()) {
        return -1;
    }
    return to_position(
        find_from_boundary(text, needle, boundary_at_or_after(text, 0, from), ignore_case));
}

int find_last_text(std::string_view text, std::string_view needle, bool ignore_case) {
    std::size_t last = npos;
    std::size_t at = find_from_boundary(text, needle, 0, ignore_case);
    while (at != npos) {
        last = at;
        at = find_from_boundary(text, needle, at + char_length(text, at), ignore_case);
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

std::string trim_spaces(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        if (text[begin] == ' ') {
            begin += 1;
        } else if (is_full_width_space(text, begin)) {
            begin += 2;
        } else {
            break;
        }
    }
    // Walk the characters to find where the last one that is not a space ends.
    std::size_t end = begin;
    for (std::size_t i = begin; i < text.size();) {
        std::size_t len = char_length(text, i);
        if (text[i] != ' ' && !is_full_width_space(text, i)) {
            end = i + len;
        }
        i += len;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string remove_spaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = char_length(text, i);
        if (text[i] != ' ' && !is_full_width_space(text, i)) {
            out.append(text.substr(i, len));
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
        std::size_t at = find_from_boundary(text, separator, pos, false);
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
