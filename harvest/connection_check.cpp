#include "harvest/connection_check.h"

#include <cstdio>

#include "data/json_document.h"
#include "harvest/marketplace_answers.h"

namespace quorvel::harvest {
namespace {

// What a reply is before its kind reads it; answered when there is a body to read.
KindCheck received(KeywordSource source, const FetchedReply& reply) {
    KindCheck check{.source = source};
    switch (classify(reply.outcome, reply.text)) {
        case ReplyKind::login_wall:
            check.result = CheckResult::sign_in_page;
            return check;
        case ReplyKind::verification:
            check.result = CheckResult::check_page;
            check.detail = reply.outcome.final_url;
            return check;
        case ReplyKind::no_reply:
        case ReplyKind::data:
            break;
    }
    if (reply.outcome.error != platform::TransportError::none) {
        check.result = CheckResult::network_error;
        check.detail = reply.outcome.error_text.empty()
                           ? std::string(platform::transport_error_name(reply.outcome.error))
                           : reply.outcome.error_text;
        return check;
    }
    // A failed request's body may still parse; its words are not the kind's.
    if (reply.outcome.status >= 400) {
        check.result = CheckResult::error_status;
        check.detail = std::to_string(reply.outcome.status);
        return check;
    }
    check.result = reply.text.empty() ? CheckResult::empty_reply : CheckResult::answered;
    return check;
}

// A suggestion reply read into `document`: its words counted, the first one kept.
KindCheck suggestions(KeywordSource source, const FetchedReply& reply, data::JsonDocument& document,
                      std::string* first_word = nullptr) {
    KindCheck check = received(source, reply);
    if (check.result != CheckResult::answered) {
        return check;
    }
    if (!reply_usable(document, reply.text)) {
        check.result = CheckResult::not_json;
        check.detail = reply.text.substr(0, 64);
        return check;
    }
    check.words = suggestion_count(document);
    if (first_word != nullptr && check.words > 0) {
        *first_word = suggestion_word(document, 1, SpaceMode::drop_spaces);
    }
    return check;
}

KindCheck not_tried(KeywordSource source, KeywordSource parent) {
    return {.source = source,
            .result = CheckResult::not_tried,
            .detail = std::string(info(parent).short_name)};
}

}  // namespace

std::array<KindCheck, 5> check_connection(const MarketplaceHosts& hosts, std::stop_token stop) {
    std::array<KindCheck, 5> checks;

    data::JsonDocument pc;
    checks[index_of(KeywordSource::PcDropdown)] = suggestions(
        KeywordSource::PcDropdown, fetch_reply(pc_suggest_url(check_seed, hosts), stop), pc);
    const KindCheck& pc_check = checks[index_of(KeywordSource::PcDropdown)];
    KindCheck arrows = not_tried(KeywordSource::ArrowWords, KeywordSource::PcDropdown);
    if (pc_check.result == CheckResult::answered && pc_check.words > 0) {
        arrows = {.source = KeywordSource::ArrowWords, .result = CheckResult::answered};
        for (int j = 1; j <= pc_check.words; ++j) {
            arrows.words += static_cast<int>(arrow_words(pc, j, {}).size());
        }
    }
    checks[index_of(KeywordSource::ArrowWords)] = arrows;

    data::JsonDocument document;
    std::string mobile_word;
    checks[index_of(KeywordSource::MobileDropdown)] = suggestions(
        KeywordSource::MobileDropdown, fetch_reply(mobile_suggest_url(check_seed, hosts), stop),
        document, &mobile_word);
    checks[index_of(KeywordSource::LongTail)] =
        mobile_word.empty()
            ? not_tried(KeywordSource::LongTail, KeywordSource::MobileDropdown)
            : suggestions(KeywordSource::LongTail,
                          fetch_reply(mobile_suggest_url(mobile_word, hosts), stop), document);

    const FetchedReply page = fetch_reply(related_url(check_seed, hosts), stop);
    KindCheck related = received(KeywordSource::DidYouMean, page);
    if (related.result == CheckResult::answered) {
        const std::string block = related_block(page.text);
        if (block.empty()) {
            related.result = CheckResult::markers_missing;
        } else if (!reply_usable(document, block)) {
            related.result = CheckResult::not_json;
            related.detail = block.substr(0, 64);
        } else {
            related.words = static_cast<int>(related_words(document).size());
        }
    }
    checks[index_of(KeywordSource::DidYouMean)] = related;
    return checks;
}

std::string shown_safely(std::string_view bytes, std::size_t limit) {
    std::string shown;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            shown += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return bytes.size() > limit ? shown + "..." : shown;
}

std::string check_line(const KindCheck& check) {
    const std::string kind = std::string(info(check.source).short_name) + ": ";
    switch (check.result) {
        case CheckResult::answered:
            return kind + "answered, " + std::to_string(check.words) +
                   (check.words == 1 ? " word" : " words");
        case CheckResult::empty_reply:
            return kind + "empty reply";
        case CheckResult::not_json:
            return kind + "not JSON: \"" + shown_safely(check.detail) + "\"";
        case CheckResult::markers_missing:
            return kind + "markers missing: the search page has no related block";
        case CheckResult::sign_in_page:
            return kind + "sign-in page";
        case CheckResult::check_page:
            return kind + "check page: " + check.detail;
        case CheckResult::network_error:
            return kind + "network or TLS error: " + check.detail;
        case CheckResult::error_status:
            return kind + "HTTP error status " + check.detail;
        case CheckResult::not_tried:
            return kind + "not tried: " + check.detail + " gave no word";
    }
    return kind;
}

}  // namespace quorvel::harvest
