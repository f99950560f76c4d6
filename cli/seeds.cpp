#include "cli/seeds.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>

#include "platform/code_page.h"
#include "platform/file_read.h"
#include "platform/utf8_path.h"

namespace quorvel::cli {
namespace {

// Why a seed cannot be used as it stands, or nothing.
std::optional<std::string> unusable(std::string_view seed) {
    if (!platform::valid_utf8(seed)) {
        return "is not valid UTF-8";
    }
    if (seed.find('\0') != std::string_view::npos) {
        return "holds a NUL byte";
    }
    return std::nullopt;
}

void append_seed(std::string& text, std::string_view seed) {
    text += platform::convert_code_page(seed, platform::code_page_utf8, platform::code_page_gbk);
    text += "\r\n";
}

}  // namespace

tl::expected<std::string, std::string> seed_text_from_arguments(
    const std::vector<std::string>& seeds) {
    std::string text;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string which = "seed argument " + std::to_string(i + 1);
        if (auto why = unusable(seeds[i])) {
            return tl::unexpected(which + " " + *why);
        }
        if (seeds[i].find_first_of("\r\n") != std::string::npos) {
            return tl::unexpected(which + " holds a line break; give one seed per argument");
        }
        append_seed(text, seeds[i]);
    }
    return text;
}

tl::expected<std::string, std::string> seed_text_from_lines(std::string_view text,
                                                            std::string_view name) {
    // A byte-order mark, as Windows editors write, is not part of the first seed.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::string seeds;
    std::size_t line = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++line;
        std::size_t end = text.find('\n', pos);
        std::string_view seed = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (!seed.empty() && seed.back() == '\r') {
            seed.remove_suffix(1);
        }
        if (auto why = unusable(seed)) {
            return tl::unexpected("line " + std::to_string(line) + " of " + std::string(name) +
                                  " " + *why);
        }
        append_seed(seeds, seed);
        if (end == std::string_view::npos) {
            break;
        }
        pos = end + 1;
    }
    return seeds;
}

tl::expected<std::string, std::string> seed_text_from_file(const std::string& path) {
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) {
            return tl::unexpected(std::string("cannot read the seeds from standard input"));
        }
        return seed_text_from_lines(text, "standard input");
    }
    auto read = platform::read_whole_file(platform::path_from_utf8(path));
    if (!read) {
        return tl::unexpected("cannot read " + path + ": " + read.error().reason);
    }
    return seed_text_from_lines(*read, path);
}

tl::expected<harvest::KindSet, std::string> parse_kinds(std::string_view text) {
    harvest::KindSet kinds;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = text.find(',', pos);
        const std::string_view name =
            text.substr(pos, comma == std::string_view::npos ? comma : comma - pos);
        const auto source = harvest::source_named(name);
        if (!source) {
            return tl::unexpected("unknown kind \"" + std::string(name) +
                                  "\" (kinds: pc, arrow, mobile, longtail, related)");
        }
        kinds.add(*source);
        if (comma == std::string_view::npos) {
            break;
        }
        pos = comma + 1;
    }
    return kinds;
}

}  // namespace quorvel::cli
