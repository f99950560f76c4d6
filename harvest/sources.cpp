#include "harvest/sources.h"

#include <cmath>

#include "data/date_time.h"
#include "data/encoding.h"
#include "data/number_text.h"
#include "data/request_timestamp.h"
#include "web/http_request.h"
#include "web/text_helpers.h"

namespace quorvel::harvest {
namespace {

std::string encoded(std::string_view keyword) {
    return data::url_encode(keyword, data::Unreserved::encode, data::EncodeBytes::utf8);
}

std::string index_path(std::string_view prefix, int index, std::string_view suffix) {
    std::string path(prefix);
    path += std::to_string(index);
    path += suffix;
    return path;
}

// A text read as a number the way the arrow block's "index" is: its leading
// number, or 0 when it starts with none; "." is the decimal point whatever
// the locale.
double leading_number(const std::string& text) {
    return data::parse_number(text, data::NumberExtent::leading).value_or(0);
}

}  // namespace

std::string fetch_reply_text(std::string_view url, std::stop_token stop) {
    return fetch_reply(url, std::move(stop)).text;
}

FetchedReply fetch_reply(std::string_view url, std::stop_token stop) {
    return fetched_reply(platform::perform_exchange(reply_request(url, std::move(stop))));
}

platform::TransportRequest reply_request(std::string_view url, std::stop_token stop) {
    web::HttpRequestArgs args;
    args.url = std::string(url);
    args.stop = std::move(stop);
    return web::transport_request_for(args);
}

FetchedReply fetched_reply(platform::TransportReply transport) {
    web::HttpRequestArgs args;
    web::HttpReply reply = web::http_reply_from(std::move(transport), args);
    return {data::gbk_from_utf8(text_from_bytes(reply.body)), std::move(reply.outcome)};
}

std::string pc_suggest_url(std::string_view keyword, const MarketplaceHosts& hosts) {
    return "https://" + hosts.suggest + "/sug?code=utf-8&q=" + encoded(keyword) +
           "&_ksTS=" + data::request_timestamp(data::TimestampForm::with_milliseconds) +
           "_3909&callback=&k=1&area=c2c&bucketid=11";
}

std::string mobile_suggest_url(std::string_view keyword, const MarketplaceHosts& hosts) {
    return "https://" + hosts.suggest + "/sug?q=" + encoded(keyword) +
           "&code=utf-8&area=c2c&nick=&sid=null&callback=";
}

std::string related_url(std::string_view seed, const MarketplaceHosts& hosts) {
    return "https://" + hosts.search + "/search?&initiative_id=staobaoz_" +
           data::format_date_time(std::nullopt, data::DateStyle::compact, data::DateFields::date) +
           "&q=" + encoded(seed) +
           "&suggest=history_1&_input_charset=utf-8&wq=&suggest_query=&source=suggest";
}

bool reply_usable(data::JsonDocument& document, std::string_view reply) {
    const bool parsed = document.parse(reply);
    return parsed && !reply.empty();
}

int suggestion_count(const data::JsonDocument& document) {
    return document.count("result");
}

std::string suggestion_word(const data::JsonDocument& document, int i, SpaceMode mode) {
    return strip_markup(document.get_text(index_path("result[", i - 1, "][0]")), mode);
}

std::string suggestion_count_text(const data::JsonDocument& document, int i) {
    return document.get_text(index_path("result[", i - 1, "][1]"));
}

std::string strip_markup(std::string_view text, SpaceMode mode) {
    if (mode == SpaceMode::drop_spaces) {
        return web::replace_each(text, {{"<b>", ""}, {"</b>", ""}, {" ", ""}});
    }
    return web::replace_each(text, {{"<b>", ""}, {"</b>", ""}});
}

std::vector<std::string> arrow_words(const data::JsonDocument& document, int j,
                                     std::string_view base) {
    std::vector<std::string> words;
    const int entries = document.count("magic");
    for (int k = 1; k <= entries; ++k) {
        const std::string entry = index_path("magic[", k - 1, "]");
        if (std::fabs(leading_number(document.get_text(entry + ".index")) - j) > 1e-7) {
            continue;
        }
        const int groups = document.count(entry + ".data");
        for (int l = 1; l <= groups; ++l) {
            const std::string group = index_path(entry + ".data[", l - 1, "]");
            const int items = document.count(group);
            for (int t = 1; t <= items; ++t) {
                words.push_back(std::string(base) +
                                document.get_text(index_path(group + "[", t - 1, "].title")));
            }
        }
    }
    return words;
}

std::string related_block(std::string_view page) {
    return web::text_between(page, "related\":", ",\"tab\"");
}

std::vector<std::string> related_words(const data::JsonDocument& document) {
    std::vector<std::string> words;
    const int count = document.count("data.words");
    for (int i = 1; i <= count; ++i) {
        words.push_back(document.get_text(index_path("data.words[", i - 1, "].text")));
    }
    return words;
}

}  // namespace quorvel::harvest
