#include "web/url.h"

#include <climits>

#include "web/text_helpers.h"

namespace quorvel::web {
namespace {

bool starts_with_lowered(std::string_view url, std::string_view prefix) {
    return ascii_lower(url.substr(0, prefix.size())) == prefix;
}

// Leading decimal digits as an integer, 0 when there are none; saturates
// instead of overflowing.
int leading_number(std::string_view text) {
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(value);
}

}  // namespace

std::string url_host(std::string_view url, HostPort port) {
    std::string s = ascii_lower(url);
    if (s.empty() || s.back() != '/') {
        s.push_back('/');
    }
    if (s.compare(0, 8, "https://") == 0) {
        s = text_between(s, "https://", "/");
    } else {
        if (!contains_text(s, "http://")) {
            s.insert(0, "http://");
        }
        s = text_between(s, "http://", "/");
    }
    if (port == HostPort::keep) {
        return s;
    }
    int colon = find_text(s, ":");
    return colon == -1 ? s : s.substr(0, static_cast<std::size_t>(colon) - 1);
}

int url_port(std::string_view url) {
    std::string host = url_host(url, HostPort::keep);
    int colon = find_last_text(host, ":");
    if (colon != -1) {
        return leading_number(std::string_view(host).substr(static_cast<std::size_t>(colon)));
    }
    return starts_with_lowered(url, "https") ? 443 : 80;
}

std::string url_path(std::string_view url) {
    std::string host = url_host(url);
    int p = find_text(url, host, 1, LetterCase::ignore);
    int q = find_text(url, "/", p);
    if (q > 0) {
        return std::string(url.substr(static_cast<std::size_t>(q) - 1));
    }
    return "/";
}

}  // namespace quorvel::web
