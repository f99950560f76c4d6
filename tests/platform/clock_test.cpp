#include "platform/clock.h"

#include <gtest/gtest.h>

#include <tuple>

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

// A Windows time picture is 24-hour by an "H" outside quoted text; "h" and
// quoted letters do not count.
TEST(Clock, TimePictureIs24HourReadsTheHourLetter) {
    EXPECT_TRUE(time_picture_is_24_hour("HH:mm:ss"));
    EXPECT_TRUE(time_picture_is_24_hour("H:mm"));
    EXPECT_TRUE(time_picture_is_24_hour("'Uhr' HH.mm"));
    EXPECT_TRUE(time_picture_is_24_hour("'it''s' H:mm"));  // a quote within quotes
    EXPECT_FALSE(time_picture_is_24_hour("h:mm:ss tt"));
    EXPECT_FALSE(time_picture_is_24_hour("tt hh:mm"));
    EXPECT_FALSE(time_picture_is_24_hour("'H' h:mm"));
    EXPECT_FALSE(time_picture_is_24_hour("'it''s H' h:mm"));
    EXPECT_FALSE(time_picture_is_24_hour(""));
}

// The current time to the millisecond agrees with the same instant in whole
// seconds, whatever the zone.
TEST(Clock, LocalNowAgreesWithLocalTimeOf) {
    const std::int64_t before = unix_seconds_now();
    const LocalDateTime now = local_now();
    const std::int64_t after = unix_seconds_now();
    auto minutes = [&](const LocalDateTime& t) {
        return std::tuple{t.year, t.month, t.day, t.hour, t.minute};
    };
    EXPECT_TRUE(minutes(now) == minutes(local_time_of(before)) ||
                minutes(now) == minutes(local_time_of(after)));
    EXPECT_GE(now.milliseconds, 0);
    EXPECT_LT(now.milliseconds, 1000);
}

}  // namespace
}  // namespace quorvel::platform
