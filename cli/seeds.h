#pragma once
// Seeds and kinds as the command line takes them, turned into what the
// harvest reads: the seed box's text and the ticked kinds.

#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "harvest/keyword_source.h"

namespace quorvel::cli {

// The seed box's text (code-page text, each seed followed by CR LF) for
// seeds given as arguments (UTF-8). The error says which one is unusable.
tl::expected<std::string, std::string> seed_text_from_arguments(
    const std::vector<std::string>& seeds);

// The same for UTF-8 text of one seed per line (LF or CR LF line ends; an
// empty line is a seed; a final line break adds none). `name` names the
// source in errors, which give the line.
tl::expected<std::string, std::string> seed_text_from_lines(std::string_view text,
                                                            std::string_view name);

// The same for a file, or standard input for "-".
tl::expected<std::string, std::string> seed_text_from_file(const std::string& path);

// "pc,arrow,mobile,longtail,related" or any part of it, in any order.
tl::expected<harvest::KindSet, std::string> parse_kinds(std::string_view text);

}  // namespace quorvel::cli
