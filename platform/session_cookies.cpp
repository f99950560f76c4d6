#include "platform/session_cookies.h"

#include <charconv>
#include <ctime>
#include <mutex>
#include <optional>

#include "platform/ascii_text.h"
#include "platform/cookie_store.h"
#include "platform/file_read.h"
#include "platform/file_write.h"
#include "platform/log.h"
#include "platform/user_folders.h"

namespace quorvel::platform {
namespace {

constexpr std::string_view http_only_prefix = "#HttpOnly_";
// Longest name and value together that libcurl keeps.
constexpr std::size_t max_name_and_value = 4096;
// A browser's whole export is far below this; a larger file is not a cookie file.
constexpr std::size_t max_file_size = 16u * 1024u * 1024u;

std::string_view without_leading_dot(std::string_view domain) {
    if (!domain.empty() && domain.front() == '.') {
        domain.remove_prefix(1);
    }
    return domain;
}

// Bytes a Cookie header line cannot carry as they are.
bool control_byte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool has_any(std::string_view text, bool (*bad)(char)) {
    for (char c : text) {
        if (bad(c)) {
            return true;
        }
    }
    return false;
}

// What makes a cookie unusable; empty when it is fine. Never quotes the cookie.
std::string cookie_problem(const Cookie& cookie) {
    if (!plain_host(cookie.domain) || cookie.domain.front() == '.') {
        return "the domain is not a host name";
    }
    if (cookie.path.empty() || cookie.path.front() != '/' || has_any(cookie.path, control_byte)) {
        return "the path does not start with / or holds control characters";
    }
    if (cookie.name.empty()) {
        return "the cookie has no name";
    }
    if (has_any(cookie.name, [](char c) { return control_byte(c) || c == ';' || c == '='; }) ||
        has_any(cookie.value, [](char c) { return control_byte(c) || c == ';'; })) {
        return "the name or value holds a character a Cookie header cannot carry";
    }
    if (cookie.name.size() + cookie.value.size() > max_name_and_value) {
        return "the name and value are longer than " + std::to_string(max_name_and_value) +
               " bytes together";
    }
    if (cookie.expires < 0) {
        return "the expiry is before 1970";
    }
    return {};
}

// The cookie as one Netscape line, without a line end.
std::string netscape_line(const Cookie& cookie) {
    std::string line;
    if (cookie.http_only) {
        line += http_only_prefix;
    }
    if (cookie.include_subdomains) {
        line += '.';
    }
    line += cookie.domain;
    line += cookie.include_subdomains ? "\tTRUE\t" : "\tFALSE\t";
    line += cookie.path;
    line += cookie.secure ? "\tTRUE\t" : "\tFALSE\t";
    line += std::to_string(cookie.expires);
    line += '\t';
    line += cookie.name;
    line += '\t';
    line += cookie.value;
    return line;
}

std::vector<std::string_view> split_tabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

std::optional<bool> flag(std::string_view field) {
    if (equal_ignoring_case(field, "TRUE")) {
        return true;
    }
    if (equal_ignoring_case(field, "FALSE")) {
        return false;
    }
    return std::nullopt;
}

// Whole seconds; some exporters write a fraction, which is dropped.
std::optional<std::int64_t> expiry(std::string_view field) {
    const std::size_t point = field.find('.');
    std::string_view whole = field.substr(0, point);
    if (point != std::string_view::npos &&
        (point + 1 == field.size() ||
         has_any(field.substr(point + 1), [](char c) { return c < '0' || c > '9'; }))) {
        return std::nullopt;
    }
    std::int64_t seconds = 0;
    const auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    if (whole.empty() || error != std::errc() || end != whole.data() + whole.size() ||
        seconds < 0) {
        return std::nullopt;
    }
    return seconds;
}

enum class LineKind { cookie, skipped, malformed };

// Reads one line (without its line end). `why` says what is wrong with a
// malformed one.
LineKind parse_line(std::string_view line, Cookie& cookie, std::string& why) {
    cookie = Cookie{};
    if (line.substr(0, http_only_prefix.size()) == http_only_prefix) {
        cookie.http_only = true;
        line.remove_prefix(http_only_prefix.size());
    } else if (!line.empty() && line.front() == '#') {
        return LineKind::skipped;
    }
    if (!cookie.http_only && line.find_first_not_of(" \t") == std::string_view::npos) {
        return LineKind::skipped;
    }
    std::vector<std::string_view> fields = split_tabs(line);
    // A line that ends after the name is a cookie with an empty value, as curl reads it.
    if (fields.size() == 6) {
        fields.emplace_back();
    }
    if (fields.size() != 7) {
        why = "expected 7 fields separated by tabs, found " + std::to_string(fields.size());
        return LineKind::malformed;
    }
    const std::optional<bool> subdomains = flag(fields[1]);
    const std::optional<bool> secure = flag(fields[3]);
    const std::optional<std::int64_t> expires = expiry(fields[4]);
    if (!subdomains || !secure) {
        why = "the second and fourth fields must be TRUE or FALSE";
        return LineKind::malformed;
    }
    if (!expires) {
        why = "the fifth field is not an expiry in seconds";
        return LineKind::malformed;
    }
    cookie.domain = std::string(without_leading_dot(fields[0]));
    cookie.include_subdomains = *subdomains;
    cookie.path = std::string(fields[2]);
    cookie.secure = *secure;
    cookie.expires = *expires;
    cookie.name = std::string(fields[5]);
    cookie.value = std::string(fields[6]);
    why = cookie_problem(cookie);
    return why.empty() ? LineKind::cookie : LineKind::malformed;
}

bool expired(const Cookie& cookie, std::int64_t now) {
    return cookie.expires != 0 && cookie.expires <= now;
}

std::int64_t now_seconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Set, remove and clear each list the store and then change it; one at a
// time, so that two of them never work from one listing.
std::mutex& change_mutex() {
    static std::mutex mutex;
    return mutex;
}

// Every cookie the store holds, expired ones that libcurl has not dropped yet included.
std::vector<Cookie> stored_cookies() {
    std::vector<Cookie> out;
    for (const std::string& line : cookie_store::lines()) {
        Cookie cookie;
        std::string why;
        if (parse_line(line, cookie, why) == LineKind::cookie) {
            out.push_back(std::move(cookie));
        }
    }
    return out;
}

// Replaces a stored cookie by an expired one of the same domain, path and
// name, which libcurl drops instead of sending.
void expire(const Cookie& stored) {
    Cookie gone = stored;
    gone.value.clear();
    gone.expires = 1;
    cookie_store::command(netscape_line(gone));
}

CookieFileError file_error(CookieFileError::Kind kind, std::string message) {
    return CookieFileError{kind, 0, std::move(message)};
}

}  // namespace

bool domain_within(std::string_view domain, std::span<const std::string_view> domains) {
    domain = without_leading_dot(domain);
    for (std::string_view wanted : domains) {
        wanted = without_leading_dot(wanted);
        if (wanted.empty() || domain.size() < wanted.size()) {
            continue;
        }
        const std::size_t extra = domain.size() - wanted.size();
        if (equal_ignoring_case(domain.substr(extra), wanted) &&
            (extra == 0 || domain[extra - 1] == '.')) {
            return true;
        }
    }
    return false;
}

std::vector<Cookie> cookies_within(const std::vector<Cookie>& cookies,
                                   std::span<const std::string_view> domains) {
    std::vector<Cookie> out;
    for (const Cookie& cookie : cookies) {
        if (domain_within(cookie.domain, domains)) {
            out.push_back(cookie);
        }
    }
    return out;
}

tl::expected<void, std::string> set_cookie(const Cookie& cookie) {
    if (std::string why = cookie_problem(cookie); !why.empty()) {
        return tl::unexpected("cookie not set: " + why);
    }
    std::lock_guard guard(change_mutex());
    if (!cookie_store::command(netscape_line(cookie))) {
        return tl::unexpected(std::string("cookie not set: the cookie store is not available"));
    }
    return {};
}

void remove_cookie(std::string_view domain, std::string_view path, std::string_view name) {
    domain = without_leading_dot(domain);
    std::lock_guard guard(change_mutex());
    for (const Cookie& stored : stored_cookies()) {
        if (equal_ignoring_case(stored.domain, domain) && stored.path == path &&
            stored.name == name) {
            expire(stored);
        }
    }
}

void clear_cookies_for(std::span<const std::string_view> domains) {
    std::lock_guard guard(change_mutex());
    for (const Cookie& stored : stored_cookies()) {
        if (domain_within(stored.domain, domains)) {
            expire(stored);
        }
    }
}

std::vector<Cookie> cookies() {
    const std::int64_t now = now_seconds();
    std::vector<Cookie> out;
    for (Cookie& cookie : stored_cookies()) {
        if (!expired(cookie, now)) {
            out.push_back(std::move(cookie));
        }
    }
    return out;
}

tl::expected<std::vector<Cookie>, CookieFileError> parse_cookie_text(std::string_view text,
                                                                     std::string_view source) {
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (text.substr(0, byte_order_mark.size()) == byte_order_mark) {
        text.remove_prefix(byte_order_mark.size());
    }
    std::vector<Cookie> out;
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        Cookie cookie;
        std::string why;
        switch (parse_line(line, cookie, why)) {
            case LineKind::cookie:
                out.push_back(std::move(cookie));
                break;
            case LineKind::skipped:
                break;
            case LineKind::malformed:
                return tl::unexpected(CookieFileError{
                    CookieFileError::Kind::malformed, number,
                    std::string(source) + ", line " + std::to_string(number) + ": " + why});
        }
    }
    return out;
}

tl::expected<std::vector<Cookie>, CookieFileError> parse_cookie_header(std::string_view text,
                                                                       std::string_view domain) {
    constexpr std::string_view space = " \t\r\n";
    auto trimmed = [space](std::string_view piece) {
        const std::size_t first = piece.find_first_not_of(space);
        if (first == std::string_view::npos) {
            return std::string_view();
        }
        return piece.substr(first, piece.find_last_not_of(space) - first + 1);
    };
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (text.substr(0, byte_order_mark.size()) == byte_order_mark) {
        text.remove_prefix(byte_order_mark.size());
    }
    text = trimmed(text);
    // The header's name, with its colon, or as a table of headers copies it:
    // the name, then white space. "cookie2=..." is a pair, not the name.
    constexpr std::string_view header_name = "cookie";
    if (starts_with_ignoring_case(text, header_name) && text.size() > header_name.size()) {
        const char after = text[header_name.size()];
        if (after == ':' || space.find(after) != std::string_view::npos) {
            text.remove_prefix(header_name.size() + (after == ':' ? 1 : 0));
        }
    }
    std::vector<Cookie> out;
    std::size_t number = 0;
    for (std::string_view piece : pieces(text, ";\r\n", Delimiter::any_character)) {
        piece = trimmed(piece);
        if (piece.empty()) {
            continue;
        }
        ++number;
        auto malformed = [number](const std::string& why) {
            return tl::unexpected(CookieFileError{CookieFileError::Kind::malformed, number,
                                                  "pair " + std::to_string(number) + " " + why});
        };
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos) {
            return malformed("is not name=value");
        }
        Cookie cookie{.domain = std::string(without_leading_dot(domain)),
                      .secure = true,
                      .name = std::string(trimmed(piece.substr(0, equals))),
                      .value = std::string(trimmed(piece.substr(equals + 1)))};
        if (std::string why = cookie_problem(cookie); !why.empty()) {
            return malformed("cannot be used: " + why);
        }
        bool seen = false;
        for (const Cookie& kept : out) {
            seen = seen || kept.name == cookie.name;
        }
        if (!seen) {
            out.push_back(std::move(cookie));
        }
    }
    return out;
}

std::string cookie_file_text(const std::vector<Cookie>& cookies) {
    std::string text =
        "# Netscape HTTP Cookie File\n"
        "# The marketplace session of Quorvel. It signs in whoever reads it: keep it private.\n\n";
    for (const Cookie& cookie : cookies) {
        text += netscape_line(cookie);
        text += '\n';
    }
    return text;
}

tl::expected<std::vector<Cookie>, CookieFileError> read_cookie_file(
    const std::filesystem::path& file) {
    const std::string name = file.string();
    auto text = read_whole_file(file, {.regular_only = true, .max_size = max_file_size});
    if (!text) {
        const bool unreadable = text.error().kind == FileReadError::Kind::cannot_read;
        return tl::unexpected(
            file_error(CookieFileError::Kind::cannot_read,
                       "cannot read " + name + ": " +
                           (unreadable ? text.error().reason : "not a cookie file")));
    }
    return parse_cookie_text(*text, name);
}

tl::expected<void, CookieFileError> write_cookie_file(const std::filesystem::path& file,
                                                      const std::vector<Cookie>& cookies) {
    const std::string name = file.string();
    auto fail = [&name](const std::string& why) {
        return tl::unexpected(
            file_error(CookieFileError::Kind::cannot_write, "cannot write " + name + ": " + why));
    };
    for (const Cookie& cookie : cookies) {
        if (std::string why = cookie_problem(cookie); !why.empty()) {
            return fail("a cookie is unusable: " + why);
        }
    }
    const std::filesystem::path folder =
        file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    if (auto made = make_private_folder(folder); !made) {
        return fail(made.error());
    }
    // Whole or not at all, and readable by the user alone.
    auto out = AtomicFile::create(file, NewFileAccess::owner_only);
    if (!out) {
        return fail(out.error().reason);
    }
    if (auto written = out->write(cookie_file_text(cookies)); !written) {
        return fail(written.error().reason);
    }
    if (auto committed = out->commit(); !committed) {
        return fail(committed.error().reason);
    }
    return {};
}

tl::expected<std::size_t, CookieFileError> load_cookie_file(
    const std::filesystem::path& file, std::span<const std::string_view> domains) {
    auto read = read_cookie_file(file);
    if (!read) {
        return tl::unexpected(read.error());
    }
    const std::int64_t now = now_seconds();
    std::size_t put = 0;
    for (const Cookie& cookie : cookies_within(*read, domains)) {
        if (expired(cookie, now)) {
            continue;
        }
        if (auto set = set_cookie(cookie); !set) {
            return tl::unexpected(file_error(CookieFileError::Kind::cannot_read,
                                             "cannot use " + file.string() + ": " + set.error()));
        }
        ++put;
    }
    log_info("session: " + std::to_string(put) + " of " + std::to_string(read->size()) +
             " cookies loaded from " + file.string());
    return put;
}

tl::expected<void, CookieFileError> save_cookie_file(const std::filesystem::path& file,
                                                     std::span<const std::string_view> domains) {
    const std::vector<Cookie> kept = cookies_within(cookies(), domains);
    auto written = write_cookie_file(file, kept);
    if (written) {
        log_info("session: " + std::to_string(kept.size()) + " cookies written to " +
                 file.string());
    }
    return written;
}

tl::expected<std::filesystem::path, std::string> default_cookie_file() {
    auto folder = user_data_folder();
    if (!folder) {
        return tl::unexpected(folder.error());
    }
    return *folder / "cookies.txt";
}

}  // namespace quorvel::platform
