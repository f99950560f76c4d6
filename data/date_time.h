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

// How format_date_time writes the parts: "2024年03月05日 14时07分09秒",
// "2024-03-05 14:07:09", "2024/03/05 14/07/09" or "20240305140709". A value
// outside these acts as chinese.
enum class DateStyle : int { chinese = 0, dashes = 1, slashes = 2, compact = 3 };

// Which parts format_date_time writes. A value outside these acts as
// date_and_time.
enum class DateFields : int {
    date_and_time = 0,
    date = 1,
    month_and_day = 2,
    time = 3,
    hour_and_minute = 4,
    minute_and_second = 5,
};

// The clock a picture's "hh" is rendered on ("HH" is always the 24-hour clock).
enum class HourClock { twelve_hour, twenty_four_hour };

// Text of a date-time in a style with some of its fields. The hour follows
// the user's 12- or 24-hour clock (clock_is_24_hour). Omitted `when` means now.
std::string format_date_time(std::optional<double> when = std::nullopt,
                             DateStyle style = DateStyle::chinese,
                             DateFields fields = DateFields::date_and_time);

// 1 when the user's locale writes times on the 24-hour clock, else 0. The
// locale is read once per process, on first use; later changes to it are not seen.
int clock_is_24_hour();

// Renders a date picture (yyyy, MM, dd) and a time picture (hh, HH, mm, ss);
// every other character is copied. A picture shorter than 3 bytes gives an
// empty part. Empty when `when` cannot be converted.
std::string format_with_pictures(double when, std::string_view date_picture,
                                 std::string_view time_picture, HourClock hh_clock);

}  // namespace quorvel::data
