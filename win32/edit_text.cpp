#include "win32/edit_text.h"

#include <algorithm>

namespace quorvel::win32 {

std::u16string with_crlf(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r') {
            out += u"\r\n";
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string appended_text(std::u16string_view text, bool after_cr) {
    if (after_cr && !text.empty() && text.front() == u'\n') {
        text.remove_prefix(1);
    }
    return with_crlf(text);
}

void LineTally::add(std::u16string_view text) {
    for (const char16_t c : text) {
        if (c == u'\r') {
            ++breaks;
        } else if (c == u'\n' && !after_cr) {
            ++breaks;
        }
        after_cr = c == u'\r';
    }
    if (!text.empty()) {
        open = text.back() != u'\n' && text.back() != u'\r';
    }
}

LineTally tally_of_box(int line_count, int last_line_length) {
    LineTally tally;
    tally.breaks = std::max(line_count - 1, 0);
    tally.open = last_line_length > 0;
    return tally;
}

}  // namespace quorvel::win32
