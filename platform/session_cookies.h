#pragma once
// The signed-in session the whole process shares: the cookies in the
// transport's one cookie store, set, removed and listed from any thread, and
// kept in a Netscape cookie file (the format curl and browser exporters
// write). Cookies are credentials: nothing here writes a cookie's name or
// value to the log or into an error message.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

namespace quorvel::platform {

struct Cookie {
    std::string domain;  // without a leading dot, e.g. "taobao.com"
    bool include_subdomains = true;
    std::string path = "/";
    bool secure = false;       // sent over HTTPS only
    std::int64_t expires = 0;  // Unix seconds; 0: a session cookie
    std::string name;
    std::string value;
    bool http_only = false;
    bool operator==(const Cookie&) const = default;
};

// True when `domain` is one of `domains` or a subdomain of one ("s.taobao.com"
// is within "taobao.com"; "nottaobao.com" is not). Letter case is ignored.
bool domain_within(std::string_view domain, std::span<const std::string_view> domains);

// The cookies whose domain is within `domains`, in their order.
std::vector<Cookie> cookies_within(const std::vector<Cookie>& cookies,
                                   std::span<const std::string_view> domains);

// --- The shared store -------------------------------------------------------

// Puts a cookie into the store, replacing the one of the same domain, path
// and name. A cookie whose expiry has passed removes that one instead. The
// error says what is wrong with the cookie (never its name or value).
tl::expected<void, std::string> set_cookie(const Cookie& cookie);

// Removes the cookie of this domain (with or without a leading dot), path and
// name, whether it includes subdomains or not; nothing when there is none.
void remove_cookie(std::string_view domain, std::string_view path, std::string_view name);

// Removes every cookie whose domain is within `domains`.
void clear_cookies_for(std::span<const std::string_view> domains);

// Every cookie the store holds and would still send, in the store's order.
std::vector<Cookie> cookies();

// --- The cookie file --------------------------------------------------------

struct CookieFileError {
    enum class Kind { cannot_read, malformed, cannot_write };
    Kind kind = Kind::cannot_read;
    std::size_t line = 0;  // malformed: the line's number, from 1
    // Names the file and, for a malformed one, the line; never a cookie's
    // name or value.
    std::string message;
};

// The cookies of a Netscape cookie file's text: one cookie per line,
// "domain TAB include-subdomains TAB path TAB secure TAB expiry TAB name TAB
// value", "#HttpOnly_" before the domain of an HttpOnly cookie; other lines
// starting with "#" and blank lines are skipped; CR LF ends a line as LF
// does. `source` names the text in error messages.
tl::expected<std::vector<Cookie>, CookieFileError> parse_cookie_text(std::string_view text,
                                                                     std::string_view source);

// The cookies of a Cookie request header as a browser's developer tools show
// it: "name=value; name=value", with or without the "Cookie:" name before it
// and with white space and line breaks around the pairs (a line break parts
// two pairs as ";" does). A header carries no domain: each cookie is given
// `domain` with its subdomains, path "/", HTTPS only, and no expiry. Of two
// pairs with one name the first is kept, as a browser sends the most
// specific one first. A malformed pair is named by its number ("line" holds
// it), never quoted.
tl::expected<std::vector<Cookie>, CookieFileError> parse_cookie_header(std::string_view text,
                                                                       std::string_view domain);

// The text of a cookie file holding these cookies, with a header comment.
std::string cookie_file_text(const std::vector<Cookie>& cookies);

tl::expected<std::vector<Cookie>, CookieFileError> read_cookie_file(
    const std::filesystem::path& file);

// Writes the file whole or not at all: a temporary file in the same folder,
// mode 0600 (on Windows the folder's access rules), renamed into place.
// Missing folders are created private to the user. On Windows a file another
// program holds open without sharing its deletion is not replaced (an error).
tl::expected<void, CookieFileError> write_cookie_file(const std::filesystem::path& file,
                                                      const std::vector<Cookie>& cookies);

// Reads a cookie file and puts into the store those of its cookies whose
// domain is within `domains` and which have not expired; the number put.
// Nothing is put when the file cannot be read or has a malformed line.
tl::expected<std::size_t, CookieFileError> load_cookie_file(
    const std::filesystem::path& file, std::span<const std::string_view> domains);

// Writes the store's cookies within `domains` to a cookie file.
tl::expected<void, CookieFileError> save_cookie_file(const std::filesystem::path& file,
                                                     std::span<const std::string_view> domains);

// Where the signed-in session is kept: cookies.txt in the user's data folder.
tl::expected<std::filesystem::path, std::string> default_cookie_file();

}  // namespace quorvel::platform
