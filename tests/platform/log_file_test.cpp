#include "platform/log_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/clock.h"
#include "platform/log.h"
#include "tests/support/environment.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::file_bytes;
using testsupport::ScratchFolder;

// A stamp "yyyy-mm-dd hh:mm" of a Unix time in the program's local zone.
std::string minute_of(std::int64_t unix_seconds) {
    const LocalDateTime t = local_time_of(unix_seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return text;
}

TEST(LogFile, LinesAreUtf8AndTheFilesRotate) {
    ScratchFolder scratch;
    const fs::path folder = scratch.path() / "logs";
    const auto before = set_log_sink(nullptr);
    ASSERT_TRUE(open_log_file(folder).has_value());
    // Lines are stamped with the program's local time, also where TZ names a
    // zone (UTC+3:17) that Windows' own setting does not have.
    testsupport::ScopedEnv zone("TZ", "ABC-3:17");
    tzset();
    const std::int64_t first = unix_seconds_now();
    // Code-page text ("抓取下拉词失败") reaches the file as UTF-8.
    log_warning("message shown: \xD7\xA5\xC8\xA1\xCF\xC2\xC0\xAD\xB4\xCA\xCA\xA7\xB0\xDC");
    const std::int64_t last = unix_seconds_now();
    log_info("plain");
    const std::string text = file_bytes(folder / "quorvel.log");
    EXPECT_TRUE(text.rfind(minute_of(first), 0) == 0 || text.rfind(minute_of(last), 0) == 0)
        << text;
    EXPECT_THAT(text, HasSubstr("message shown: 抓取下拉词失败"));
    EXPECT_THAT(text, HasSubstr("warning"));
    EXPECT_THAT(text, HasSubstr("plain"));

    // Far more than five files' worth: at most five files, none much over 1 MiB.
    const std::string line(1000, 'x');
    for (int i = 0; i < 8 * 1024; ++i) {
        log_info(line);
    }
    set_log_sink(before);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++files;
        EXPECT_LE(entry.file_size(), log_file_size + 2 * line.size()) << entry.path();
    }
    EXPECT_EQ(files, log_file_count);
}

TEST(LogFile, AFolderThatCannotBeMadeIsAnError) {
    ScratchFolder scratch;
    std::ofstream(scratch.path() / "taken") << "x";
    const auto result = open_log_file(scratch.path() / "taken" / "logs");
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), HasSubstr("taken"));
}

}  // namespace
}  // namespace quorvel::platform
