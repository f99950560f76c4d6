// Local time from Windows' own time zone setting, not from the C runtime's TZ.

#include <windows.h>

#include <gtest/gtest.h>

#include <time.h>

#include <cstdint>
#include <tuple>

#include "platform/clock.h"
#include "tests/support/environment.h"

namespace quorvel::platform {
namespace {

// With TZ naming UTC+3:17, which no system zone has and the C runtime reads,
// local times still equal Windows' own reading of the same instants.
TEST(Clock, LocalTimeFollowsWindowsZoneNotTz) {
    testsupport::ScopedEnv zone("TZ", "ABC-3:17");
    _tzset();
    auto windows_local = [](std::int64_t unix_seconds) {
        const auto steps = static_cast<std::uint64_t>(unix_seconds + 11644473600) * 10000000;
        const FILETIME instant{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
        SYSTEMTIME utc{};
        SYSTEMTIME local{};
        EXPECT_TRUE(FileTimeToSystemTime(&instant, &utc) &&
                    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
        return std::tuple<int, int, int, int, int, int, int>{
            local.wYear, local.wMonth,  local.wDay,   local.wDayOfWeek,
            local.wHour, local.wMinute, local.wSecond};
    };
    auto fields = [](const LocalDateTime& t) {
        return std::tuple{t.year, t.month, t.day, t.day_of_week, t.hour, t.minute, t.second};
    };
    // Winter and summer, for a zone with daylight saving time, and now.
    for (std::int64_t t :
         {std::int64_t{1709618829}, std::int64_t{1720000000}, unix_seconds_now()}) {
        EXPECT_EQ(fields(local_time_of(t)), windows_local(t)) << t;
    }
}

}  // namespace
}  // namespace quorvel::platform
