#include "data/request_timestamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "data/date_time.h"
#include "platform/clock.h"
#include "tests/support/environment.h"

namespace quorvel::data {
namespace {

double at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return date_time_from_calendar({year, month, 0, day, hour, minute, second, 0});
}

bool all_digits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Whole seconds since 1970-01-01 08:00 local time, then three millisecond digits.
TEST(RequestTimestamp, JoinsSecondsAndMilliseconds) {
    const double sample = at(2024, 3, 5, 14, 7, 9);
    EXPECT_EQ(timestamp_text(0, sample, TimestampForm::with_milliseconds), "1709618829000");
    EXPECT_EQ(timestamp_text(5, sample, TimestampForm::with_milliseconds), "1709618829005");
    EXPECT_EQ(timestamp_text(45, sample, TimestampForm::with_milliseconds), "1709618829045");
    EXPECT_EQ(timestamp_text(999, sample, TimestampForm::with_milliseconds), "1709618829999");
    EXPECT_EQ(timestamp_text(999, sample, TimestampForm::seconds_only), "1709618829");
}

// Texts shorter than the width are filled with zeros at the end.
TEST(RequestTimestamp, PadsShortTextsWithTrailingZeros) {
    const double nine_digits = at(2001, 9, 9, 9, 46, 39);  // 999999999 seconds
    EXPECT_EQ(timestamp_text(123, nine_digits, TimestampForm::with_milliseconds), "9999999991230");
    EXPECT_EQ(timestamp_text(123, nine_digits, TimestampForm::seconds_only), "9999999991");
    EXPECT_EQ(timestamp_text(7, at(1970, 1, 1, 8), TimestampForm::with_milliseconds),
              "0007000000000");
    EXPECT_EQ(timestamp_text(7, at(1970, 1, 1, 8), TimestampForm::seconds_only), "0007000000");
}

// Every whole second must survive the day arithmetic without losing one to
// rounding, at both ends of the 13-digit range.
TEST(RequestTimestamp, CountsEverySecondExactly) {
    struct Day {
        int year, month, day;
        std::int64_t seconds;  // at 00:00:00 local time
    };
    for (Day d : {Day{2001, 9, 10, 1000051200}, Day{2024, 3, 5, 1709568000},
                  Day{2286, 11, 20, 9999907200}}) {
        int wrong = 0;
        for (int s = 0; s < 86400; ++s) {
            const double when = at(d.year, d.month, d.day, s / 3600, s / 60 % 60, s % 60);
            const std::string expected = std::to_string(d.seconds + s) + "000";
            const std::string actual = timestamp_text(0, when, TimestampForm::with_milliseconds);
            if (actual != expected && ++wrong <= 3) {
                ADD_FAILURE() << actual << " != " << expected;
            }
        }
        EXPECT_EQ(wrong, 0) << d.year;
    }
}

// The local zone's offset from UTC+8 at a Unix time, in seconds, as the
// program reads the zone (on Windows, Windows' own setting, whatever TZ says).
std::int64_t shift_from_utc8(std::int64_t unix_seconds) {
    const platform::LocalDateTime t = platform::local_time_of(unix_seconds);
    const double local = at(t.year, t.month, t.day, t.hour, t.minute, t.second);
    return std::llround(local * 86400.0) - (unix_seconds + std::int64_t{25569} * 86400) - 8 * 3600;
}

// Equals the Unix time in milliseconds when the local zone is UTC+8, and is
// shifted by the zone's offset from UTC+8 elsewhere.
TEST(RequestTimestamp, FollowsTheClockAndTheLocalZone) {
    for (const char* zone : {"CST-8", "UTC0"}) {
        testsupport::use_time_zone(zone);
        const std::int64_t shift = shift_from_utc8(std::time(nullptr));
        const std::int64_t before = std::time(nullptr) + shift;
        const std::string millis = request_timestamp();
        const std::string seconds = request_timestamp(TimestampForm::seconds_only);
        const std::int64_t after = std::time(nullptr) + shift;
        ASSERT_TRUE(millis.size() == 13 && all_digits(millis)) << millis;
        ASSERT_TRUE(seconds.size() == 10 && all_digits(seconds)) << seconds;
        EXPECT_LE((before - 2) * 1000, std::stoll(millis)) << zone;
        EXPECT_LE(std::stoll(millis), (after + 2) * 1000) << zone;
        EXPECT_LE(before - 2, std::stoll(seconds)) << zone;
        EXPECT_LE(std::stoll(seconds), after + 2) << zone;
    }
    testsupport::use_time_zone("CST-8");
}

}  // namespace
}  // namespace quorvel::data
