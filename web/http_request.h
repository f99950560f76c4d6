#pragma once
// The program's one network path: a complete HTTP or HTTPS exchange that
// returns the reply body, builds the request header block from the caller's
// lines plus fixed defaults, hands back the raw reply headers, collects the
// reply's cookies and can merge them with the cookies the caller sent.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/bytes.h"

namespace quorvel::web {

inline constexpr std::string_view default_agent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The eleven arguments, with their defaults for omitted ones. The in/out
// members are written back by the call: `headers` receives the header block
// that was sent, `body_bytes` the body that was sent (for methods other than
// GET), and `cookies` the merged cookie text.
struct HttpRequestArgs {
    std::string url{};
    int method = 0;  // index into GET POST HEAD PUT OPTIONS DELETE TRACE CONNECT; others mean GET
    std::string body_text{};               // used when body_bytes is empty
    std::optional<std::string> cookies{};  // in/out; nullopt: not supplied (shared cookie store)
    std::string headers{};                 // in/out; lines separated by CR LF
    bool no_redirect = false;
    Bytes body_bytes{};   // in/out
    std::string proxy{};  // empty: direct connection
    bool merge_cookies = true;
};

struct HttpReply {
    Bytes body;                    // empty when the exchange failed
    std::string returned_headers;  // raw reply header block; empty when no reply arrived
    std::string returned_cookies;  // first pair of each Set-Cookie line, joined by "; "
};

// The verb for a method index; indices outside 0-7 give "GET".
std::string_view method_verb(int method);

// The request flag word the exchange is described by.
std::uint32_t request_flags_for(bool cookies_supplied, bool no_redirect, bool secure);

// One exchange with every argument given.
HttpReply HttpRequest(HttpRequestArgs& args);

// One GET of `url` with every other argument omitted; returns the body.
Bytes HttpRequest(std::string_view url);

}  // namespace quorvel::web
