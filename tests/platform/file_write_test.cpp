// Whole-or-nothing file writes, on every system.

#include "platform/file_write.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/utf8_path.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using testsupport::file_bytes;
using testsupport::ScratchFolder;

TEST(AtomicFile, TheTargetAppearsWholeOnlyOnCommit) {
    ScratchFolder folder;
    const fs::path target = folder / "out.txt";
    auto file = AtomicFile::create(target);
    ASSERT_TRUE(file) << file.error().detail;
    // The temporary file is beside the target, named after it.
    EXPECT_EQ(file->temporary().parent_path(), folder.path());
    EXPECT_EQ(file->temporary().filename().string().rfind("out.txt.partial-", 0), 0u);
    ASSERT_TRUE(file->write("first\n"));
    ASSERT_TRUE(file->write(std::string(100000, 'x')));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(file_bytes(target), "first\n" + std::string(100000, 'x'));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.txt"});
}

TEST(AtomicFile, ReplacesAnExistingFileAndLeavesItWhenDiscarded) {
    ScratchFolder folder;
    const fs::path target = folder / "out.txt";
    std::ofstream(target, std::ios::binary) << "old contents, longer than the new";
    {
        auto dropped = AtomicFile::create(target);
        ASSERT_TRUE(dropped);
        ASSERT_TRUE(dropped->write("never seen"));
    }  // discarded as it goes
    EXPECT_EQ(file_bytes(target), "old contents, longer than the new");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.txt"});

    auto file = AtomicFile::create(target);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("new\r\n"));  // bytes as given: no line-end translation
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(file_bytes(target), "new\r\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.txt"});
}

TEST(AtomicFile, TwoAtOnceBesideOneTargetGetTheirOwnNames) {
    ScratchFolder folder;
    auto first = AtomicFile::create(folder / "t");
    auto second = AtomicFile::create(folder / "t");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first->temporary(), second->temporary());
    // Moved, the file is still the mover's to commit or discard.
    AtomicFile moved = std::move(*first);
    ASSERT_TRUE(moved.write("1"));
    second->discard();
    ASSERT_TRUE(moved.commit());
    EXPECT_EQ(file_bytes(folder / "t"), "1");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"t"});
}

TEST(AtomicFile, AMissingFolderIsSaidSo) {
    ScratchFolder folder;
    auto file = AtomicFile::create(folder / "missing" / "out.txt");
    ASSERT_FALSE(file);
    EXPECT_EQ(file.error().kind, FileWriteError::Kind::folder_missing);
    EXPECT_FALSE(file.error().reason.empty());
    EXPECT_FALSE(file.error().detail.empty());
}

// Replacing a folder fails at the last step; the temporary file goes.
TEST(AtomicFile, ACommitThatFailsRemovesTheTemporaryFile) {
    ScratchFolder folder;
    fs::create_directory(folder / "taken");
    auto file = AtomicFile::create(folder / "taken");
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("x"));
    auto committed = file->commit();
    ASSERT_FALSE(committed);
    EXPECT_FALSE(committed.error().reason.empty());
    EXPECT_TRUE(fs::is_directory(folder / "taken"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"taken"});
}

TEST(AtomicFile, NamesOutsideAsciiAsUtf8) {
    ScratchFolder folder;
    const fs::path target = folder.path() / path_from_utf8("连衣裙 😀.csv");
    EXPECT_EQ(utf8_of(target.filename()), "连衣裙 😀.csv");
    auto file = AtomicFile::create(target);
    ASSERT_TRUE(file) << file.error().detail;
    ASSERT_TRUE(file->write("a"));
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(file_bytes(target), "a");
    EXPECT_EQ(fs::directory_iterator(folder.path())->path().filename(), target.filename());
}

}  // namespace
}  // namespace quorvel::platform
