#pragma once
// Within platform/: one exchange taken apart into its set-up and its end, so
// that it can run alone (perform_exchange) or beside others on one multi
// handle (ParallelExchanges) with the same options, limits and outcome.

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <stop_token>
#include <tl/expected.hpp>

#include "platform/curl_handles.h"
#include "platform/http_transport.h"

namespace quorvel::platform {

// What a transfer's callbacks collect.
struct Collector {
    TransportReply reply;
    const std::stop_token* stop = nullptr;
    bool body_too_large = false;
    bool headers_too_large = false;
};

// An easy handle configured for one request, with everything it points to.
struct PreparedExchange {
    TransportRequest request;
    EasyHandle curl;
    HeaderList headers;
    HeaderList resolve;
    Collector collector;
    char error_buffer[CURL_ERROR_SIZE] = {};
    std::chrono::steady_clock::time_point started;
};

enum class Multiplexing {
    off,            // HTTP/1.1, one request per connection at a time
    where_offered,  // HTTP/2 streams on one connection where the server agrees (TLS only)
};

// The handle for `request`, or the failed reply when it cannot be made
// (already stopped, an unreachable host, out of memory); that failure is logged.
tl::expected<std::unique_ptr<PreparedExchange>, TransportReply> prepare_exchange(
    TransportRequest request, ConnectionPolicy policy, Multiplexing multiplexing);

// The reply of a transfer that ended with `result`; a failure is logged.
TransportReply finish_exchange(PreparedExchange& exchange, CURLcode result);

// Whether this libcurl can speak HTTP/2.
bool http2_available();

}  // namespace quorvel::platform
