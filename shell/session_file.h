#pragma once
// The marketplace session kept in the session file: loaded when a window
// starts, taken from text the user brings from a browser (an exported cookie
// file or a copied Cookie header), described per domain and removed. Nothing
// here puts a cookie's name or value into a message or the log.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "platform/session_cookies.h"

namespace quorvel::shell {

// Loads the marketplace's cookies from `file` into the transport's store, if
// the file is there; says in the log how many, or why none.
void load_session_file(const std::filesystem::path& file);

// The session's part for one of the marketplace's domains.
struct DomainSession {
    std::string_view domain;  // "taobao.com" or "tmall.com"
    std::size_t cookies = 0;  // its cookies, those of its subdomains included
    bool signed_in = false;   // cookies beyond those every visitor is given
};

// Each of the marketplace's domains, in their order, with its share of `cookies`.
std::vector<DomainSession> describe_session(const std::vector<platform::Cookie>& cookies);

// The marketplace's unexpired cookies in text the user gives: a Netscape
// cookie file, or a Cookie request header as a browser's developer tools
// show it (with or without "Cookie:", white space and line breaks around it).
// A header has no domain: it is copied from a request to taobao.com, so its
// cookies are taobao.com's, and one holding none of the cookies taobao.com
// gives every visitor is refused as another site's. The error says why
// nothing is taken (no cookie, other sites' only, expired, a malformed line
// or pair by its number), naming the text as `source`.
tl::expected<std::vector<platform::Cookie>, std::string> session_from_text(std::string_view text,
                                                                           std::string_view source);

// Takes the session from the text and writes it as `file`, replacing the
// session kept there; what it holds per domain.
tl::expected<std::vector<DomainSession>, std::string> import_session(
    std::string_view text, std::string_view source, const std::filesystem::path& file);

// The window's sign-in: takes the session from the text into `file` and, at
// once, into the transport's store, which holds this session alone from then
// on. The message (UTF-8) saying what was taken per domain, or, as the error,
// the message saying why nothing was.
tl::expected<std::string, std::string> sign_in_from_text(std::string_view text,
                                                         std::string_view source,
                                                         const std::filesystem::path& file);

// The session `file` holds per domain, its expired cookies left out; none
// when there is no file.
tl::expected<std::vector<DomainSession>, std::string> read_session(
    const std::filesystem::path& file);

// Deletes the session file; false when there was none.
tl::expected<bool, std::string> remove_session_file(const std::filesystem::path& file);

}  // namespace quorvel::shell
