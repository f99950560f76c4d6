#pragma once
// The search primitive under every text helper, and the small text operations
// built on it. Texts are code-page byte strings stepped as
// platform/code_page_text.h steps them, so a search never starts a match on
// the second byte of a character. Positions are 1-based byte positions and -1
// means "not found". Case folding touches the ASCII letters of single-byte
// characters only.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page_text.h"

namespace quorvel::web {

// How a search compares letters: byte for byte, or with the ASCII letters
// of single-byte characters folded.
enum class LetterCase { exact, ignore };

using platform::boundary_at_or_after;
using platform::char_length;
using platform::is_lead_byte;
using platform::remove_spaces;

// Byte index of the first match of `needle` starting on a character boundary
// at or after the boundary `from`, or npos. An empty needle never matches.
std::size_t find_from_boundary(std::string_view text, std::string_view needle, std::size_t from,
                               LetterCase letters);

// 1-based position of the first match at or after position `start` (a start
// below 1 counts as 1), or -1.
int find_text(std::string_view text, std::string_view needle, int start = 1,
              LetterCase letters = LetterCase::exact);

// 1-based position of the last match, or -1.
int find_last_text(std::string_view text, std::string_view needle,
                   LetterCase letters = LetterCase::exact);

inline bool contains_text(std::string_view text, std::string_view needle,
                          LetterCase letters = LetterCase::exact) {
    return find_text(text, needle, 1, letters) != -1;
}

// The text with the ASCII letters A-Z lowered; double-byte characters unchanged.
std::string ascii_lower(std::string_view text);

// Leading and trailing spaces removed: the byte 0x20 and the full-width space 0xA1 0xA1.
inline std::string trim_spaces(std::string_view text) {
    return std::string(platform::trim_spaces_view(text));
}

// The pieces between separators, in order. An empty text gives no pieces; an
// empty piece between two separators is kept; an empty piece after a final
// separator is not produced. An empty separator gives the text as one piece.
std::vector<std::string> split_text(std::string_view text, std::string_view separator);

}  // namespace quorvel::web
