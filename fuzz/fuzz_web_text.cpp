// Feeds arbitrary bytes to the web layer's text helpers: the input is split at
// zero bytes into a text and the markers, finds and replacements they take.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "web/text_helpers.h"
#include "web/url.h"

using namespace quorvel::web;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    for (std::size_t pos = 0; parts.size() < 5;) {
        std::size_t end = input.find('\0', pos);
        parts.push_back(
            input.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        if (end == std::string_view::npos) {
            break;
        }
        pos = end + 1;
    }
    parts.resize(5);
    const std::string_view text = parts[0];
    const int start = parts[4].empty() ? 1 : static_cast<unsigned char>(parts[4][0]) - 64;

    // A piece cut out by text_between always stands in the text.
    std::string between = text_between(text, parts[1], parts[2], start,
                                       start % 2 == 0 ? LetterCase::ignore : LetterCase::exact);
    if (!between.empty() && text.find(between) == std::string_view::npos) {
        std::abort();
    }
    std::string replaced =
        replace_each(text, {{parts[1], parts[2]}, {parts[3], ""}},
                     {.count = start % 3 == 0 ? std::optional<int>(start) : std::nullopt,
                      .start = start,
                      .case_sensitive = start % 5 == 0});
    // Replacing a text by itself changes nothing.
    if (replace_each(text, {{parts[1], parts[1]}}, {.case_sensitive = true}) != text) {
        std::abort();
    }
    std::string old_cookies(text);
    std::string new_cookies(parts[1]);
    std::string merged = cookie_merge(old_cookies, new_cookies);
    if (merged != old_cookies) {
        std::abort();
    }
    drop_duplicate_pieces(text, parts[2]);
    text_after_first_colon(text);
    url_host(text);
    url_host(text, HostPort::keep);
    url_port(text);
    std::string path = url_path(text);
    if (path.empty() || path.front() != '/') {
        std::abort();
    }
    return static_cast<int>(replaced.size() & 0);
}
