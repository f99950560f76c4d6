#pragma once
// Requests to the marketplace and the reading of its replies: the PC and
// mobile drop-down suggestions, the arrow refinements of the PC reply, and
// the related searches of the search page.

#include <array>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "data/json_document.h"
#include "platform/http_transport.h"

namespace quorvel::harvest {

// The marketplace's hosts (with an optional ":port"). The program always uses
// the defaults; tests point them at a local server.
struct MarketplaceHosts {
    std::string suggest = "suggest.taobao.com";
    std::string search = "s.taobao.com";
};

// The marketplace's own domains: these and their subdomains hold its
// signed-in session (only their cookies are taken from a cookie file), and a
// "login." host under one of them is its sign-in page.
inline constexpr std::array<std::string_view, 2> marketplace_domains = {"taobao.com", "tmall.com"};

// The page the sign-in window opens.
inline constexpr std::string_view sign_in_page = "https://login.taobao.com/";

enum class SpaceMode { drop_spaces, keep_spaces };

// GET of `url` with every other request argument omitted; the body up to its
// first zero byte, as code-page text. Empty on any failure, and at once when
// `stop` is requested.
std::string fetch_reply_text(std::string_view url, std::stop_token stop = {});

// The same text, with how the exchange ended.
struct FetchedReply {
    std::string text;
    platform::ExchangeOutcome outcome;
};
FetchedReply fetch_reply(std::string_view url, std::stop_token stop = {});
// The two halves of fetch_reply, for requests made beside others.
platform::TransportRequest reply_request(std::string_view url, std::stop_token stop = {});
FetchedReply fetched_reply(platform::TransportReply transport);

// "https://HOST/sug?code=utf-8&q=..." with a fresh timestamp.
std::string pc_suggest_url(std::string_view keyword, const MarketplaceHosts& hosts = {});
// "https://HOST/sug?q=...&code=utf-8&area=c2c&nick=&sid=null&callback=".
std::string mobile_suggest_url(std::string_view keyword, const MarketplaceHosts& hosts = {});
// "https://HOST/search?&initiative_id=staobaoz_YYYYMMDD&q=..." with today's date.
std::string related_url(std::string_view seed, const MarketplaceHosts& hosts = {});

// Parses the reply into the document; usable when it parsed and is not empty.
bool reply_usable(data::JsonDocument& document, std::string_view reply);
int suggestion_count(const data::JsonDocument& document);
// Suggestion i (from 1) with its highlight marks, and with drop_spaces its
// ASCII spaces, removed.
std::string suggestion_word(const data::JsonDocument& document, int i, SpaceMode mode);
std::string strip_markup(std::string_view text, SpaceMode mode);
// The count text the marketplace sends beside suggestion i (from 1): the
// entry's second field as plain text; empty when there is none.
std::string suggestion_count_text(const data::JsonDocument& document, int i);

// The arrow words of PC suggestion j (from 1): `base` followed by each title
// of every "magic" entry whose index names j, in order.
std::vector<std::string> arrow_words(const data::JsonDocument& document, int j,
                                     std::string_view base);

// The related-word block of a search page: the text between `related":` and
// the first `,"tab"` after it.
std::string related_block(std::string_view page);
// The related words of a parsed block, in order.
std::vector<std::string> related_words(const data::JsonDocument& document);

}  // namespace quorvel::harvest
