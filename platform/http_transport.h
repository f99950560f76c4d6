#pragma once
// The process-wide HTTP transport: one exchange over libcurl, with one shared
// cookie store, DNS cache, TLS session cache and connection cache for the whole
// process, so that sequential requests to one host reuse a warm connection.
// Every exchange can be stopped on its own through its stop token; stopping
// one never touches another.

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "platform/bytes.h"

namespace quorvel::platform {

struct TransportOptions {
    bool secure = false;           // HTTPS, with the peer's certificate and host name checked
    bool follow_redirects = true;  // an HTTPS request is never carried on to plain HTTP
    bool shared_cookies = true;    // send and store the process-wide cookies
    bool operator==(const TransportOptions&) const = default;
};

struct TransportRequest {
    std::string agent;  // User-Agent text
    // Proxy list as the Windows Internet client takes it: empty for a direct
    // connection, "host:port" for every scheme, or scheme-specific entries such
    // as "http=host:port", separated by spaces or semicolons.
    std::string proxy;
    std::string host;
    int port = 0;
    std::string path;  // object path, starting with "/", query included
    std::string verb;
    TransportOptions options;
    // Extra header lines separated by CR LF, sent in this order and byte for byte.
    std::string header_block;
    bool send_body = false;  // false: no body at all (GET); true: `body`, maybe zero-length
    Bytes body;
    // A stop request ends the exchange at once, wherever it is.
    std::stop_token stop;
};

// What went wrong with an exchange, in the terms a user and the log need.
enum class TransportError {
    none,
    could_not_resolve,
    could_not_connect,
    tls_failure,
    timed_out,
    connection_dropped,
    reply_too_large,
    aborted,
    other,
};

// A short English name for the log ("could not connect").
std::string_view transport_error_name(TransportError error);

// How an exchange ended, beside the reply itself.
struct ExchangeOutcome {
    TransportError error = TransportError::none;
    std::string error_text;      // the library's own words; empty without an error
    bool body_complete = false;  // the whole body arrived
    std::string final_url;       // after redirects; empty when nothing was sent
    long status = 0;             // status code of the final reply; 0 without one
    std::chrono::milliseconds elapsed{0};
};

struct TransportReply {
    bool got_reply = false;  // a status line arrived
    Bytes body;              // as delivered, after transfer decoding; empty when too large
    // Status line and header lines of the final reply, each ended by CR LF,
    // the block ended by an empty line; empty when no reply arrived.
    std::string headers;
    ExchangeOutcome outcome;
};

enum class ConnectionPolicy {
    shared,  // the process-wide caches: warm connections, DNS and TLS sessions reused
    fresh,   // a private connection opened and closed for this exchange alone
};

// Largest reply body accepted; a larger one fails the exchange (empty body).
inline constexpr std::size_t max_reply_body = 64u * 1024u * 1024u;

// Performs one exchange synchronously. Never throws. A failed exchange is
// logged (without the URL's query) and says why in `outcome`; its body is
// whatever arrived before the failure.
TransportReply perform_exchange(const TransportRequest& request, ConnectionPolicy policy);

// The same with the process's connection policy (shared unless changed).
TransportReply perform_exchange(const TransportRequest& request);

// Measurement only: the connection policy of every exchange that names none,
// so that whole harvests can be timed with fresh connections.
void set_default_connection_policy(ConnectionPolicy policy);

// Trust the certificates of this CA file in addition to the system's (a
// network that intercepts TLS, local test servers). An empty path restores
// the system certificates alone.
void set_extra_ca_file(const std::string& path);

// One "HOST:PORT:ADDRESS" entry, as curl's --resolve takes it: requests to
// HOST on PORT connect to ADDRESS (an IPv4 address, or IPv6 in brackets)
// instead of what the name resolves to.
struct ResolveEntry {
    std::string host;
    int port = 0;
    std::string address;  // as written, brackets included
    std::string text() const { return host + ":" + std::to_string(port) + ":" + address; }
};

// Reads an entry; the error says what is wrong with it.
tl::expected<ResolveEntry, std::string> parse_resolve_entry(std::string_view text);

// The entries every later exchange of the process uses; empty for none.
void set_resolve_entries(const std::vector<ResolveEntry>& entries);

}  // namespace quorvel::platform
