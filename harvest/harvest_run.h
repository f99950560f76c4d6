#pragma once
// The harvest: for every seed line, the ticked kinds of related keyword are
// requested in a fixed order, each word found is appended to its result box
// and stored with its seed, and a summary row closes the seed.

#include <array>
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/harvest_store.h"
#include "harvest/keyword_source.h"
#include "harvest/observer.h"
#include "harvest/sources.h"
#include "platform/window_operations.h"

namespace quorvel::harvest {

// Messages in code-page text: "抓取下拉词失败" and "移动端抓取下拉词失败".
inline constexpr std::string_view pc_failure_message =
    "\xD7\xA5\xC8\xA1\xCF\xC2\xC0\xAD\xB4\xCA\xCA\xA7\xB0\xDC";
inline constexpr std::string_view mobile_failure_message =
    "\xD2\xC6\xB6\xAF\xB6\xCB\xD7\xA5\xC8\xA1\xCF\xC2\xC0\xAD\xB4\xCA\xCA\xA7\xB0\xDC";

// The seed lines of the seed box's text: cut at every CR LF, empty lines
// kept, the empty piece after a final CR LF dropped.
std::vector<std::string> split_seeds(std::string_view text);

// Lines of a result box: its line feeds, plus one for an unterminated last line.
int count_lines(std::string_view text);

// A human check the marketplace showed instead of answering a request.
struct VerificationPage {
    RequestKind kind;
    std::string seed;  // code-page text
    std::string url;   // the check page's address
};

enum class VerificationAnswer {
    retry,  // the check was passed: the same request is sent again
    stop,   // the run ends as stopped, resumable from the seed it stood at
};

// Asked on the harvest's thread; the run waits for its answer.
using VerificationHandler = std::function<VerificationAnswer(const VerificationPage&)>;

// How one run goes, beyond the window it reads and writes.
struct RunOptions {
    MarketplaceHosts hosts{};
    // Tested between steps and before every word, message and summary row;
    // ends the request in flight.
    std::stop_token stop{};
    // Told what happens as it happens; none when null.
    HarvestObserver* observer = nullptr;
    // Continuing an earlier run: the seeds before this one are finished, and
    // the boxes and the store already hold what they found.
    std::size_t first_seed = 0;
    // The least time between the starts of two requests.
    std::chrono::milliseconds interval{0};
    // The waits before the second and the third try of a request that got no
    // reply (no name, no connection, a timeout, a dropped connection).
    std::array<std::chrono::milliseconds, 2> retry_delays{std::chrono::seconds(1),
                                                          std::chrono::seconds(3)};
    // Asked when the marketplace shows a check page; none: the run stops.
    VerificationHandler on_verification{};
    // How many requests may be in flight at once, from 1 to max_parallel.
    // Above 1, requests are fetched ahead of the seed being filled in, and
    // their replies are applied in the order one request at a time would
    // make them, with the same results.
    int parallel = 1;
};

inline constexpr int max_parallel = 8;

// Empties the five result boxes and the store, then runs the harvest.
RunEnd start_harvest(platform::WindowOperations& window, HarvestStore& store,
                     const RunOptions& options = {});

// Runs the harvest over the seed box's lines with the ticked kinds.
RunEnd run_harvest(platform::WindowOperations& window, HarvestStore& store,
                   const RunOptions& options = {});

// Appends the word and a line break to the source's result box and stores it
// with its seed (and the suggestion's count text, if any).
void record_word(platform::WindowOperations& window, HarvestStore& store, KeywordSource source,
                 std::string_view seed, std::string_view word, std::string_view count = {});

// Lets the window process waiting keyboard and mouse input, if there is any.
void pump_pending_input(platform::WindowOperations& window);

}  // namespace quorvel::harvest
