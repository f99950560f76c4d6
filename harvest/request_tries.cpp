#include "harvest/request_tries.h"

#include "platform/log.h"

namespace quorvel::harvest {

bool worth_retrying(const platform::ExchangeOutcome& outcome) {
    using platform::TransportError;
    if (outcome.status != 0) {
        return false;  // a reply came, whatever it says
    }
    switch (outcome.error) {
        case TransportError::could_not_resolve:
        case TransportError::could_not_connect:
        case TransportError::timed_out:
        case TransportError::connection_dropped:
            return true;
        default:
            return false;
    }
}

std::string without_query(std::string_view url) {
    return std::string(url.substr(0, url.find('?')));
}

void log_not_retried(std::string_view url, const platform::ExchangeOutcome& outcome) {
    platform::log_warning("certificate or TLS problem with " + without_query(url) + " (" +
                          outcome.error_text + "); not tried again");
}

void log_retry(std::string_view url, const platform::ExchangeOutcome& outcome,
               std::chrono::milliseconds delay, std::size_t attempt, std::size_t tries) {
    platform::log_warning("no reply from " + without_query(url) + " (" +
                          std::string(platform::transport_error_name(outcome.error)) +
                          "); trying again in " + std::to_string(delay.count()) + " ms, attempt " +
                          std::to_string(attempt) + " of " + std::to_string(tries));
}

}  // namespace quorvel::harvest
