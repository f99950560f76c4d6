#pragma once
// What a harvest tells whoever listens while it runs (the journal, progress
// displays): every request and how it ended, every word, every failure
// message, every finished seed. Calls come from the harvest's own thread, in
// the order things happen; every method does nothing unless overridden.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/harvest_store.h"
#include "harvest/keyword_source.h"
#include "platform/http_transport.h"

namespace quorvel::harvest {

// How a run ended.
enum class RunEnd {
    finished,  // every seed was harvested
    stopped,   // a stop request ended it; nothing was written after the request
};

// The requests a harvest makes for a seed, in the order it makes them.
enum class RequestKind {
    pc_suggest,      // the PC drop-down suggestions (and their arrow words)
    mobile_suggest,  // the mobile drop-down suggestions
    related_search,  // the search page with its related searches
    long_tail,       // the mobile suggestions of one mobile suggestion
};

// The result box a request's words go to (the PC reply fills the arrow box too).
inline constexpr KeywordSource source_of(RequestKind kind) {
    switch (kind) {
        case RequestKind::pc_suggest:
            return KeywordSource::PcDropdown;
        case RequestKind::mobile_suggest:
            return KeywordSource::MobileDropdown;
        case RequestKind::related_search:
            return KeywordSource::DidYouMean;
        case RequestKind::long_tail:
            return KeywordSource::LongTail;
    }
    return KeywordSource::PcDropdown;
}

class HarvestObserver {
  public:
    virtual ~HarvestObserver() = default;

    // The run's seed list; seeds before `first_seed` were finished by an
    // earlier run that this one continues.
    virtual void run_started(const std::vector<std::string>& seeds, std::size_t first_seed) {
        (void)seeds;
        (void)first_seed;
    }
    virtual void seed_started(std::size_t index, const std::string& seed) {
        (void)index;
        (void)seed;
    }
    // A request came back, or failed, after its last try; its reply is
    // processed next.
    virtual void request_done(RequestKind kind, const std::string& seed,
                              const platform::ExchangeOutcome& outcome) {
        (void)kind;
        (void)seed;
        (void)outcome;
    }
    // A request got no reply (it could not resolve or connect, timed out or
    // lost its connection) and is tried again after a wait; `attempt` is the
    // try about to be made, from 2. request_done follows once, for the last try.
    virtual void request_retried(RequestKind kind, const std::string& seed,
                                 const platform::ExchangeOutcome& outcome, int attempt) {
        (void)kind;
        (void)seed;
        (void)outcome;
        (void)attempt;
    }
    // A request of this kind ended on the marketplace's sign-in page at
    // `final_url`; told once per run and kind, however many requests meet it.
    virtual void login_wall(RequestKind kind, const std::string& seed,
                            const std::string& final_url) {
        (void)kind;
        (void)seed;
        (void)final_url;
    }
    // The marketplace answered a request with a human check at `url`; the
    // run's verification handler is asked next.
    virtual void verification_page(RequestKind kind, const std::string& seed,
                                   const std::string& url) {
        (void)kind;
        (void)seed;
        (void)url;
    }
    // A word went into its box and the store. `count` is the suggestion's
    // count text, empty when the reply has none or the kind carries none.
    virtual void word_recorded(KeywordSource source, std::size_t seed_index,
                               const std::string& seed, const std::string& word,
                               const std::string& count) {
        (void)source;
        (void)seed_index;
        (void)seed;
        (void)word;
        (void)count;
    }
    // Every word of one reply has been recorded.
    virtual void reply_processed(RequestKind kind) { (void)kind; }
    // A failure message is about to be shown, for this kind and seed.
    virtual void failure_message(std::string_view message, KeywordSource source,
                                 const std::string& seed) {
        (void)message;
        (void)source;
        (void)seed;
    }
    // The seed's summary row was stored.
    virtual void seed_finished(std::size_t index, const SeedRow& row) {
        (void)index;
        (void)row;
    }
    virtual void run_ended(RunEnd end) { (void)end; }
};

// Passes every call on to each of several observers, in order.
class ObserverList : public HarvestObserver {
  public:
    void add(HarvestObserver& observer) { observers_.push_back(&observer); }

    void run_started(const std::vector<std::string>& seeds, std::size_t first_seed) override {
        for (HarvestObserver* o : observers_) {
            o->run_started(seeds, first_seed);
        }
    }
    void seed_started(std::size_t index, const std::string& seed) override {
        for (HarvestObserver* o : observers_) {
            o->seed_started(index, seed);
        }
    }
    void request_done(RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override {
        for (HarvestObserver* o : observers_) {
            o->request_done(kind, seed, outcome);
        }
    }
    void request_retried(RequestKind kind, const std::string& seed,
                         const platform::ExchangeOutcome& outcome, int attempt) override {
        for (HarvestObserver* o : observers_) {
            o->request_retried(kind, seed, outcome, attempt);
        }
    }
    void login_wall(RequestKind kind, const std::string& seed,
                    const std::string& final_url) override {
        for (HarvestObserver* o : observers_) {
            o->login_wall(kind, seed, final_url);
        }
    }
    void verification_page(RequestKind kind, const std::string& seed,
                           const std::string& url) override {
        for (HarvestObserver* o : observers_) {
            o->verification_page(kind, seed, url);
        }
    }
    void word_recorded(KeywordSource source, std::size_t seed_index, const std::string& seed,
                       const std::string& word, const std::string& count) override {
        for (HarvestObserver* o : observers_) {
            o->word_recorded(source, seed_index, seed, word, count);
        }
    }
    void reply_processed(RequestKind kind) override {
        for (HarvestObserver* o : observers_) {
            o->reply_processed(kind);
        }
    }
    void failure_message(std::string_view message, KeywordSource source,
                         const std::string& seed) override {
        for (HarvestObserver* o : observers_) {
            o->failure_message(message, source, seed);
        }
    }
    void seed_finished(std::size_t index, const SeedRow& row) override {
        for (HarvestObserver* o : observers_) {
            o->seed_finished(index, row);
        }
    }
    void run_ended(RunEnd end) override {
        for (HarvestObserver* o : observers_) {
            o->run_ended(end);
        }
    }

  private:
    std::vector<HarvestObserver*> observers_;
};

}  // namespace quorvel::harvest
