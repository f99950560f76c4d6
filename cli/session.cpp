#include "cli/session.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/system.h"
#include "harvest/sources.h"
#include "platform/file_read.h"
#include "platform/session_cookies.h"
#include "platform/utf8_path.h"
#include "shell/session_file.h"

namespace quorvel::cli {
namespace {

// More than any browser's cookies; a larger text is no session.
constexpr std::size_t max_text = 16u * 1024u * 1024u;

int fail(const Console& console, const std::string& message) {
    write_text(console.err, "quorvel-cli: " + message + "\n");
    return exit_status::failed;
}

// The text of FILE, or of standard input for "-".
tl::expected<std::string, std::string> session_text(const std::string& name) {
    if (name == "-") {
        std::string text;
        char block[65536];
        for (std::size_t got; (got = std::fread(block, 1, sizeof block, stdin)) > 0;) {
            text.append(block, got);
            if (text.size() > max_text) {
                return tl::unexpected(std::string("standard input is too large for a session"));
            }
        }
        if (std::ferror(stdin)) {
            return tl::unexpected(std::string("cannot read standard input"));
        }
        return text;
    }
    auto read = platform::read_whole_file(platform::path_from_utf8(name), {.max_size = max_text});
    if (!read) {
        return tl::unexpected("cannot read " + name + ": " + read.error().reason);
    }
    return *read;
}

// "taobao.com: 3 cookies, signed in", one such line per domain.
std::string domain_lines(const std::vector<shell::DomainSession>& domains) {
    std::string text;
    for (const shell::DomainSession& domain : domains) {
        text += std::string(domain.domain) + ": " + std::to_string(domain.cookies) +
                (domain.cookies == 1 ? " cookie, " : " cookies, ") +
                (domain.signed_in ? "signed in" : "not signed in") + "\n";
    }
    return text;
}

}  // namespace

SessionOutcome load_session(const Invocation& in) {
    if (in.no_cookies) {
        return {};
    }
    std::filesystem::path file;
    if (in.cookies) {
        file = platform::path_from_utf8(*in.cookies);
    } else {
        auto found = platform::default_cookie_file();
        std::error_code missing;
        if (!found || !std::filesystem::exists(*found, missing)) {
            return {};
        }
        file = *found;
    }
    auto loaded = platform::load_cookie_file(file, harvest::marketplace_domains);
    if (!loaded) {
        std::string message = "cookie file: " + loaded.error().message;
        if (!in.cookies) {
            message += " (the signed-in session; --no-cookies runs without it)";
        }
        return {.error = message};
    }
    if (*loaded == 0 && in.cookies) {
        return {.notice = platform::utf8_of(file) +
                          " holds no taobao.com or tmall.com cookies; the run goes on without a "
                          "signed-in session"};
    }
    return {};
}

int session_command(const Invocation& in, const Console& console) {
    auto found = platform::default_cookie_file();
    if (!found) {
        return fail(console, "no place for the session file: " + found.error());
    }
    const std::filesystem::path& file = *found;
    const std::string file_name = platform::utf8_of(file);
    switch (in.command) {
        case Command::session_import: {
            auto text = session_text(in.session_text);
            if (!text) {
                return fail(console, text.error());
            }
            const std::string source = in.session_text == "-" ? "standard input" : in.session_text;
            auto imported = shell::import_session(*text, source, file);
            if (!imported) {
                return fail(console, imported.error());
            }
            if (!in.quiet) {
                write_text(console.err, "quorvel-cli: session imported into " + file_name + "\n" +
                                            domain_lines(*imported));
            }
            return exit_status::ok;
        }
        case Command::session_show: {
            std::error_code missing;
            if (!std::filesystem::exists(file, missing)) {
                write_text(console.err, "quorvel-cli: no session file (" + file_name +
                                            "); bring one with \"quorvel-cli session import\"\n");
            }
            auto session = shell::read_session(file);
            if (!session) {
                return fail(console, session.error());
            }
            write_text(console.out, domain_lines(*session));
            return exit_status::ok;
        }
        default: {
            auto removed = shell::remove_session_file(file);
            if (!removed) {
                return fail(console, removed.error());
            }
            if (!in.quiet) {
                write_text(console.err,
                           *removed ? "quorvel-cli: session cleared: " + file_name + " deleted\n"
                                    : "quorvel-cli: no session to clear\n");
            }
            return exit_status::ok;
        }
    }
}

}  // namespace quorvel::cli
