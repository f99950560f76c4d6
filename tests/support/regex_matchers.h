#pragma once
// Regular-expression matchers with std::regex (ECMAScript): GoogleTest's own
// use POSIX regular expressions on Linux but a much smaller syntax on
// Windows, without character classes or counted repeats.

#include <gmock/gmock.h>

#include <regex>
#include <string>

namespace quorvel::testsupport {

MATCHER_P(MatchesPattern, pattern, "matches the regular expression " + std::string(pattern)) {
    return std::regex_match(std::string(arg), std::regex(pattern));
}

MATCHER_P(ContainsPattern, pattern, "contains the regular expression " + std::string(pattern)) {
    return std::regex_search(std::string(arg), std::regex(pattern));
}

}  // namespace quorvel::testsupport
