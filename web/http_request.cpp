#include "web/http_request.h"

#include <array>

#include "web/text_helpers.h"
#include "web/url.h"

namespace quorvel::web {
namespace {

namespace flags = request_flags;

constexpr std::array<std::string_view, 8> verbs = {"GET",     "POST",   "HEAD",  "PUT",
                                                   "OPTIONS", "DELETE", "TRACE", "CONNECT"};

constexpr std::string_view crlf = "\r\n";

std::string agent_for(const std::string& headers) {
    if (!contains_text(headers, "User-Agent:", LetterCase::ignore)) {
        return std::string(default_agent);
    }
    std::string agent = trim_spaces(text_between(headers + "\r\n", "User-Agent:", "\r\n"));
    if (agent.empty()) {
        agent = text_after_first_colon(headers);
    }
    return agent;
}

// Completes the caller's header block with the default lines, in place.
void add_default_headers(std::string& headers, std::string_view url, int method,
                         const std::optional<std::string>& cookies) {
    auto append_line = [&headers](std::string_view line) {
        headers.append(crlf);
        headers.append(line);
    };
    if (headers.empty()) {
        headers = "Accept: */*";
    } else if (!contains_text(headers, "Accept:")) {
        append_line("Accept: */*");
    }
    if (!contains_text(headers, "Referer:")) {
        append_line(std::string("Referer: ").append(url));
    }
    if (!contains_text(headers, "Accept-Language:")) {
        append_line("Accept-Language: zh-cn");
    }
    if (method == 1 && !contains_text(headers, "Content-Type:")) {
        append_line("Content-Type: application/x-www-form-urlencoded");
    }
    if (cookies.has_value() && !cookies->empty()) {
        append_line(contains_text(*cookies, "Cookie:") ? *cookies : "Cookie: " + *cookies);
    }
}

// The first name and value pair of every Set-Cookie line, joined by "; ".
std::string collect_cookies(std::string_view reply_headers) {
    std::string cookies;
    for (const auto& line : split_text(reply_headers, crlf)) {
        if (!contains_text(line, "Set-Cookie")) {
            continue;
        }
        std::string pair = contains_text(line, ";")
                               ? trim_spaces(text_between(line, "Set-Cookie:", ";"))
                               : trim_spaces(replace_each(line, {{"Set-Cookie:", ""}}));
        cookies.append(pair);
        cookies.append("; ");
    }
    cookies.resize(cookies.size() >= 2 ? cookies.size() - 2 : 0);
    return cookies;
}

}  // namespace

std::string_view method_verb(int method) {
    return (method < 0 || method > 7) ? verbs[0] : verbs[static_cast<std::size_t>(method)];
}

std::uint32_t request_flags_for(RequestTraits traits) {
    std::uint32_t word = flags::reload | flags::need_file;
    if (traits.cookies_supplied) {
        word |= flags::no_cookies;
    }
    if (traits.no_redirect) {
        word |= flags::no_auto_redirect;
    }
    word |= traits.secure ? flags::secure : flags::ignore_redirect_to_https;
    return word;
}

platform::TransportOptions transport_options_for(std::uint32_t word) {
    // The transport never caches, so "reload" and "need file" ask nothing more of it.
    return {.secure = (word & flags::secure) != 0,
            .follow_redirects = (word & flags::no_auto_redirect) == 0,
            .shared_cookies = (word & flags::no_cookies) == 0};
}

platform::TransportRequest transport_request_for(HttpRequestArgs& args) {
    const int method = (args.method < 0 || args.method > 7) ? 0 : args.method;
    const bool secure = ascii_lower(std::string_view(args.url).substr(0, 8)) == "https://";

    platform::TransportRequest request;
    request.agent = agent_for(args.headers);
    if (!args.proxy.empty()) {
        request.proxy = secure ? args.proxy : "http=" + args.proxy;
    }
    request.host = url_host(args.url);
    request.port = url_port(args.url);
    request.path = url_path(args.url);
    request.verb = std::string(method_verb(method));
    request.options =
        transport_options_for(request_flags_for({.cookies_supplied = args.cookies.has_value(),
                                                 .no_redirect = args.no_redirect,
                                                 .secure = secure}));
    request.stop = args.stop;

    add_default_headers(args.headers, args.url, method, args.cookies);
    request.header_block = args.headers;

    if (method != 0) {
        if (args.body_bytes.empty()) {
            args.body_bytes = bytes_from_text(args.body_text);
        }
        request.send_body = true;
        request.body = args.body_bytes;
    }
    return request;
}

HttpReply http_reply_from(platform::TransportReply transport, HttpRequestArgs& args) {
    HttpReply reply;
    reply.outcome = std::move(transport.outcome);
    reply.body = std::move(transport.body);
    reply.returned_headers = replace_each(transport.headers, {{"Set-Cookie", "Set-Cookie"}});
    reply.returned_cookies = collect_cookies(reply.returned_headers);
    if (args.merge_cookies && args.cookies.has_value()) {
        reply.returned_cookies = cookie_merge(*args.cookies, reply.returned_cookies);
    }
    return reply;
}

HttpReply HttpRequest(HttpRequestArgs& args) {
    const platform::TransportRequest request = transport_request_for(args);
    return http_reply_from(platform::perform_exchange(request), args);
}

Bytes HttpRequest(std::string_view url) {
    HttpRequestArgs args;
    args.url = std::string(url);
    return HttpRequest(args).body;
}

}  // namespace quorvel::web
