#include "shell/session_file.h"

#include <string>
#include <system_error>

#include "harvest/sources.h"
#include "platform/log.h"
#include "platform/session_cookies.h"

namespace quorvel::shell {

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

}  // namespace quorvel::shell
