#pragma once
// Several exchanges in flight at once on one libcurl multi handle, over the
// process-wide cookie store and connection cache: as HTTP/2 streams on one
// connection where the server speaks it over TLS, otherwise on up to
// `per_host` connections per host. Each exchange has the options, limits
// and outcome perform_exchange gives it. One thread drives it (start, wait);
// wake may be called from any thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/http_transport.h"

namespace quorvel::platform {

class ParallelExchanges {
  public:
    explicit ParallelExchanges(int per_host);
    // Ends every exchange still in flight; their replies are not given.
    ~ParallelExchanges();
    ParallelExchanges(const ParallelExchanges&) = delete;
    ParallelExchanges& operator=(const ParallelExchanges&) = delete;

    // Starts an exchange; its reply comes from a later wait, with `tag`.
    // Its request's stop token ends it as it ends a single exchange.
    void start(std::uint64_t tag, TransportRequest request);
    // Exchanges started and not yet given back by wait.
    std::size_t in_flight() const;

    struct Ended {
        std::uint64_t tag = 0;
        TransportReply reply;
    };
    // Moves the transfers on and gives back the exchanges that ended; waits
    // up to `longest` for one to end when none has, less when woken.
    std::vector<Ended> wait(std::chrono::milliseconds longest);
    // Ends a wait early (from any thread).
    void wake();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel::platform
