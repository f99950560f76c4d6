#pragma once
// The machine's clock and the user's locale, as the rest of the program needs them.

#include <cstdint>
#include <string_view>

namespace quorvel::platform {

struct LocalDateTime {
    int year = 0;
    int month = 0;        // 1-12
    int day_of_week = 0;  // 0 = Sunday
    int day = 0;          // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// Local times are in the system's time zone: on Linux the TZ variable where
// it is set, else /etc/localtime; on Windows its own time zone setting,
// whatever TZ says.

// The current local date and time, milliseconds included.
LocalDateTime local_now();

// The current calendar time in whole seconds since 1970-01-01 00:00 UTC.
std::int64_t unix_seconds_now();

// A calendar time in whole seconds as local date and time (milliseconds 0).
// On Windows a time before 1601 gives all fields 0.
LocalDateTime local_time_of(std::int64_t unix_seconds);

// Whether a strftime time format renders the hour on the 24-hour clock.
bool time_format_is_24_hour(std::string_view time_format);

// Whether a Windows time picture (LOCALE_STIMEFORMAT, such as "HH:mm:ss" or
// "h:mm:ss tt") renders the hour on the 24-hour clock: an "H" outside quoted
// text.
bool time_picture_is_24_hour(std::string_view picture);

// Whether the user writes times on the 24-hour clock: on Linux the locale's
// (LC_ALL, LC_TIME, LANG) time format; on Windows the user's time format in
// the regional settings.
bool user_clock_is_24_hour();

}  // namespace quorvel::platform
