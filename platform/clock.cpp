// The parts of the clock both systems share; clock_posix.cpp and
// clock_windows.cpp hold the local time and the user's clock setting.

#include <ctime>

#include "platform/clock.h"

namespace quorvel::platform {

std::int64_t unix_seconds_now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool time_format_is_24_hour(std::string_view time_format) {
    for (std::size_t i = 0; i + 1 < time_format.size(); ++i) {
        if (time_format[i] != '%') {
            continue;
        }
        // Skip glibc's flags, field width and modifiers between "%" and the conversion.
        std::size_t j = i + 1;
        while (j < time_format.size() &&
               std::string_view("-_0^#EO123456789").find(time_format[j]) !=
                   std::string_view::npos) {
            ++j;
        }
        if (j < time_format.size()) {
            char c = time_format[j];
            if (c == 'H' || c == 'k' || c == 'T' || c == 'R') {
                return true;
            }
            if (c == '%') {
                i = j;
            }
        }
    }
    return false;
}

bool time_picture_is_24_hour(std::string_view picture) {
    bool quoted = false;
    for (char c : picture) {
        if (c == '\'') {
            // A doubled quote inside quotes is a literal quote: leaving and
            // entering again comes to the same.
            quoted = !quoted;
        } else if (!quoted && c == 'H') {
            return true;
        }
    }
    return false;
}

}  // namespace quorvel::platform
