#pragma once
// The process-wide HTTP transport: one exchange over libcurl, with one shared
// cookie store, DNS cache, TLS session cache and connection cache for the whole
// process, so that sequential requests to one host reuse a warm connection.

#include <cstdint>
#include <string>

#include "platform/bytes.h"

namespace quorvel::platform {

// Request flags, with the values of the Windows Internet client's flag word so
// that callers describe a request the way the rest of the program does.
namespace request_flags {
inline constexpr std::uint32_t reload = 0x80000000;  // never serve from a cache
inline constexpr std::uint32_t need_file = 0x00000010;
inline constexpr std::uint32_t no_cookies = 0x00080000;  // neither send nor store shared cookies
inline constexpr std::uint32_t no_auto_redirect = 0x00200000;
inline constexpr std::uint32_t secure = 0x00800000;  // HTTPS
inline constexpr std::uint32_t ignore_redirect_to_https = 0x00004000;
}  // namespace request_flags

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
    std::uint32_t flags = 0;
    // Extra header lines separated by CR LF, sent in this order and byte for byte.
    std::string header_block;
    bool send_body = false;  // false: no body at all (GET); true: `body`, maybe zero-length
    Bytes body;
};

struct TransportReply {
    bool got_reply = false;  // a status line arrived
    Bytes body;              // as delivered, after transfer decoding; empty on failure
    // Status line and header lines of the final reply, each ended by CR LF,
    // the block ended by an empty line; empty when no reply arrived.
    std::string headers;
};

enum class ConnectionPolicy {
    shared,  // the process-wide caches: warm connections, DNS and TLS sessions reused
    fresh,   // a private connection opened and closed for this exchange alone
};

// Largest reply body accepted; a larger one fails the exchange (empty body).
inline constexpr std::size_t max_reply_body = 64u * 1024u * 1024u;

// Performs one exchange synchronously. Never throws; failures give an empty
// body and, when no reply arrived, empty headers.
TransportReply perform_exchange(const TransportRequest& request, ConnectionPolicy policy);

// The same with the process's connection policy (shared unless changed).
TransportReply perform_exchange(const TransportRequest& request);

// Measurement only: the connection policy of every exchange that names none,
// so that whole harvests can be timed with fresh connections.
void set_default_connection_policy(ConnectionPolicy policy);

// With true, ends every exchange in flight at once (their sockets are shut
// down) and makes new ones fail without sending anything: for leaving the
// program while a request is under way. False lets exchanges run again.
void set_exchanges_aborted(bool aborted);

// Test-only: trust this CA file in addition to the system's certificates.
// An empty path restores the system certificates alone.
void set_extra_ca_file_for_tests(const std::string& path);

}  // namespace quorvel::platform
