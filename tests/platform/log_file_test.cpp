#include "platform/log_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/log.h"
#include "platform/user_folders.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::ScratchFolder;

// Puts an environment variable back as it was.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string file_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

mode_t mode_of(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 0777;
}

TEST(UserFolders, DataFolderFollowsXdgDataHome) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv data("XDG_DATA_HOME", "/data/here");
        EXPECT_EQ(user_data_folder().value(), fs::path("/data/here/quorvel"));
    }
    // Unset, empty or relative: the default under the home folder.
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/path"}) {
        ScopedEnv data("XDG_DATA_HOME", value);
        EXPECT_EQ(user_data_folder().value(), fs::path("/home/someone/.local/share/quorvel"));
    }
}

TEST(UserFolders, CreatedFoldersArePrivate) {
    ScratchFolder scratch;
    const fs::path deep = scratch.path() / "a" / "b";
    ASSERT_TRUE(make_private_folder(deep).has_value());
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(mode_of(scratch.path() / "a"), 0700u);
    EXPECT_EQ(mode_of(deep), 0700u);
    // Existing folders are fine; a file in the way is an error that says where.
    EXPECT_TRUE(make_private_folder(deep).has_value());
    std::ofstream(scratch.path() / "file") << "x";
    auto blocked = make_private_folder(scratch.path() / "file" / "sub");
    ASSERT_FALSE(blocked.has_value());
    EXPECT_THAT(blocked.error(), HasSubstr("file"));
}

TEST(LogFile, LinesAreUtf8AndTheFilesRotate) {
    ScratchFolder scratch;
    const fs::path folder = scratch.path() / "logs";
    const auto before = set_log_sink(nullptr);
    ASSERT_TRUE(open_log_file(folder).has_value());
    EXPECT_EQ(mode_of(folder), 0700u);
    // Code-page text ("抓取下拉词失败") reaches the file as UTF-8.
    log_warning("message shown: \xD7\xA5\xC8\xA1\xCF\xC2\xC0\xAD\xB4\xCA\xCA\xA7\xB0\xDC");
    log_info("plain");
    const std::string text = file_text(folder / "quorvel.log");
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
