#include "platform/ascii_text.h"

namespace quorvel::platform {

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_with_ignoring_case(a, b);
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (ascii_lower(text[i]) != ascii_lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool plain_host(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '.' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> pieces(std::string_view text, std::string_view delimiter,
                                     Delimiter kind) {
    const bool any_of = kind == Delimiter::any_character;
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = any_of ? text.find_first_of(delimiter, pos) : text.find(delimiter, pos);
        if (end == std::string_view::npos) {
            out.push_back(text.substr(pos));
            break;
        }
        out.push_back(text.substr(pos, end - pos));
        pos = end + (any_of ? 1 : delimiter.size());
    }
    return out;
}

}  // namespace quorvel::platform
