#include "platform/transport_settings.h"

#include <charconv>

#include "platform/ascii_text.h"
#include "platform/http_transport.h"

namespace quorvel::platform {
namespace {

// `text` in quotes, then `why`. (Built by appending: GCC 12 gives a false
// -Wrestrict warning for "\"" + std::string(...) at -O2.)
std::string quoted(std::string_view text, std::string_view why) {
    std::string out = "\"";
    out += text;
    out += "\" ";
    out += why;
    return out;
}

}  // namespace

std::string select_proxy(std::string_view list, bool secure) {
    std::string_view wanted = secure ? "https" : "http";
    std::string generic;
    for (std::string_view entry : pieces(list, " \t;", Delimiter::any_character)) {
        if (entry.empty()) {
            continue;
        }
        std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            if (generic.empty()) {
                generic = std::string(entry);
            }
            continue;
        }
        std::string_view scheme = entry.substr(0, eq);
        if (equal_ignoring_case(scheme, wanted)) {
            return std::string(entry.substr(eq + 1));
        }
    }
    return generic;
}

tl::expected<ResolveEntry, std::string> parse_resolve_entry(std::string_view text) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return tl::unexpected(quoted(text, "is not HOST:PORT:ADDRESS"));
    }
    ResolveEntry entry;
    entry.host = std::string(text.substr(0, first));
    const std::string_view port = text.substr(first + 1, second - first - 1);
    entry.address = std::string(text.substr(second + 1));
    if (!plain_host(entry.host)) {
        return tl::unexpected(quoted(entry.host, "is not a host name"));
    }
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < 1 ||
        value > 65535) {
        return tl::unexpected(quoted(port, "is not a port (1-65535)"));
    }
    entry.port = value;
    const std::string& a = entry.address;
    const bool bracketed = a.size() > 2 && a.front() == '[' && a.back() == ']';
    const bool valid =
        bracketed ? numeric_address(a.substr(1, a.size() - 2), true) : numeric_address(a, false);
    if (!valid) {
        return tl::unexpected(quoted(a, "is not an IPv4 address or an IPv6 address in brackets"));
    }
    return entry;
}

}  // namespace quorvel::platform
