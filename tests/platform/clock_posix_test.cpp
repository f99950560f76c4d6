// The user's clock setting as the locale has it (Linux: LC_ALL and compiled
// test locales).

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "tests/platform/scoped_env.h"
#include "tests/support/locales.h"

namespace quorvel::platform {
namespace {

using testing_env::ScopedEnv;

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
