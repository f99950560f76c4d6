#include "harvest/prefetcher.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <thread>

#include "data/json_document.h"
#include "harvest/marketplace_answers.h"
#include "harvest/request_tries.h"
#include "platform/parallel_exchanges.h"

namespace quorvel::harvest {

std::string request_url(RequestKind kind, std::string_view keyword, const MarketplaceHosts& hosts) {
    switch (kind) {
        case RequestKind::pc_suggest:
            return pc_suggest_url(keyword, hosts);
        case RequestKind::related_search:
            return related_url(keyword, hosts);
        case RequestKind::mobile_suggest:
        case RequestKind::long_tail:
            break;
    }
    return mobile_suggest_url(keyword, hosts);
}

namespace {

using Clock = std::chrono::steady_clock;

// Where a request stands within its seed: the order one at a time makes them.
constexpr std::size_t first_long_tail = 3;
// Requests the harvest asked for without their being walked to.
constexpr std::size_t asked_for = 1u << 20;

KeywordSource tick_of(RequestKind kind) {
    return kind == RequestKind::long_tail ? KeywordSource::LongTail : source_of(kind);
}

}  // namespace

struct Prefetcher::Impl {
    enum class State { waiting, in_flight, done };
    struct Entry {
        RequestKey key;
        std::size_t order = 0;  // within its seed
        State state = State::waiting;
        bool demanded = false;  // the harvest waits for it
        std::size_t tries = 0;
        bool check_page = false;  // the reply is a check page
        std::uint64_t tag = 0;    // of the try in flight
        std::string url;          // of the try in flight
        Clock::time_point not_before{};
        PrefetchedReply result;
    };

    Impl(std::vector<std::string> all_seeds, std::size_t first_seed, KindSet kinds,
         const RunOptions& run_options)
        : seeds(std::move(all_seeds)),
          options(run_options),
          parallel(static_cast<std::size_t>(std::clamp(run_options.parallel, 1, max_parallel))),
          exchanges(static_cast<int>(parallel)),
          ticks(kinds),
          current(first_seed),
          walked_to(first_seed) {}

    const std::vector<std::string> seeds;
    const RunOptions& options;
    const std::size_t parallel;
    platform::ParallelExchanges exchanges;
    std::stop_source quit;

    mutable std::mutex mutex;
    std::condition_variable_any arrived;
    KindSet ticks;
    std::size_t current;    // the seed the harvest is at
    std::size_t walked_to;  // seeds before it have their requests listed
    bool paused = false;    // a check page came back: only awaited requests start
    std::uint64_t checks = 0;
    std::uint64_t next_tag = 1;
    std::optional<Clock::time_point> last_start;
    // In the order the harvest takes them: by seed, then within the seed.
    std::list<Entry> entries;

    std::jthread thread;

    bool ending() const { return quit.stop_requested() || options.stop.stop_requested(); }

    // A check page that came back since the last one was passed holds new
    // requests back until the user has seen it.
    bool holds_back(const Entry& e) const {
        return e.check_page && e.result.checks_passed == checks;
    }

    std::list<Entry>::iterator add(RequestKey key, std::size_t order) {
        auto at = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.key.seed > key.seed || (e.key.seed == key.seed && e.order > order);
        });
        Entry entry;
        entry.key = std::move(key);
        entry.order = order;
        return entries.insert(at, std::move(entry));
    }

    std::list<Entry>::iterator find(const RequestKey& key) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const Entry& e) { return e.key == key; });
    }

    // Lists the requests of the seeds up to 2N ahead of the harvest.
    void walk() {
        const std::size_t until = std::min(seeds.size(), current + 2 * parallel);
        for (; walked_to < until; ++walked_to) {
            const std::string& seed = seeds[walked_to];
            std::size_t order = 0;
            for (RequestKind kind : {RequestKind::pc_suggest, RequestKind::mobile_suggest,
                                     RequestKind::related_search}) {
                RequestKey key{walked_to, kind, seed, 0};
                // The harvest may have asked for it before it was walked to.
                if (ticks.has(tick_of(kind)) && find(key) == entries.end()) {
                    add(std::move(key), order);
                }
                ++order;
            }
        }
    }

    // The long-tail requests a seed's mobile reply will lead to, read as the
    // harvest reads it.
    void walk_long_tail(std::size_t seed, const std::string& reply) {
        if (!ticks.has(KeywordSource::LongTail) || !ticks.has(KeywordSource::MobileDropdown)) {
            return;
        }
        data::JsonDocument document;
        if (!reply_usable(document, reply)) {
            return;
        }
        std::map<std::string, int> seen;
        const int n = suggestion_count(document);
        for (int k = 1; k <= n; ++k) {
            std::string word = suggestion_word(document, k, SpaceMode::drop_spaces);
            const int occurrence = seen[word]++;
            RequestKey key{seed, RequestKind::long_tail, word, occurrence};
            if (find(key) != entries.end()) {
                continue;  // the harvest asked for it already
            }
            add(std::move(key), first_long_tail + static_cast<std::size_t>(k - 1));
        }
    }

    // The requests to start now, and how long to wait at most before asking again.
    std::vector<std::pair<std::uint64_t, platform::TransportRequest>> starts(
        std::chrono::milliseconds& wait) {
        std::vector<std::pair<std::uint64_t, platform::TransportRequest>> out;
        auto now = Clock::now();
        auto wake_at = now + std::chrono::seconds(1);
        // Requests of kinds unticked since they were listed are not made.
        std::erase_if(entries, [&](const Entry& e) {
            return e.state == State::waiting && !e.demanded && e.tries == 0 &&
                   !ticks.has(tick_of(e.key.kind));
        });
        while (exchanges.in_flight() + out.size() < parallel) {
            if (options.interval.count() > 0 && last_start &&
                now < *last_start + options.interval) {
                wake_at = std::min(wake_at, *last_start + options.interval);
                break;
            }
            Entry* next = nullptr;
            for (Entry& e : entries) {
                if (e.state != State::waiting || (paused && !e.demanded)) {
                    continue;
                }
                if (e.not_before > now) {
                    wake_at = std::min(wake_at, e.not_before);
                    continue;
                }
                if (next == nullptr || (e.demanded && !next->demanded)) {
                    next = &e;
                    if (e.demanded) {
                        break;
                    }
                }
            }
            if (next == nullptr) {
                break;
            }
            next->state = State::in_flight;
            ++next->tries;
            next->tag = next_tag++;
            next->url = request_url(next->key.kind, next->key.keyword, options.hosts);
            next->result.checks_passed = checks;
            next->result.started = now;
            out.emplace_back(next->tag, reply_request(next->url, options.stop));
            last_start = now;
            now = Clock::now();
        }
        wait = std::chrono::ceil<std::chrono::milliseconds>(
            std::max(wake_at - now, Clock::duration{}));
        return out;
    }

    // A try came back: tried again after its wait, or kept for the harvest.
    void settle(std::uint64_t tag, platform::TransportReply transport) {
        auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.state == State::in_flight && e.tag == tag;
        });
        if (found == entries.end()) {
            return;  // of a seed the harvest has passed
        }
        Entry& entry = *found;
        FetchedReply reply = fetched_reply(std::move(transport));
        const auto& delays = options.retry_delays;
        if (reply.outcome.error == platform::TransportError::tls_failure) {
            log_not_retried(entry.url, reply.outcome);
        } else if (worth_retrying(reply.outcome) && entry.tries <= delays.size()) {
            const std::chrono::milliseconds delay = delays[entry.tries - 1];
            log_retry(entry.url, reply.outcome, delay, entry.tries + 1, delays.size() + 1);
            entry.result.retried.push_back({reply.outcome, static_cast<int>(entry.tries + 1)});
            entry.state = State::waiting;
            entry.not_before = Clock::now() + delay;
            return;
        }
        const ReplyKind kind = classify(reply.outcome, reply.text);
        entry.check_page = kind == ReplyKind::verification;
        paused = paused || holds_back(entry);
        if (kind == ReplyKind::data && entry.key.kind == RequestKind::mobile_suggest) {
            walk_long_tail(entry.key.seed, reply.text);
        }
        entry.result.reply = std::move(reply);
        entry.state = State::done;
    }

    void run() {
        std::stop_callback on_stop(options.stop, [this] { exchanges.wake(); });
        while (!ending()) {
            std::chrono::milliseconds wait{0};
            std::vector<std::pair<std::uint64_t, platform::TransportRequest>> started;
            {
                std::lock_guard lock(mutex);
                walk();
                started = starts(wait);
            }
            for (auto& [tag, request] : started) {
                exchanges.start(tag, std::move(request));
            }
            auto ended = exchanges.wait(wait);
            if (!ended.empty()) {
                std::lock_guard lock(mutex);
                for (auto& [tag, reply] : ended) {
                    settle(tag, std::move(reply));
                }
            }
            arrived.notify_all();
        }
    }
};

Prefetcher::Prefetcher(std::vector<std::string> seeds, std::size_t first_seed, KindSet ticked,
                       const RunOptions& options)
    : impl_(std::make_unique<Impl>(std::move(seeds), first_seed, ticked, options)) {
    impl_->thread = std::jthread([impl = impl_.get()] { impl->run(); });
}

Prefetcher::~Prefetcher() {
    impl_->quit.request_stop();
    impl_->exchanges.wake();
    impl_->thread.join();
}

std::optional<PrefetchedReply> Prefetcher::take(const RequestKey& key) {
    std::unique_lock lock(impl_->mutex);
    auto entry = impl_->find(key);
    if (entry == impl_->entries.end()) {
        entry = impl_->add(key, asked_for);
    }
    entry->demanded = true;
    impl_->exchanges.wake();
    const bool in = impl_->arrived.wait(lock, impl_->options.stop,
                                        [&] { return entry->state == Impl::State::done; });
    if (!in) {
        return std::nullopt;
    }
    PrefetchedReply reply = std::move(entry->result);
    impl_->entries.erase(entry);
    return reply;
}

void Prefetcher::reached(std::size_t seed) {
    std::lock_guard lock(impl_->mutex);
    impl_->current = seed;
    std::erase_if(impl_->entries, [&](const Impl::Entry& e) { return e.key.seed < seed; });
    // A check page of a request the harvest passed by (its kind unticked)
    // holds nothing back any more.
    impl_->paused =
        impl_->paused && std::any_of(impl_->entries.begin(), impl_->entries.end(),
                                     [&](const Impl::Entry& e) { return impl_->holds_back(e); });
    impl_->exchanges.wake();
}

void Prefetcher::ticked(KeywordSource source, bool on) {
    std::lock_guard lock(impl_->mutex);
    KindSet& ticks = impl_->ticks;
    ticks = KindSet::from_bits(on ? ticks.bits() | (1U << index_of(source))
                                  : ticks.bits() & ~(1U << index_of(source)));
    impl_->exchanges.wake();
}

void Prefetcher::check_passed() {
    std::lock_guard lock(impl_->mutex);
    ++impl_->checks;
    impl_->paused = false;
    impl_->exchanges.wake();
}

std::uint64_t Prefetcher::checks_passed() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->checks;
}

}  // namespace quorvel::harvest
