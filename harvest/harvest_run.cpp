#include "harvest/harvest_run.h"

#include <algorithm>

#include "data/json_document.h"
#include "web/text_search.h"

namespace quorvel::harvest {
namespace {

bool ticked(platform::WindowOperations& window, KeywordSource source) {
    return window.read_checked(info(source).check_box);
}

// State that lives for one run and carries over from seed to seed.
struct Run {
    platform::WindowOperations& window;
    HarvestStore& store;
    const MarketplaceHosts& hosts;
    data::JsonDocument pc_doc;
    data::JsonDocument aux_doc;
    std::string pc_reply;
    std::string secondary_reply;
    std::vector<std::string> mobile_words;

    void record(KeywordSource source, const std::string& seed, const std::string& word) {
        record_word(window, store, source, seed, word);
    }

    void pc_step(const std::string& seed) {
        if (!reply_usable(pc_doc, pc_reply)) {
            window.show_message(pc_failure_message);
            return;
        }
        const int n = suggestion_count(pc_doc);
        for (int j = 1; j <= n; ++j) {
            const std::string word = suggestion_word(pc_doc, j, SpaceMode::drop_spaces);
            record(KeywordSource::PcDropdown, seed, word);
            if (ticked(window, KeywordSource::ArrowWords)) {
                for (const std::string& arrow : arrow_words(pc_doc, j, word)) {
                    record(KeywordSource::ArrowWords, seed, arrow);
                    pump_pending_input(window);
                }
            }
        }
    }

    void mobile_step(const std::string& seed) {
        if (!reply_usable(aux_doc, secondary_reply)) {
            window.show_message(mobile_failure_message);
            return;
        }
        const int n = suggestion_count(aux_doc);
        for (int k = 1; k <= n; ++k) {
            std::string word = suggestion_word(aux_doc, k, SpaceMode::drop_spaces);
            mobile_words.push_back(word);
            record(KeywordSource::MobileDropdown, seed, word);
            pump_pending_input(window);
        }
    }

    void related_step(const std::string& seed) {
        secondary_reply = related_block(fetch_reply_text(related_url(seed, hosts)));
        if (!reply_usable(aux_doc, secondary_reply)) {
            return;
        }
        for (const std::string& word : related_words(aux_doc)) {
            record(KeywordSource::DidYouMean, seed, word);
            pump_pending_input(window);
        }
    }

    void long_tail_step(const std::string& seed) {
        for (const std::string& mobile_word : mobile_words) {
            const std::string reply = fetch_reply_text(mobile_suggest_url(mobile_word, hosts));
            if (!reply_usable(aux_doc, reply)) {
                window.show_message(mobile_failure_message);
                continue;
            }
            const int n = suggestion_count(aux_doc);
            for (int k = 1; k <= n; ++k) {
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
        store.add_seed_row(std::move(row));
        pump_pending_input(window);
    }

    void seed(const std::string& seed) {
        if (ticked(window, KeywordSource::PcDropdown)) {
            pc_reply = fetch_reply_text(pc_suggest_url(seed, hosts));
        }
        if (ticked(window, KeywordSource::MobileDropdown)) {
            secondary_reply = fetch_reply_text(mobile_suggest_url(seed, hosts));
        }
        mobile_words.clear();
        if (ticked(window, KeywordSource::PcDropdown)) {
            pc_step(seed);
        }
        if (ticked(window, KeywordSource::MobileDropdown)) {
            mobile_step(seed);
        }
        if (ticked(window, KeywordSource::DidYouMean)) {
            related_step(seed);
        }
        if (ticked(window, KeywordSource::LongTail)) {
            long_tail_step(seed);
        }
        summary(seed);
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

void start_harvest(platform::WindowOperations& window, HarvestStore& store,
                   const MarketplaceHosts& hosts) {
    for (KeywordSource source : all_sources) {
        window.set_text(info(source).result_box, "");
    }
    store.clear();
    run_harvest(window, store, hosts);
}

void run_harvest(platform::WindowOperations& window, HarvestStore& store,
                 const MarketplaceHosts& hosts) {
    Run run{window, store, hosts, {}, {}, {}, {}, {}};
    for (const std::string& seed : split_seeds(window.read_text(seed_box))) {
        run.seed(seed);
    }
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
