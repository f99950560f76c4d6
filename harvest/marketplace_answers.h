#pragma once
// What a reply from the marketplace is, beside its words: data to read, a
// sign-in page, a human check ("verification page") or no reply at all. The
// text that marks a check page is kept in one table here, so that it can
// follow the marketplace's pages without touching the harvest.

#include <array>
#include <string_view>
#include <vector>

#include "platform/http_transport.h"
#include "platform/session_cookies.h"

namespace quorvel::harvest {

enum class ReplyKind {
    data,          // a reply to read as the request's kind reads it
    login_wall,    // the request ended on a sign-in page of the marketplace
    verification,  // the marketplace asks for a human check instead of answering
    no_reply,      // no status line came back
};

// Where a check page's marker is looked for.
enum class MarkerPlace {
    url_path,  // the final URL's path, without its query
    body,      // the reply body
};

struct AnswerMarker {
    MarkerPlace place;
    std::string_view text;
};

// A reply carrying any of these is a check page.
inline constexpr std::array<AnswerMarker, 2> verification_markers = {{
    {MarkerPlace::url_path, "punish"},
    {MarkerPlace::body, "x5secdata"},
}};

// Cookies the marketplace sets for every visitor, signed in or not: holding
// only these is holding no session.
inline constexpr std::array<std::string_view, 20> visitor_cookies = {
    "cna",          "isg",    "l",   "tfstk",           "t",       "thw",        "_m_h5_tk",
    "_m_h5_tk_enc", "xlly_s", "mt",  "_samesite_flag_", "cookie2", "_tb_token_", "x5sec",
    "hng",          "enc",    "sca", "atpsida",         "aui",     "v"};

// Whether these cookies hold a session with the marketplace: any cookie of
// its domains that is not a visitor cookie.
bool session_present(const std::vector<platform::Cookie>& cookies);

// Whether `host` (lower case, without port) is a sign-in host of the
// marketplace: "login." followed by one of its domains or a name under one.
bool is_sign_in_host(std::string_view host);

// What the reply of an exchange is; `body` is its text as the harvest got it.
ReplyKind classify(const platform::ExchangeOutcome& outcome, std::string_view body);

}  // namespace quorvel::harvest
