#include "harvest/marketplace_answers.h"

#include "harvest/sources.h"
#include "web/url.h"

namespace quorvel::harvest {
namespace {

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool under_domain(std::string_view host, std::string_view domain) {
    return host == domain ||
           (ends_with(host, domain) && host[host.size() - domain.size() - 1] == '.');
}

}  // namespace

bool is_sign_in_host(std::string_view host) {
    constexpr std::string_view prefix = "login.";
    if (host.substr(0, prefix.size()) != prefix) {
        return false;
    }
    const std::string_view rest = host.substr(prefix.size());
    for (std::string_view domain : marketplace_domains) {
        if (under_domain(rest, domain)) {
            return true;
        }
    }
    return false;
}

bool session_present(const std::vector<platform::Cookie>& cookies) {
    for (const platform::Cookie& cookie : cookies) {
        if (!platform::domain_within(cookie.domain, marketplace_domains)) {
            continue;
        }
        bool visitor = false;
        for (std::string_view name : visitor_cookies) {
            visitor = visitor || cookie.name == name;
        }
        if (!visitor) {
            return true;
        }
    }
    return false;
}

ReplyKind classify(const platform::ExchangeOutcome& outcome, std::string_view body) {
    if (outcome.status == 0) {
        return ReplyKind::no_reply;
    }
    if (is_sign_in_host(web::url_host(outcome.final_url))) {
        return ReplyKind::login_wall;
    }
    const std::string full_path = web::url_path(outcome.final_url);
    const std::string_view path = std::string_view(full_path).substr(0, full_path.find('?'));
    for (const AnswerMarker& marker : verification_markers) {
        const std::string_view where = marker.place == MarkerPlace::url_path ? path : body;
        if (where.find(marker.text) != std::string_view::npos) {
            return ReplyKind::verification;
        }
    }
    return ReplyKind::data;
}

}  // namespace quorvel::harvest
