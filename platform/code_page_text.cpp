#include "platform/code_page_text.h"

namespace quorvel::platform {

std::size_t boundary_at_or_after(std::string_view text, std::size_t boundary, std::size_t target) {
    while (boundary < target && boundary < text.size()) {
        boundary += char_length(text, boundary);
    }
    return boundary;
}

std::size_t find_single_byte_char(std::string_view text, char c, std::size_t from) {
    for (std::size_t i = boundary_at_or_after(text, 0, from); i < text.size();
         i += char_length(text, i)) {
        if (text[i] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string_view trim_spaces_view(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        if (text[begin] == ' ') {
            begin += 1;
        } else if (is_full_width_space_at(text, begin)) {
            begin += 2;
        } else {
            break;
        }
    }
    // Walk the characters to find where the last one that is not a space ends.
    std::size_t end = begin;
    for (std::size_t i = begin; i < text.size();) {
        std::size_t len = char_length(text, i);
        if (text[i] != ' ' && !is_full_width_space_at(text, i)) {
            end = i + len;
        }
        i += len;
    }
    return text.substr(begin, end - begin);
}

std::string remove_spaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = char_length(text, i);
        if (text[i] != ' ' && !is_full_width_space_at(text, i)) {
            out.append(text.substr(i, len));
        }
        i += len;
    }
    return out;
}

}  // namespace quorvel::platform
