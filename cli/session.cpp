#include "cli/session.h"

#include <filesystem>
#include <system_error>

#include "harvest/sources.h"
#include "platform/session_cookies.h"
#include "platform/utf8_path.h"

namespace quorvel::cli {

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

}  // namespace quorvel::cli
