// Local time through localtime_r; the clock setting from the locale's time format.

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include "platform/clock.h"

namespace quorvel::platform {
namespace {

LocalDateTime local_date_time(const tm& t, int milliseconds) {
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
    return local_date_time(local, static_cast<int>(now.tv_nsec / 1000000));
}

LocalDateTime local_time_of(std::int64_t unix_seconds) {
    auto seconds = static_cast<time_t>(unix_seconds);
    tm local{};
    localtime_r(&seconds, &local);
    return local_date_time(local, 0);
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
