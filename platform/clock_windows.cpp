// Local time in Windows' own time zone setting, the zone the taskbar's clock
// shows. The C runtime's localtime follows the TZ variable instead, which
// some shells and tools set and which it misreads: an IANA name such as
// "Asia/Shanghai" becomes UTC. The clock setting comes from the user's
// regional settings.

#include <windows.h>

#include <limits>
#include <string>

#include "platform/clock.h"

namespace quorvel::platform {
namespace {

// 100-nanosecond steps from 1601-01-01 to 1970-01-01, and in a second.
constexpr std::int64_t unix_epoch_file_time = 116444736000000000;
constexpr std::int64_t steps_per_second = 10000000;

LocalDateTime fields_of(const SYSTEMTIME& t) {
    LocalDateTime out;
    out.year = t.wYear;
    out.month = t.wMonth;
    out.day_of_week = t.wDayOfWeek;
    out.day = t.wDay;
    out.hour = t.wHour;
    out.minute = t.wMinute;
    out.second = t.wSecond;
    out.milliseconds = t.wMilliseconds;
    return out;
}

}  // namespace

LocalDateTime local_now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return fields_of(now);
}

LocalDateTime local_time_of(std::int64_t unix_seconds) {
    // A FILETIME counts from 1601; later than it can count, nothing is read.
    if (unix_seconds < -unix_epoch_file_time / steps_per_second ||
        unix_seconds >
            (std::numeric_limits<std::int64_t>::max() - unix_epoch_file_time) / steps_per_second) {
        return {};
    }
    const std::int64_t steps = unix_seconds * steps_per_second + unix_epoch_file_time;
    const FILETIME instant{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    // The zone in force now, with its daylight-saving rule for the instant's
    // date. (SystemTimeToTzSpecificLocalTimeEx would apply past years' rules,
    // but Wine lacks it.)
    if (!FileTimeToSystemTime(&instant, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return {};
    }
    return fields_of(local);
}

bool user_clock_is_24_hour() {
    wchar_t picture[128] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIMEFORMAT, picture, 128) <= 0) {
        return true;
    }
    // Only the ASCII letters and quotes of the picture matter.
    std::string ascii;
    for (const wchar_t* c = picture; *c != L'\0'; ++c) {
        ascii.push_back(*c < 0x80 ? static_cast<char>(*c) : ' ');
    }
    return time_picture_is_24_hour(ascii);
}

}  // namespace quorvel::platform
