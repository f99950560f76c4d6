#include "data/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "platform/clock.h"
#include "tests/support/environment.h"
#include "tests/support/locales.h"

namespace quorvel::data {
namespace {

constexpr double kSample = 45356.58829861111;  // 2024-03-05 14:07:09, a Tuesday
constexpr double kSecond = 1.0 / 86400.0;

// Calendar fields as "yyyy-mm-dd hh:mm:ss wN", or "none".
std::string text_of(const std::optional<CalendarFields>& f) {
    if (!f) {
        return "none";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d w%d", f->year, f->month,
                  f->day, f->hour, f->minute, f->second, f->day_of_week);
    return buffer;
}

double at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return date_time_from_calendar({year, month, 0, day, hour, minute, second, 0});
}

void pin_zone_and_locale() {
    testsupport::use_time_zone("CST-8");
    testsupport::set_environment("LC_ALL", "C");
}

TEST(DateTime, ConvertsToAndFromCalendarFields) {
    EXPECT_DOUBLE_EQ(at(2024, 3, 5, 14, 7, 9), kSample);
    EXPECT_EQ(text_of(calendar_from_date_time(kSample)), "2024-03-05 14:07:09 w2");
    EXPECT_EQ(text_of(calendar_from_date_time(0.0)), "1899-12-30 00:00:00 w6");
    // Before the origin the fraction still counts forward from the day.
    EXPECT_EQ(text_of(calendar_from_date_time(-1.25)), "1899-12-29 06:00:00 w5");
    EXPECT_DOUBLE_EQ(at(1899, 12, 29, 6), -1.25);
    EXPECT_EQ(text_of(calendar_from_date_time(-0.5)), "1899-12-30 12:00:00 w6");
    // Rounded to the nearest second, carrying into the next day.
    EXPECT_EQ(text_of(calendar_from_date_time(kSample + 0.4 * kSecond)), "2024-03-05 14:07:09 w2");
    EXPECT_EQ(text_of(calendar_from_date_time(kSample + 0.6 * kSecond)), "2024-03-05 14:07:10 w2");
    EXPECT_EQ(text_of(calendar_from_date_time(45356.0 + 86399.6 * kSecond)),
              "2024-03-06 00:00:00 w3");
    for (double when :
         {at(100, 1, 1), at(1600, 2, 29, 23, 59, 59), at(1899, 12, 29, 6, 30, 1),
          at(1900, 3, 1, 12), at(2000, 2, 29, 0, 0, 1), at(9999, 12, 31, 23, 59, 59)}) {
        std::optional<CalendarFields> f = calendar_from_date_time(when);
        ASSERT_TRUE(f.has_value()) << when;
        EXPECT_DOUBLE_EQ(at(f->year, f->month, f->day, f->hour, f->minute, f->second), when);
    }
}

TEST(DateTime, RejectsValuesOutsideTheYears100To9999) {
    EXPECT_EQ(text_of(calendar_from_date_time(at(99, 12, 31, 23, 59, 59))), "none");
    EXPECT_EQ(text_of(calendar_from_date_time(at(10000, 1, 1))), "none");
    EXPECT_EQ(text_of(calendar_from_date_time(at(9999, 12, 31) + 86399.7 * kSecond)), "none");
    EXPECT_EQ(text_of(calendar_from_date_time(std::numeric_limits<double>::quiet_NaN())), "none");
    EXPECT_EQ(text_of(calendar_from_date_time(-INFINITY)), "none");
    // Noon of the first valid day: a negative value whose day is 0100-01-01.
    EXPECT_EQ(text_of(calendar_from_date_time(at(100, 1, 1, 12))), "0100-01-01 12:00:00 w5");
}

TEST(DateTime, FormatsPictures) {
    const double one_pm = at(2024, 3, 5, 13, 5, 0);
    const double one_am = at(2024, 3, 5, 1, 5, 0);
    constexpr HourClock h12 = HourClock::twelve_hour;
    constexpr HourClock h24 = HourClock::twenty_four_hour;
    // No morning/afternoon marker: 13:05 and 01:05 read alike on the 12-hour clock.
    EXPECT_EQ(format_with_pictures(one_pm, "yyyy-MM-dd ", "hh:mm:ss", h12), "2024-03-05 01:05:00");
    EXPECT_EQ(format_with_pictures(one_am, "", "hh:mm", h12), "01:05");
    EXPECT_EQ(format_with_pictures(one_pm, "", "hh:mm", h24), "13:05");
    EXPECT_EQ(format_with_pictures(one_pm, "", "HH:mm", h12), "13:05");
    EXPECT_EQ(format_with_pictures(at(2024, 3, 5), "", "hh:mm", h12), "12:00");
    EXPECT_EQ(format_with_pictures(at(2024, 3, 5, 12), "", "hh:mm", h12), "12:00");
    EXPECT_EQ(format_with_pictures(at(2024, 3, 5), "", "hh:mm", h24), "00:00");
    // Pictures shorter than 3 bytes give nothing.
    EXPECT_EQ(format_with_pictures(one_pm, "MM", "ss", h12), "");
    EXPECT_EQ(format_with_pictures(one_pm, "yyyy", "mm", h12), "2024");
    // A double-byte character whose second byte is "m" or "M" is copied whole.
    EXPECT_EQ(format_with_pictures(one_pm, "\x81\x4DM", "\x81\x6Dm", h24), "\x81\x4DM\x81\x6Dm");
    EXPECT_EQ(format_with_pictures(NAN, "yyyy", "HH:mm", h12), "");
}

// A morning time reads the same on either clock, so these hold whatever the
// process's locale says.
TEST(DateTime, FormatsStylesAndFields) {
    pin_zone_and_locale();
    const double morning = at(2024, 3, 5, 9, 7, 9);
    EXPECT_EQ(format_date_time(morning, DateStyle::compact, DateFields::date), "20240305");
    EXPECT_EQ(format_date_time(morning, DateStyle::dashes, DateFields::date_and_time),
              "2024-03-05 09:07:09");
    EXPECT_EQ(format_date_time(morning, DateStyle::chinese, DateFields::date_and_time),
              "2024\xC4\xEA"
              "03\xD4\xC2"
              "05\xC8\xD5 09\xCA\xB1"
              "07\xB7\xD6"
              "09\xC3\xEB");
    // The date alone loses the space that separates it from the time.
    EXPECT_EQ(format_date_time(morning, DateStyle::chinese, DateFields::date),
              "2024\xC4\xEA"
              "03\xD4\xC2"
              "05\xC8\xD5");
    EXPECT_EQ(format_date_time(morning, DateStyle::dashes, DateFields::date), "2024-03-05");
    EXPECT_EQ(format_date_time(morning, DateStyle::slashes, DateFields::month_and_day), "03/05");
    EXPECT_EQ(format_date_time(morning, DateStyle::slashes, DateFields::time), "09/07/09");
    EXPECT_EQ(format_date_time(morning, DateStyle::dashes, DateFields::hour_and_minute), "09:07");
    EXPECT_EQ(format_date_time(morning, DateStyle::compact, DateFields::minute_and_second), "0709");
    EXPECT_EQ(format_date_time(morning, DateStyle::compact, DateFields::date_and_time),
              "20240305090709");
    EXPECT_EQ(format_date_time(at(99, 1, 1), DateStyle::compact, DateFields::date), "");
    // Values outside the named ones act as chinese and date_and_time.
    const std::string style0 = format_date_time(morning);
    EXPECT_EQ(style0, format_date_time(morning, DateStyle::chinese, DateFields::date_and_time));
    for (int outside : {-1, 4, 7}) {
        EXPECT_EQ(
            format_date_time(morning, static_cast<DateStyle>(outside), DateFields::date_and_time),
            style0)
            << outside;
    }
    for (int outside : {-1, 6, 9}) {
        EXPECT_EQ(format_date_time(morning, DateStyle::chinese, static_cast<DateFields>(outside)),
                  style0)
            << outside;
    }
}

// The hour follows the process's clock reading: 14:07 and midnight as
// 14/00 on the 24-hour clock, 02/12 on the 12-hour one.
TEST(DateTime, HoursFollowTheUsersClock) {
    pin_zone_and_locale();
    const bool h24 = clock_is_24_hour() == 1;
    EXPECT_EQ(format_date_time(kSample, DateStyle::dashes, DateFields::date_and_time),
              h24 ? "2024-03-05 14:07:09" : "2024-03-05 02:07:09");
    EXPECT_EQ(format_date_time(at(2024, 3, 5), DateStyle::dashes, DateFields::hour_and_minute),
              h24 ? "00:00" : "12:00");
}

// The locale is read once: a later change of locale does not change the
// answer (reading it on every call would answer 0 under en_US and 1 under C).
TEST(DateTime, ReadsTheUsersClockOncePerProcess) {
    testsupport::set_environment("LC_ALL", testsupport::make_locale("en_US.UTF-8"));
    const int under_en_us = clock_is_24_hour();
    testsupport::set_environment("LC_ALL", "C");
    const int under_c = clock_is_24_hour();
    EXPECT_EQ(under_en_us, under_c);
    EXPECT_TRUE(under_c == 0 || under_c == 1) << under_c;
}

// No date-time means the current local date and time.
TEST(DateTime, FormatsNowWhenNoDateTimeIsGiven) {
    pin_zone_and_locale();
    const bool hours_24 = clock_is_24_hour() == 1;
    auto local_text = [hours_24](std::time_t t) {
        const platform::LocalDateTime l = platform::local_time_of(t);
        const int hour = hours_24 ? l.hour : (l.hour + 11) % 12 + 1;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", l.year, l.month, l.day,
                      hour, l.minute, l.second);
        return std::string(buffer);
    };
    const std::time_t before = std::time(nullptr);
    const std::string now =
        format_date_time(std::nullopt, DateStyle::compact, DateFields::date_and_time);
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(now == local_text(before) || now == local_text(after)) << now;
}

}  // namespace
}  // namespace quorvel::data
