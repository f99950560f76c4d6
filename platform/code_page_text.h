#pragma once
// Stepping through code-page text (GB18030, read as code page 936): a byte
// 0x81-0xFE starts a double-byte character and takes the next byte with it,
// so a trail byte that happens to equal an ASCII code ("@", "[", "]", "m") is
// never read on its own. A four-byte GB18030 character steps as two pairs,
// which keeps every boundary it has. A lead byte at the very end stands alone.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::platform {

// Whether `byte` starts a double-byte character.
constexpr bool is_lead_byte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// Length in bytes of the character starting at byte index `i` (1 or 2).
inline std::size_t char_length(std::string_view text, std::size_t i) {
    return (is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// Byte index of the first character boundary at or after `target`, walking
// from `boundary`, which must itself be a boundary.
std::size_t boundary_at_or_after(std::string_view text, std::size_t boundary, std::size_t target);

// Byte index of the first character `c` (a single-byte character) standing on
// a boundary at or after `from`, or npos.
std::size_t find_single_byte_char(std::string_view text, char c, std::size_t from = 0);

// Whether the character at byte index `i` is the full-width space 0xA1 0xA1.
inline bool is_full_width_space_at(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
           static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

// The text without leading and trailing spaces: the byte 0x20 and the
// full-width space 0xA1 0xA1, taken on character boundaries.
std::string_view trim_spaces_view(std::string_view text);

// Every space (0x20, 0xA1 0xA1) removed, wherever it stands.
std::string remove_spaces(std::string_view text);

}  // namespace quorvel::platform
