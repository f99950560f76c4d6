#include "harvest/harvest_run.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "data/json_document.h"
#include "harvest/marketplace_answers.h"
#include "harvest/prefetcher.h"
#include "harvest/request_tries.h"
#include "platform/log.h"
#include "web/text_search.h"

namespace quorvel::harvest {
namespace {

// Tells nobody anything: stands in when a run has no observer.
HarvestObserver nobody;

std::string_view request_name(RequestKind kind) {
    switch (kind) {
        case RequestKind::pc_suggest:
            return "PC suggestions";
        case RequestKind::mobile_suggest:
            return "mobile suggestions";
        case RequestKind::related_search:
            return "search page";
        case RequestKind::long_tail:
            return "long-tail suggestions";
    }
    return "request";
}

// State that lives for one run and carries over from seed to seed. Every
// step returns at once when the run is stopped: a reply that arrives, or a
// window answer that comes back, after the stop request is never acted on.
struct Run {
    Run(platform::WindowOperations& w, HarvestStore& s, const RunOptions& o, HarvestObserver& obs)
        : window(w), store(s), options(o), observer(obs) {}

    platform::WindowOperations& window;
    HarvestStore& store;
    const RunOptions& options;
    HarvestObserver& observer;
    data::JsonDocument pc_doc;
    data::JsonDocument aux_doc;
    std::string pc_reply;
    std::string secondary_reply;
    std::vector<std::string> mobile_words;
    std::size_t seed_index = 0;
    std::optional<std::chrono::steady_clock::time_point> last_request;
    // The run was ended from inside, by the answer to a check page.
    bool halted = false;
    // Kinds whose sign-in page the observer has been told of.
    std::array<bool, 4> login_wall_told{};
    // With several requests in flight: what fetches them, and the check
    // boxes as it was last told of them.
    std::unique_ptr<Prefetcher> prefetcher;
    KindSet told_ticks;

    // Reads a check box afresh; a fetcher ahead hears of a change.
    bool ticked(KeywordSource source) {
        const bool on = window.read_checked(info(source).check_box);
        if (prefetcher && on != told_ticks.has(source)) {
            told_ticks = KindSet::from_bits(told_ticks.bits() ^ (1U << index_of(source)));
            prefetcher->ticked(source, on);
        }
        return on;
    }

    bool stopped() const { return halted || options.stop.stop_requested(); }

    // Waits until `until`, or less when the run is stopped.
    void wait_until(std::chrono::steady_clock::time_point until) const {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_until(lock, options.stop, until, [] { return false; });
    }

    // Waits out the least time between two requests; a stop ends the wait.
    void pace() {
        const auto now = std::chrono::steady_clock::now();
        if (options.interval.count() > 0 && last_request &&
            now < *last_request + options.interval) {
            wait_until(*last_request + options.interval);
        }
        last_request = std::chrono::steady_clock::now();
    }

    // One request, tried again after each wait of retry_delays while no
    // reply comes for a reason that may pass. The outcome of the last try.
    FetchedReply fetch_with_retries(RequestKind kind, const std::string& seed,
                                    const std::string& url) {
        for (std::size_t attempt = 1;; ++attempt) {
            pace();
            if (stopped()) {
                return {};
            }
            FetchedReply reply = fetch_reply(url, options.stop);
            if (stopped()) {
                return reply;
            }
            if (reply.outcome.error == platform::TransportError::tls_failure) {
                log_not_retried(url, reply.outcome);
                return reply;
            }
            if (!worth_retrying(reply.outcome) || attempt > options.retry_delays.size()) {
                return reply;
            }
            const std::chrono::milliseconds delay = options.retry_delays[attempt - 1];
            log_retry(url, reply.outcome, delay, attempt + 1, options.retry_delays.size() + 1);
            observer.request_retried(kind, seed, reply.outcome, static_cast<int>(attempt + 1));
            wait_until(std::chrono::steady_clock::now() + delay);
            if (stopped()) {
                return reply;
            }
        }
    }

    // Tells the observer, once per run and kind, of a sign-in page.
    void login_wall(RequestKind kind, const std::string& seed, const std::string& final_url) {
        bool& told = login_wall_told[static_cast<std::size_t>(kind)];
        if (told) {
            return;
        }
        told = true;
        platform::log_warning("the marketplace asks to sign in: the " +
                              std::string(request_name(kind)) + " request ended at " +
                              without_query(final_url));
        observer.login_wall(kind, seed, final_url);
    }

    // Asks the run's handler about a check page; false ends the run.
    bool passed_check(RequestKind kind, const std::string& seed, const std::string& url) {
        platform::log_warning("the marketplace shows a verification page for the " +
                              std::string(request_name(kind)) + " request: " + without_query(url));
        observer.verification_page(kind, seed, url);
        const bool retry = options.on_verification &&
                           options.on_verification({kind, seed, url}) == VerificationAnswer::retry;
        if (!retry) {
            platform::log_warning("the run stops at the verification page");
        }
        return retry;
    }

    // The reply fetched ahead for a request, with the tries that got no
    // reply told in their order; nothing when the run is stopped.
    std::optional<PrefetchedReply> take(RequestKind kind, const std::string& seed,
                                        const std::string& keyword, int occurrence) {
        std::optional<PrefetchedReply> taken =
            prefetcher->take({seed_index, kind, keyword, occurrence});
        if (!taken || stopped()) {
            return std::nullopt;
        }
        for (const RetriedTry& retried : taken->retried) {
            observer.request_retried(kind, seed, retried.outcome, retried.attempt);
        }
        return taken;
    }

    // The reply text of the request of this kind for `keyword` (the seed, or
    // the mobile word of a long-tail request, asked for `occurrence` times
    // before in this seed) for the reply reading of its kind: empty when it
    // is no data (no reply, a sign-in page), and empty with the run ended
    // when a check page was not passed.
    std::string fetch(RequestKind kind, const std::string& seed, const std::string& keyword,
                      int occurrence = 0) {
        for (;;) {
            FetchedReply reply;
            std::uint64_t checks_passed = 0;
            if (prefetcher) {
                std::optional<PrefetchedReply> taken = take(kind, seed, keyword, occurrence);
                if (!taken) {
                    return {};
                }
                reply = std::move(taken->reply);
                checks_passed = taken->checks_passed;
            } else {
                reply = fetch_with_retries(kind, seed, request_url(kind, keyword, options.hosts));
            }
            if (stopped()) {
                return {};
            }
            switch (classify(reply.outcome, reply.text)) {
                case ReplyKind::verification:
                    if (prefetcher && checks_passed < prefetcher->checks_passed()) {
                        continue;  // sent before the check was passed: sent again
                    }
                    if (!passed_check(kind, seed, reply.outcome.final_url)) {
                        halted = true;
                        return {};
                    }
                    if (stopped()) {
                        return {};
                    }
                    if (prefetcher) {
                        prefetcher->check_passed();
                    }
                    continue;  // the same request again
                case ReplyKind::login_wall:
                    login_wall(kind, seed, reply.outcome.final_url);
                    observer.request_done(kind, seed, reply.outcome);
                    return {};
                case ReplyKind::data:
                case ReplyKind::no_reply:
                    break;
            }
            observer.request_done(kind, seed, reply.outcome);
            return std::move(reply.text);
        }
    }

    void record(KeywordSource source, const std::string& seed, const std::string& word,
                const std::string& count = {}) {
        record_word(window, store, source, seed, word, count);
        observer.word_recorded(source, seed_index, seed, word, count);
    }

    void failure(std::string_view message, KeywordSource source, const std::string& seed) {
        platform::log_warning(std::string("message shown: ") + std::string(message) + " (seed \"" +
                              seed + "\")");
        observer.failure_message(message, source, seed);
        window.show_message(message);
    }

    void pc_step(const std::string& seed) {
        if (!reply_usable(pc_doc, pc_reply)) {
            failure(pc_failure_message, KeywordSource::PcDropdown, seed);
            return;
        }
        const int n = suggestion_count(pc_doc);
        for (int j = 1; j <= n && !stopped(); ++j) {
            const std::string word = suggestion_word(pc_doc, j, SpaceMode::drop_spaces);
            record(KeywordSource::PcDropdown, seed, word, suggestion_count_text(pc_doc, j));
            if (ticked(KeywordSource::ArrowWords)) {
                for (const std::string& arrow : arrow_words(pc_doc, j, word)) {
                    if (stopped()) {
                        return;
                    }
                    record(KeywordSource::ArrowWords, seed, arrow);
                    pump_pending_input(window);
                }
            }
        }
        if (!stopped()) {
            observer.reply_processed(RequestKind::pc_suggest);
        }
    }

    void mobile_step(const std::string& seed) {
        if (!reply_usable(aux_doc, secondary_reply)) {
            failure(mobile_failure_message, KeywordSource::MobileDropdown, seed);
            return;
        }
        const int n = suggestion_count(aux_doc);
        for (int k = 1; k <= n && !stopped(); ++k) {
            std::string word = suggestion_word(aux_doc, k, SpaceMode::drop_spaces);
            mobile_words.push_back(word);
            record(KeywordSource::MobileDropdown, seed, word, suggestion_count_text(aux_doc, k));
            pump_pending_input(window);
        }
        if (!stopped()) {
            observer.reply_processed(RequestKind::mobile_suggest);
        }
    }

    void related_step(const std::string& seed) {
        secondary_reply = related_block(fetch(RequestKind::related_search, seed, seed));
        if (stopped() || !reply_usable(aux_doc, secondary_reply)) {
            return;
        }
        for (const std::string& word : related_words(aux_doc)) {
            if (stopped()) {
                return;
            }
            record(KeywordSource::DidYouMean, seed, word);
            pump_pending_input(window);
        }
        observer.reply_processed(RequestKind::related_search);
    }

    void long_tail_step(const std::string& seed) {
        // A word met again in the list asks again; the count tells those requests apart.
        std::map<std::string, int> asked;
        for (const std::string& mobile_word : mobile_words) {
            const std::string reply =
                fetch(RequestKind::long_tail, seed, mobile_word, asked[mobile_word]++);
            if (stopped()) {
                return;
            }
            if (!reply_usable(aux_doc, reply)) {
                failure(mobile_failure_message, KeywordSource::LongTail, seed);
                continue;
            }
            const int n = suggestion_count(aux_doc);
            for (int k = 1; k <= n && !stopped(); ++k) {
                record(KeywordSource::LongTail, seed,
                       suggestion_word(aux_doc, k, SpaceMode::keep_spaces),
                       suggestion_count_text(aux_doc, k));
                pump_pending_input(window);
            }
            if (!stopped()) {
                observer.reply_processed(RequestKind::long_tail);
            }
        }
    }

    void summary(const std::string& seed) {
        SeedRow row{seed, {}};
        for (KeywordSource source : all_sources) {
            row.counts[index_of(source)] = window.line_count(info(source).result_box);
        }
        if (stopped()) {
            return;
        }
        store.add_seed_row(row);
        observer.seed_finished(seed_index, row);
        pump_pending_input(window);
    }

    // Each step runs only while the run goes on; the check box is read
    // afresh at each test, as the user may change it during the run.
    bool step_wanted(KeywordSource source) { return !stopped() && ticked(source); }

    void seed(const std::string& seed) {
        if (prefetcher) {
            prefetcher->reached(seed_index);
        }
        observer.seed_started(seed_index, seed);
        if (step_wanted(KeywordSource::PcDropdown)) {
            pc_reply = fetch(RequestKind::pc_suggest, seed, seed);
        }
        if (step_wanted(KeywordSource::MobileDropdown)) {
            secondary_reply = fetch(RequestKind::mobile_suggest, seed, seed);
        }
        mobile_words.clear();
        if (step_wanted(KeywordSource::PcDropdown)) {
            pc_step(seed);
        }
        if (step_wanted(KeywordSource::MobileDropdown)) {
            mobile_step(seed);
        }
        if (step_wanted(KeywordSource::DidYouMean)) {
            related_step(seed);
        }
        if (step_wanted(KeywordSource::LongTail)) {
            long_tail_step(seed);
        }
        if (!stopped()) {
            summary(seed);
        }
    }
};

}  // namespace

std::vector<std::string> split_seeds(std::string_view text) {
    return web::split_text(text, "\r\n");
}

int count_lines(std::string_view text) {
    return platform::count_text_lines(text);
}

RunEnd start_harvest(platform::WindowOperations& window, HarvestStore& store,
                     const RunOptions& options) {
    if (options.stop.stop_requested()) {
        // Stopped before it began: those keeping the run still hear its end.
        if (options.observer != nullptr) {
            options.observer->run_ended(RunEnd::stopped);
        }
        return RunEnd::stopped;
    }
    for (KeywordSource source : all_sources) {
        window.set_text(info(source).result_box, "");
    }
    store.clear();
    return run_harvest(window, store, options);
}

RunEnd run_harvest(platform::WindowOperations& window, HarvestStore& store,
                   const RunOptions& options) {
    const std::vector<std::string> seeds = split_seeds(window.read_text(seed_box));
    HarvestObserver& observer = options.observer != nullptr ? *options.observer : nobody;
    platform::log_info("harvest started: " + std::to_string(seeds.size()) + " seeds" +
                       (options.first_seed > 0
                            ? ", continuing at seed " + std::to_string(options.first_seed + 1)
                            : std::string()));
    observer.run_started(seeds, options.first_seed);
    Run run(window, store, options, observer);
    std::size_t done = std::min(options.first_seed, seeds.size());
    if (options.parallel > 1) {
        // Fetched ahead for the kinds ticked now; the steps read them afresh.
        for (KeywordSource source : all_sources) {
            if (window.read_checked(info(source).check_box)) {
                run.told_ticks.add(source);
            }
        }
        run.prefetcher = std::make_unique<Prefetcher>(seeds, done, run.told_ticks, options);
    }
    for (run.seed_index = done; run.seed_index < seeds.size() && !run.stopped(); ++run.seed_index) {
        run.seed(seeds[run.seed_index]);
        done += run.stopped() ? 0 : 1;
    }
    // Every request still in flight ends before the run's end is told.
    run.prefetcher.reset();
    const RunEnd end = run.stopped() ? RunEnd::stopped : RunEnd::finished;
    platform::log_info(
        std::string(end == RunEnd::stopped ? "harvest stopped" : "harvest finished") + " after " +
        std::to_string(done) + " of " + std::to_string(seeds.size()) + " seeds");
    observer.run_ended(end);
    return end;
}

void record_word(platform::WindowOperations& window, HarvestStore& store, KeywordSource source,
                 std::string_view seed, std::string_view word, std::string_view count) {
    window.append_text(info(source).result_box, std::string(word) + "\r\n");
    store.add_word(source, std::string(seed), std::string(word), std::string(count));
}

void pump_pending_input(platform::WindowOperations& window) {
    if (window.input_pending()) {
        window.pump_messages();
    }
}

}  // namespace quorvel::harvest
