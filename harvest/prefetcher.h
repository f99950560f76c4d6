#pragma once
// Requests of a harvest with several in flight. A thread of its own walks
// the seeds ahead of the seed being filled in and keeps up to N requests
// going: paced across all of them, tried again after their own waits, and
// none started while a check page waits for the user. The harvest takes each
// reply when it reaches its request, in the order one request at a time
// makes them, so that what it does with them is the same.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/harvest_run.h"
#include "harvest/keyword_source.h"
#include "harvest/observer.h"
#include "harvest/sources.h"

namespace quorvel::harvest {

// One request of a run: its seed, its kind and the keyword it asks for (the
// seed, or for a long-tail request the mobile word), and how many requests of
// the same seed and kind asked for that keyword before it.
struct RequestKey {
    std::size_t seed = 0;
    RequestKind kind = RequestKind::pc_suggest;
    std::string keyword;  // code-page text
    int occurrence = 0;
    bool operator==(const RequestKey&) const = default;
};

// The address a request of this kind asks for `keyword`.
std::string request_url(RequestKind kind, std::string_view keyword, const MarketplaceHosts& hosts);

// A try that got no reply, made again after its wait; `attempt` is the try
// made next, from 2.
struct RetriedTry {
    platform::ExchangeOutcome outcome;
    int attempt = 0;
};

struct PrefetchedReply {
    FetchedReply reply;               // of the last try
    std::vector<RetriedTry> retried;  // in the order they were made
    // How many check pages had been passed when the last try started, and when it started.
    std::uint64_t checks_passed = 0;
    std::chrono::steady_clock::time_point started{};
};

class Prefetcher {
  public:
    // Starts fetching the seeds from `first_seed` on, for the kinds ticked.
    // `options` must outlive the prefetcher.
    Prefetcher(std::vector<std::string> seeds, std::size_t first_seed, KindSet ticked,
               const RunOptions& options);
    // Ends every request in flight.
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // Waits for the reply to `key`; one not fetched ahead is started before
    // any other, even while a check page waits. Nothing once the run is
    // stopped. Each reply is taken once: taking it again fetches it anew.
    std::optional<PrefetchedReply> take(const RequestKey& key);
    // The harvest is at `seed`: what earlier seeds left is dropped, and
    // requests are made for the seeds up to 2N ahead of it.
    void reached(std::size_t seed);
    // A check box was read: an unticked kind is fetched ahead no more, a
    // ticked one from the next seed walked to.
    void ticked(KeywordSource source, bool on);
    // The user passed a check page: requests start again.
    void check_passed();
    std::uint64_t checks_passed() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel::harvest
