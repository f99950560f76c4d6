#include "platform/clock.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

namespace quorvel::platform {
namespace {

LocalDateTime from_tm(const tm& t, int milliseconds) {
    LocalDateTime out;
    out.year = t.tm_year + 1900;
    out.month = t.tm_mon + 1;
    out.day_of_week = t.tm_wday;
    out.day = t.tm_mday;
    out.hour = t.tm_hour;
    out.minute = t.tm_min;
    out.second = t.tm_sec;
    out.milliseconds = milliseconds;
    return out;
}

}  // namespace

LocalDateTime local_now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return from_tm(local, static_cast<int>(now.tv_nsec / 1000000));
}

std::int64_t unix_seconds_now() {
    return static_cast<std::int64_t>(time(nullptr));
}

LocalDateTime local_time_of(std::int64_t unix_seconds) {
    auto seconds = static_cast<time_t>(unix_seconds);
    tm local{};
    localtime_r(&seconds, &local);
    return from_tm(local, 0);
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

bool user_clock_is_24_hour() {
    locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        user = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    }
    if (user == static_cast<locale_t>(nullptr)) {
        return true;
    }
    const char* format = nl_langinfo_l(T_FMT, user);
    bool result = time_format_is_24_hour(format != nullptr ? format : "");
    freelocale(user);
    return result;
}

}  // namespace quorvel::platform
