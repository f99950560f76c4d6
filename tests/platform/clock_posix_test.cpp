// The user's clock setting as the locale has it (Linux: LC_ALL and compiled
// test locales).

#include <gtest/gtest.h>

#include <time.h>

#include <tuple>

#include "platform/clock.h"
#include "tests/support/environment.h"
#include "tests/support/locales.h"

namespace quorvel::platform {
namespace {

using testsupport::ScopedEnv;

// Calendar fields of a Unix time in the zone TZ names (UTC+8 here).
TEST(Clock, LocalTimeOfUsesTheLocalZone) {
    ScopedEnv zone("TZ", "CST-8");
    tzset();
    auto fields = [](const LocalDateTime& t) {
        return std::tuple{t.year, t.month,  t.day,    t.day_of_week,
                          t.hour, t.minute, t.second, t.milliseconds};
    };
    EXPECT_EQ(fields(local_time_of(1709618829)), std::tuple(2024, 3, 5, 2, 14, 7, 9, 0));
    EXPECT_EQ(fields(local_time_of(0)), std::tuple(1970, 1, 1, 4, 8, 0, 0, 0));
}

// The C locale writes "%H:%M:%S"; an unknown locale falls back to it; the
// United States locale writes times on the 12-hour clock.
TEST(Clock, UserClockFollowsTheLocale) {
    {
        ScopedEnv locale("LC_ALL", "C");
        EXPECT_TRUE(user_clock_is_24_hour());
    }
    {
        ScopedEnv locale("LC_ALL", "xx_NOWHERE.UTF-8");
        EXPECT_TRUE(user_clock_is_24_hour());
    }
    {
        ScopedEnv locale("LC_ALL", testsupport::make_locale("en_US.UTF-8").c_str());
        EXPECT_FALSE(user_clock_is_24_hour());
    }
    {
        ScopedEnv locale("LC_ALL", testsupport::make_locale("de_DE.UTF-8").c_str());
        EXPECT_TRUE(user_clock_is_24_hour());
    }
}

}  // namespace
}  // namespace quorvel::platform
