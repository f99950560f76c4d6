#include "data/date_time.h"

#include <array>
#include <cmath>

#include "platform/clock.h"
#include "platform/code_page_text.h"

namespace quorvel::data {
namespace {

// Days between 1970-01-01 and the date-time origin 1899-12-30.
constexpr long long origin_unix_day = -25569;
// Before the origin the fraction counts forward from the day, so every value
// above -657435 (0100-01-01 is day -657434) up to 10000-01-01 converts.
constexpr double before_first = -657435.0;
constexpr double past_last = 2958466.0;  // 10000-01-01

// Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
void civil_from_days(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

long long days_from_civil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Picture {
    std::string_view date;
    std::string_view time;
    std::string_view month_day;
    std::string_view hour_minute;
    std::string_view minute_second;
};

// The pictures of the four styles, in code-page text.
constexpr std::array<Picture, 4> pictures = {{
    {"yyyy\xC4\xEAMM\xD4\xC2"
     "dd\xC8\xD5 ",
     "hh\xCA\xB1mm\xB7\xD6ss\xC3\xEB",
     "MM\xD4\xC2"
     "dd\xC8\xD5",
     "hh\xCA\xB1mm\xB7\xD6", "mm\xB7\xD6ss\xC3\xEB"},
    {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm", "mm:ss"},
    {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm", "mm/ss"},
    {"yyyyMMdd", "hhmmss", "MMdd", "hhmm", "mmss"},
}};

void append_number(std::string& out, int value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) {
        out.append(static_cast<std::size_t>(width) - digits.size(), '0');
    }
    out.append(digits);
}

struct Token {
    std::string_view letters;
    int width;
    int (*value)(const CalendarFields&, HourClock hh_clock);
};

constexpr Token date_tokens[] = {
    {"yyyy", 4, [](const CalendarFields& f, HourClock) { return f.year; }},
    {"MM", 2, [](const CalendarFields& f, HourClock) { return f.month; }},
    {"dd", 2, [](const CalendarFields& f, HourClock) { return f.day; }},
};

constexpr Token time_tokens[] = {
    {"hh", 2,
     [](const CalendarFields& f, HourClock hh_clock) {
         if (hh_clock == HourClock::twenty_four_hour) {
             return f.hour;
         }
         int h = f.hour % 12;
         return h == 0 ? 12 : h;
     }},
    {"HH", 2, [](const CalendarFields& f, HourClock) { return f.hour; }},
    {"mm", 2, [](const CalendarFields& f, HourClock) { return f.minute; }},
    {"ss", 2, [](const CalendarFields& f, HourClock) { return f.second; }},
};

// Renders a picture: each token becomes its number, every other character
// (double-byte ones whole) is copied.
template <std::size_t N>
std::string render(std::string_view picture, const Token (&tokens)[N], const CalendarFields& f,
                   HourClock hh_clock) {
    std::string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        const Token* hit = nullptr;
        for (const Token& token : tokens) {
            if (picture.substr(i, token.letters.size()) == token.letters) {
                hit = &token;
                break;
            }
        }
        if (hit != nullptr) {
            append_number(out, hit->value(f, hh_clock), hit->width);
            i += hit->letters.size();
            continue;
        }
        std::size_t len = platform::char_length(picture, i);
        out.append(picture.substr(i, len));
        i += len;
    }
    return out;
}

}  // namespace

std::optional<CalendarFields> calendar_from_date_time(double when) {
    if (!(when > before_first && when < past_last)) {
        return std::nullopt;
    }
    double whole = std::trunc(when);
    auto seconds = static_cast<long long>(std::llround(std::fabs(when - whole) * 86400.0));
    long long day = static_cast<long long>(whole) + seconds / 86400;
    seconds %= 86400;

    CalendarFields f;
    civil_from_days(day + origin_unix_day, f.year, f.month, f.day);
    if (f.year < 100 || f.year > 9999) {
        return std::nullopt;
    }
    long long unix_day = day + origin_unix_day;
    f.day_of_week = static_cast<int>(((unix_day % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    f.hour = static_cast<int>(seconds / 3600);
    f.minute = static_cast<int>(seconds / 60 % 60);
    f.second = static_cast<int>(seconds % 60);
    return f;
}

double date_time_from_calendar(const CalendarFields& f) {
    double day = static_cast<double>(days_from_civil(f.year, f.month, f.day) - origin_unix_day);
    double time = (f.hour * 3600.0 + f.minute * 60.0 + f.second) / 86400.0;
    return day < 0 ? day - time : day + time;
}

double date_time_now() {
    platform::LocalDateTime now = platform::local_now();
    return date_time_from_calendar(
        {now.year, now.month, now.day_of_week, now.day, now.hour, now.minute, now.second, 0});
}

int clock_is_24_hour() {
    // Reading the locale opens its files; the answer is wanted once per seed
    // of a harvest, so it is read once. A function-local static is
    // initialised exactly once even when threads race to it.
    static const int reading = platform::user_clock_is_24_hour() ? 1 : 0;
    return reading;
}

std::string format_with_pictures(double when, std::string_view date_picture,
                                 std::string_view time_picture, HourClock hh_clock) {
    std::optional<CalendarFields> fields = calendar_from_date_time(when);
    if (!fields) {
        return {};
    }
    std::string out;
    if (date_picture.size() >= 3) {
        out = render(date_picture, date_tokens, *fields, hh_clock);
    }
    if (time_picture.size() >= 3) {
        out += render(time_picture, time_tokens, *fields, hh_clock);
    }
    return out;
}

std::string format_date_time(std::optional<double> when, DateStyle style, DateFields fields) {
    const auto style_index = static_cast<int>(style);
    const Picture& p =
        pictures[(style_index < 0 || style_index > 3) ? 0 : static_cast<std::size_t>(style_index)];
    std::string_view date = p.date;
    std::string_view time = p.time;
    switch (fields) {
        case DateFields::date:
            date = platform::trim_spaces_view(date);
            time = {};
            break;
        case DateFields::month_and_day:
            date = p.month_day;
            time = {};
            break;
        case DateFields::time:
            date = {};
            break;
        case DateFields::hour_and_minute:
            date = {};
            time = p.hour_minute;
            break;
        case DateFields::minute_and_second:
            date = {};
            time = p.minute_second;
            break;
        default:  // date_and_time, and any value outside the named ones
            break;
    }
    const HourClock hh_clock =
        clock_is_24_hour() == 1 ? HourClock::twenty_four_hour : HourClock::twelve_hour;
    return format_with_pictures(when.value_or(date_time_now()), date, time, hh_clock);
}

}  // namespace quorvel::data
