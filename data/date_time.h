#pragma once
// Date-time values and their text. A date-time is an OLE automation date: days
// since 1899-12-30 00:00 as a double, the fraction giving the time of day
// (for dates before the origin the fraction still counts forward from the
// day: -1.25 is 1899-12-29 06:00).

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::data {

struct CalendarFields {
    int year = 0;
    int month = 0;
    int day_of_week = 0;  // 0 = Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// The calendar fields of a date-time, rounded to the nearest second; nothing
// outside the years 100 to 9999 (or for a value that is not a number).
std::optional<CalendarFields> calendar_from_date_time(double when);

// The date-time of calendar fields (milliseconds ignored).
double date_time_from_calendar(const CalendarFields& fields);

// The current local date and time in whole seconds.
double date_time_now();

// Text of a date-time. style 0-3: Chinese words, dashes, slashes, compact
// digits (others mean 0). fields: 0 date and time, 1 date, 2 month and day,
// 3 time, 4 hour and minute, 5 minute and second (others mean 0). The time
// follows the user's 12- or 24-hour clock. Omitted `when` means now.
std::string format_date_time(std::optional<double> when = std::nullopt, int style = 0,
                             int fields = 0);

// 1 when the user's locale writes times on the 24-hour clock, else 0.
int clock_is_24_hour();

// Renders a date picture (yyyy, MM, dd) and a time picture (hh, HH, mm, ss);
// every other character is copied. A picture shorter than 3 bytes gives an
// empty part. With force_24_hour, hh renders on the 24-hour clock. Empty when
// `when` cannot be converted.
std::string format_with_pictures(double when, std::string_view date_picture,
                                 std::string_view time_picture, bool force_24_hour);

}  // namespace quorvel::data
