#include "shell/session_file.h"

#include <algorithm>
#include <ctime>
#include <system_error>

#include "harvest/marketplace_answers.h"
#include "harvest/sources.h"
#include "platform/log.h"
#include "platform/session_cookies.h"
#include "platform/utf8_path.h"
#include "shell/texts.h"

namespace quorvel::shell {
namespace {

// The domain a pasted Cookie header is taken for: the one its request went to.
constexpr std::string_view header_domain = "taobao.com";

bool expired(const platform::Cookie& cookie, std::int64_t now) {
    return cookie.expires != 0 && cookie.expires <= now;
}

std::int64_t now_seconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// The first line holding more than white space, without its line end.
std::string_view first_line(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return {};
    }
    text.remove_prefix(start);
    return text.substr(0, text.find_first_of("\r\n"));
}

// Whether the text is a Netscape cookie file rather than a Cookie header: its
// first line is a comment or a cookie line's tab-parted fields, unless it is
// the header's name ("Cookie:", or "cookie" and a tab as a table copies it).
bool cookie_file_text(std::string_view text) {
    const std::string_view line = first_line(text);
    constexpr std::string_view name = "cookie";
    if (line.size() > name.size() &&
        std::equal(name.begin(), name.end(), line.begin(),
                   [](char wanted, char given) {
                       return wanted == (given >= 'A' && given <= 'Z' ? given - 'A' + 'a' : given);
                   }) &&
        std::string_view(": \t").find(line[name.size()]) != std::string_view::npos) {
        return false;
    }
    return line.front() == '#' || line.find('\t') != std::string_view::npos;
}

bool visitor_cookie(const platform::Cookie& cookie) {
    return std::find(harvest::visitor_cookies.begin(), harvest::visitor_cookies.end(),
                     cookie.name) != harvest::visitor_cookies.end();
}

// Up to three of the domains of these cookies, for a refusal.
std::string some_domains(const std::vector<platform::Cookie>& cookies) {
    std::vector<std::string> named;
    for (const platform::Cookie& cookie : cookies) {
        if (named.size() < 3 &&
            std::find(named.begin(), named.end(), cookie.domain) == named.end()) {
            named.push_back(cookie.domain);
        }
    }
    std::string text;
    for (const std::string& domain : named) {
        text += (text.empty() ? "" : ", ") + domain;
    }
    return text;
}

}  // namespace

void load_session_file(const std::filesystem::path& file) {
    std::error_code ignored;
    if (!std::filesystem::exists(file, ignored)) {
        return;
    }
    auto loaded = platform::load_cookie_file(file, harvest::marketplace_domains);
    if (loaded) {
        platform::log_info("session: " + std::to_string(*loaded) +
                           " cookies loaded from the session file");
    } else {
        platform::log_warning("session file not used: " + loaded.error().message);
    }
}

std::vector<DomainSession> describe_session(const std::vector<platform::Cookie>& cookies) {
    std::vector<DomainSession> out;
    for (std::string_view domain : harvest::marketplace_domains) {
        const std::vector<platform::Cookie> own =
            platform::cookies_within(cookies, std::span(&domain, 1));
        out.push_back({domain, own.size(), harvest::session_present(own)});
    }
    return out;
}

tl::expected<std::vector<platform::Cookie>, std::string> session_from_text(
    std::string_view text, std::string_view source) {
    const std::string name(source);
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        return tl::unexpected(name + " is UTF-16 text; save it as UTF-8 and try again");
    }
    if (first_line(text).empty()) {
        return tl::unexpected(name + " holds no cookie");
    }
    const bool from_file = cookie_file_text(text);
    auto parsed = from_file ? platform::parse_cookie_text(text, source)
                            : platform::parse_cookie_header(text, header_domain);
    if (!parsed) {
        return tl::unexpected(from_file ? parsed.error().message
                                        : name + ", a Cookie header: " + parsed.error().message);
    }
    if (parsed->empty()) {
        return tl::unexpected(name + " holds no cookie");
    }
    if (!from_file && std::none_of(parsed->begin(), parsed->end(), visitor_cookie)) {
        return tl::unexpected(name +
                              " holds none of the cookies taobao.com gives every visitor (such as "
                              "cna, cookie2, _tb_token_): copy the Cookie header of a request to "
                              "taobao.com");
    }
    std::vector<platform::Cookie> own =
        platform::cookies_within(*parsed, harvest::marketplace_domains);
    if (own.empty()) {
        return tl::unexpected(name + " holds cookies of other sites only (" +
                              some_domains(*parsed) + "), none of taobao.com or tmall.com");
    }
    const std::int64_t now = now_seconds();
    std::erase_if(own, [now](const platform::Cookie& cookie) { return expired(cookie, now); });
    if (own.empty()) {
        return tl::unexpected(name +
                              ": its taobao.com and tmall.com cookies have all expired; sign in "
                              "again in the browser and bring them anew");
    }
    return own;
}

tl::expected<std::vector<DomainSession>, std::string> import_session(
    std::string_view text, std::string_view source, const std::filesystem::path& file) {
    auto cookies = session_from_text(text, source);
    if (!cookies) {
        return tl::unexpected(cookies.error());
    }
    if (auto written = platform::write_cookie_file(file, *cookies); !written) {
        return tl::unexpected(written.error().message);
    }
    platform::log_info("session: " + std::to_string(cookies->size()) + " cookies imported");
    return describe_session(*cookies);
}

tl::expected<std::string, std::string> sign_in_from_text(std::string_view text,
                                                         std::string_view source,
                                                         const std::filesystem::path& file) {
    auto taken = import_session(text, source, file);
    if (!taken) {
        return tl::unexpected(std::string(texts::sign_in_refused) + taken.error());
    }
    platform::clear_cookies_for(harvest::marketplace_domains);
    load_session_file(file);
    std::string told(texts::sign_in_taken);
    for (const DomainSession& domain : *taken) {
        told += texts::fill(texts::sign_in_domain, {domain.domain, std::to_string(domain.cookies)});
        if (domain.cookies > 0 && !domain.signed_in) {
            told += texts::sign_in_domain_visitor;
        }
    }
    return told;
}

tl::expected<std::vector<DomainSession>, std::string> read_session(
    const std::filesystem::path& file) {
    std::error_code missing;
    if (!std::filesystem::exists(file, missing)) {
        return describe_session({});
    }
    auto read = platform::read_cookie_file(file);
    if (!read) {
        return tl::unexpected(read.error().message);
    }
    const std::int64_t now = now_seconds();
    std::erase_if(*read, [now](const platform::Cookie& cookie) { return expired(cookie, now); });
    return describe_session(*read);
}

tl::expected<bool, std::string> remove_session_file(const std::filesystem::path& file) {
    std::error_code error;
    const bool removed = std::filesystem::remove(file, error);
    if (error) {
        return tl::unexpected("cannot delete " + platform::utf8_of(file) + ": " + error.message());
    }
    if (removed) {
        platform::log_info("session: the session file was deleted");
    }
    return removed;
}

}  // namespace quorvel::shell
