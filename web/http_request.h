#pragma once
// The program's one network path: a complete HTTP or HTTPS exchange that
// returns the reply body, builds the request header block from the caller's
// lines plus fixed defaults, hands back the raw reply headers, collects the
// reply's cookies and can merge them with the cookies the caller sent.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/bytes.h"
#include "platform/http_transport.h"

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
    // Not one of the eleven: a stop request ends the exchange at once.
    std::stop_token stop{};
};

struct HttpReply {
    Bytes body;                         // empty when the exchange failed
    std::string returned_headers;       // raw reply header block; empty when no reply arrived
    std::string returned_cookies;       // first pair of each Set-Cookie line, joined by "; "
    platform::ExchangeOutcome outcome;  // how the exchange ended, for the log and the user
};

// The verb for a method index; indices outside 0-7 give "GET".
std::string_view method_verb(int method);

// Request flags, with the values of the Windows Internet client's flag word,
// which describes every exchange.
namespace request_flags {
inline constexpr std::uint32_t reload = 0x80000000;  // never serve from a cache
inline constexpr std::uint32_t need_file = 0x00000010;
inline constexpr std::uint32_t no_cookies = 0x00080000;  // neither send nor store shared cookies
inline constexpr std::uint32_t no_auto_redirect = 0x00200000;
inline constexpr std::uint32_t secure = 0x00800000;  // HTTPS
inline constexpr std::uint32_t ignore_redirect_to_https = 0x00004000;
}  // namespace request_flags

struct RequestTraits {
    bool cookies_supplied = false;
    bool no_redirect = false;
    bool secure = false;
};

// The request flag word an exchange is described by.
std::uint32_t request_flags_for(RequestTraits traits);

// What the flag word asks of the transport.
platform::TransportOptions transport_options_for(std::uint32_t flags);

// One exchange with every argument given.
HttpReply HttpRequest(HttpRequestArgs& args);

// The two halves of HttpRequest, for exchanges made beside others: the
// transport's request (completing args.headers and args.body_bytes as the
// call does), and the reply made of the transport's (merging args.cookies
// as the call does).
platform::TransportRequest transport_request_for(HttpRequestArgs& args);
HttpReply http_reply_from(platform::TransportReply transport, HttpRequestArgs& args);

// One GET of `url` with every other argument omitted; returns the body.
Bytes HttpRequest(std::string_view url);

}  // namespace quorvel::web
