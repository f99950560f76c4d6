#pragma once
// A check of the marketplace's replies: one request of each kind for a fixed
// everyday seed, and for each kind what came back, so that an empty result
// box can be traced to the kind whose replies changed or were refused.

#include <array>
#include <stop_token>
#include <string>
#include <string_view>

#include "harvest/keyword_source.h"
#include "harvest/sources.h"

namespace quorvel::harvest {

// The seed every check asks about, code-page text: 连衣裙.
inline constexpr std::string_view check_seed = "\xC1\xAC\xD2\xC2\xC8\xB9";

enum class CheckResult {
    answered,         // words read, maybe none
    empty_reply,      // a reply without a body
    not_json,         // a body the kind's reading cannot parse
    markers_missing,  // a search page without its related block
    sign_in_page,     // the request ended on the marketplace's sign-in page
    check_page,       // the marketplace asks for a human check
    network_error,    // no whole reply: no connection, TLS, a dropped connection
    error_status,     // a reply whose status says the request failed (400 and over)
    not_tried,        // the kind's request needs a word its parent kind did not give
};

struct KindCheck {
    KeywordSource source = KeywordSource::PcDropdown;
    CheckResult result = CheckResult::not_tried;
    int words = 0;
    // not_json: the body's first bytes as sent; check_page: its address;
    // network_error: the transfer library's reason; error_status: the status.
    std::string detail{};
};

// Sends the check's requests, once each and without retries; the kinds in
// the order of all_sources. The arrow words come from the PC reply, and the
// long-tail request asks about the first mobile word.
std::array<KindCheck, 5> check_connection(const MarketplaceHosts& hosts = {},
                                          std::stop_token stop = {});

// "pc: answered, 10 words": one line (UTF-8) for a kind's check.
std::string check_line(const KindCheck& check);

// At most `limit` bytes of `bytes` as printable ASCII, every other byte
// (and the backslash) escaped as \xNN; "..." when bytes were left off.
std::string shown_safely(std::string_view bytes, std::size_t limit = 40);

}  // namespace quorvel::harvest
