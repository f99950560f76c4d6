#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <tuple>

#include "tests/support/locales.h"

namespace quorvel::platform {
namespace {

// The 24-hour decision must come from the hour conversion itself, not from
// any "H" in the text, and must see through glibc's flags.
TEST(Clock, TimeFormatIs24HourReadsTheHourConversion) {
    EXPECT_TRUE(time_format_is_24_hour("%H:%M:%S"));
    EXPECT_TRUE(time_format_is_24_hour("%T"));
    EXPECT_TRUE(time_format_is_24_hour("%R"));
    EXPECT_TRUE(time_format_is_24_hour("%k:%M"));
    EXPECT_TRUE(time_format_is_24_hour("%-H.%M"));
    EXPECT_TRUE(time_format_is_24_hour("%OH:%M"));
    EXPECT_TRUE(time_format_is_24_hour("%2H:%M"));  // a field width before the conversion
    EXPECT_TRUE(time_format_is_24_hour("%%%H"));    // a literal percent, then the hour
    EXPECT_FALSE(time_format_is_24_hour("%r"));
    EXPECT_FALSE(time_format_is_24_hour("%I:%M:%S %p"));
    EXPECT_FALSE(time_format_is_24_hour("%l:%M %p"));
    EXPECT_FALSE(time_format_is_24_hour("%%H"));  // a literal percent, then the letter H
    EXPECT_FALSE(time_format_is_24_hour("H:M"));
    EXPECT_FALSE(time_format_is_24_hour("%"));
    EXPECT_FALSE(time_format_is_24_hour(""));
}

// The C locale writes "%H:%M:%S"; an unknown locale falls back to it; the
// United States locale writes times on the 12-hour clock.
TEST(Clock, UserClockFollowsTheLocale) {
    setenv("LC_ALL", "C", 1);
    EXPECT_TRUE(user_clock_is_24_hour());
    setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    EXPECT_TRUE(user_clock_is_24_hour());
    setenv("LC_ALL", testsupport::make_locale("en_US.UTF-8").c_str(), 1);
    EXPECT_FALSE(user_clock_is_24_hour());
    setenv("LC_ALL", testsupport::make_locale("de_DE.UTF-8").c_str(), 1);
    EXPECT_TRUE(user_clock_is_24_hour());
    setenv("LC_ALL", "C", 1);
}

// Calendar fields of a Unix time in the local zone (UTC+8 here).
TEST(Clock, LocalTimeOfUsesTheLocalZone) {
    setenv("TZ", "CST-8", 1);
    tzset();
    auto fields = [](const LocalDateTime& t) {
        return std::tuple{t.year, t.month,  t.day,    t.day_of_week,
                          t.hour, t.minute, t.second, t.milliseconds};
    };
    EXPECT_EQ(fields(local_time_of(1709618829)), std::tuple(2024, 3, 5, 2, 14, 7, 9, 0));
    EXPECT_EQ(fields(local_time_of(0)), std::tuple(1970, 1, 1, 4, 8, 0, 0, 0));
}

}  // namespace
}  // namespace quorvel::platform
