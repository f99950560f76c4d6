// Local time through the C runtime's localtime_s, which follows TZ when it is
// set and Windows' time zone otherwise; the clock setting from the user's
// regional settings.

#include <windows.h>

#include <ctime>
#include <string>

#include "platform/clock.h"
#include "platform/clock_detail.h"

namespace quorvel::platform {
namespace {

// 100-nanosecond steps from 1601-01-01 to 1970-01-01.
constexpr std::int64_t unix_epoch_file_time = 116444736000000000;

LocalDateTime local_at(std::int64_t unix_seconds, int milliseconds) {
    const auto seconds = static_cast<std::time_t>(unix_seconds);
    std::tm local{};
    if (localtime_s(&local, &seconds) != 0) {
        return {};
    }
    return local_date_time(local, milliseconds);
}

}  // namespace

LocalDateTime local_now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::int64_t steps =
        (static_cast<std::int64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
        unix_epoch_file_time;
    const std::int64_t milliseconds = steps / 10000;
    return local_at(milliseconds / 1000, static_cast<int>(milliseconds % 1000));
}

LocalDateTime local_time_of(std::int64_t unix_seconds) {
    return local_at(unix_seconds, 0);
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
