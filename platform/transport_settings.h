#pragma once
// Within platform/: the transport's settings read from text, without libcurl:
// the proxy list of a request and the --resolve entries (parse_resolve_entry,
// declared in platform/http_transport.h, is in transport_settings.cpp).

#include <string>
#include <string_view>

namespace quorvel::platform {

// Picks the proxy for one request out of a proxy list: an entry for the
// request's scheme ("http=host:port") wins over one for every scheme
// ("host:port"); no matching entry means a direct connection (empty).
std::string select_proxy(std::string_view list, bool secure);

// Whether `text` is a numeric IPv6 address (`v6`) or IPv4 address; each
// system reads it with its own inet_pton (http_transport_posix.cpp,
// http_transport_windows.cpp).
bool numeric_address(const std::string& text, bool v6);

}  // namespace quorvel::platform
