#pragma once
// Within harvest/: how a request that got no reply is tried again, and what
// the log says of it, the same whether requests go one at a time or several
// at once.

#include <chrono>
#include <string>
#include <string_view>

#include "platform/http_transport.h"

namespace quorvel::harvest {

// Exchanges that got no reply for a reason that may pass: tried again.
bool worth_retrying(const platform::ExchangeOutcome& outcome);

// A URL as the log may show it: without its query, which holds the keyword.
std::string without_query(std::string_view url);

// Logs a certificate or TLS failure, which is not tried again.
void log_not_retried(std::string_view url, const platform::ExchangeOutcome& outcome);

// Logs the wait before try `attempt` (from 2) of `tries`.
void log_retry(std::string_view url, const platform::ExchangeOutcome& outcome,
               std::chrono::milliseconds delay, std::size_t attempt, std::size_t tries);

}  // namespace quorvel::harvest
