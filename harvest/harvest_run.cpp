#include "harvest/harvest_run.h"

#include <algorithm>

#include "data/json_document.h"
#include "platform/log.h"
#include "web/text_search.h"

namespace quorvel::harvest {
namespace {

bool ticked(platform::WindowOperations& window, KeywordSource source) {
    return window.read_checked(info(source).check_box);
}

// State that lives for one run and carries over from seed to seed. Every
// step returns at once when the run is stopped: a reply that arrives, or a
// window answer that comes back, after the stop request is never acted on.
struct Run {
    platform::WindowOperations& window;
    HarvestStore& store;
    const MarketplaceHosts& hosts;
    std::stop_token stop;
    data::JsonDocument pc_doc;
    data::JsonDocument aux_doc;
    std::string pc_reply;
    std::string secondary_reply;
    std::vector<std::string> mobile_words;

    bool stopped() const { return stop.stop_requested(); }

    std::string fetch(const std::string& url) { return fetch_reply_text(url, stop); }

    void record(KeywordSource source, const std::string& seed, const std::string& word) {
        record_word(window, store, source, seed, word);
    }

    void failure(std::string_view message, const std::string& seed) {
        platform::log_warning(std::string("message shown: ") + std::string(message) + " (seed \"" +
                              seed + "\")");
        window.show_message(message);
    }

    void pc_step(const std::string& seed) {
        if (!reply_usable(pc_doc, pc_reply)) {
            failure(pc_failure_message, seed);
            return;
        }
        const int n = suggestion_count(pc_doc);
        for (int j = 1; j <= n && !stopped(); ++j) {
            const std::string word = suggestion_word(pc_doc, j, SpaceMode::drop_spaces);
            record(KeywordSource::PcDropdown, seed, word);
            if (ticked(window, KeywordSource::ArrowWords)) {
                for (const std::string& arrow : arrow_words(pc_doc, j, word)) {
                    if (stopped()) {
                        return;
                    }
                    record(KeywordSource::ArrowWords, seed, arrow);
                    pump_pending_input(window);
                }
            }
        }
    }

    void mobile_step(const std::string& seed) {
        if (!reply_usable(aux_doc, secondary_reply)) {
            failure(mobile_failure_message, seed);
            return;
        }
        const int n = suggestion_count(aux_doc);
        for (int k = 1; k <= n && !stopped(); ++k) {
            std::string word = suggestion_word(aux_doc, k, SpaceMode::drop_spaces);
            mobile_words.push_back(word);
            record(KeywordSource::MobileDropdown, seed, word);
            pump_pending_input(window);
        }
    }

    void related_step(const std::string& seed) {
        secondary_reply = related_block(fetch(related_url(seed, hosts)));
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
    }

    void long_tail_step(const std::string& seed) {
        for (const std::string& mobile_word : mobile_words) {
            const std::string reply = fetch(mobile_suggest_url(mobile_word, hosts));
            if (stopped()) {
                return;
            }
            if (!reply_usable(aux_doc, reply)) {
                failure(mobile_failure_message, seed);
                continue;
            }
            const int n = suggestion_count(aux_doc);
            for (int k = 1; k <= n && !stopped(); ++k) {
                record(KeywordSource::LongTail, seed,
                       suggestion_word(aux_doc, k, SpaceMode::keep_spaces));
                pump_pending_input(window);
            }
        }
    }

    void summary(const std::string& seed) {
        SeedRow row{seed, {}};
        for (KeywordSource source : all_sources) {
            row.counts[index_of(source)] = count_lines(window.read_text(info(source).result_box));
        }
        if (stopped()) {
            return;
        }
        store.add_seed_row(std::move(row));
        pump_pending_input(window);
    }

    // Each step runs only while the run goes on; the check box is read
    // afresh at each test, as the user may change it during the run.
    bool step_wanted(KeywordSource source) { return !stopped() && ticked(window, source); }

    void seed(const std::string& seed) {
        if (step_wanted(KeywordSource::PcDropdown)) {
            pc_reply = fetch(pc_suggest_url(seed, hosts));
        }
        if (step_wanted(KeywordSource::MobileDropdown)) {
            secondary_reply = fetch(mobile_suggest_url(seed, hosts));
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
    const auto feeds = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    return feeds + ((!text.empty() && text.back() != '\n') ? 1 : 0);
}

RunEnd start_harvest(platform::WindowOperations& window, HarvestStore& store,
                     const MarketplaceHosts& hosts, std::stop_token stop) {
    if (stop.stop_requested()) {
        return RunEnd::stopped;
    }
    for (KeywordSource source : all_sources) {
        window.set_text(info(source).result_box, "");
    }
    store.clear();
    return run_harvest(window, store, hosts, std::move(stop));
}

RunEnd run_harvest(platform::WindowOperations& window, HarvestStore& store,
                   const MarketplaceHosts& hosts, std::stop_token stop) {
    const std::vector<std::string> seeds = split_seeds(window.read_text(seed_box));
    platform::log_info("harvest started: " + std::to_string(seeds.size()) + " seeds");
    Run run{window, store, hosts, std::move(stop), {}, {}, {}, {}, {}};
    std::size_t done = 0;
    for (const std::string& seed : seeds) {
        if (run.stopped()) {
            break;
        }
        run.seed(seed);
        done += run.stopped() ? 0 : 1;
    }
    const RunEnd end = run.stopped() ? RunEnd::stopped : RunEnd::finished;
    platform::log_info(
        std::string(end == RunEnd::stopped ? "harvest stopped" : "harvest finished") + " after " +
        std::to_string(done) + " of " + std::to_string(seeds.size()) + " seeds");
    return end;
}

void record_word(platform::WindowOperations& window, HarvestStore& store, KeywordSource source,
                 std::string_view seed, std::string_view word) {
    window.append_text(info(source).result_box, std::string(word) + "\r\n");
    store.add_word(source, std::string(seed), std::string(word));
}

void pump_pending_input(platform::WindowOperations& window) {
    if (window.input_pending()) {
        window.pump_messages();
    }
}

}  // namespace quorvel::harvest
