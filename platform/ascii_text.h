#pragma once
// Within platform/: the small text helpers its parts share. Letter case is
// ASCII's alone: every other byte, those of multi-byte characters included,
// compares as it is.

#include <string_view>
#include <vector>

namespace quorvel::platform {

char ascii_lower(char c);

bool equal_ignoring_case(std::string_view a, std::string_view b);

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix);

// A host name of letters, digits, "-", "." and "_" alone, not empty: nothing
// that could change how a URL or a cookie line holding it is read.
bool plain_host(std::string_view host);

// What separates the pieces of a text.
enum class Delimiter {
    whole_text,     // the delimiter text as a whole
    any_character,  // any one of its characters
};

// The pieces of `text` between delimiters; nothing after a final delimiter.
std::vector<std::string_view> pieces(std::string_view text, std::string_view delimiter,
                                     Delimiter kind);

}  // namespace quorvel::platform
