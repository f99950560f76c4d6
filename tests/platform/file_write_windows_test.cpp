// Whole-or-nothing file writes where Windows differs: files another program
// holds open, and the sharing that lets a library write the temporary file
// by its name.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/file_write.h"
#include "tests/support/held_open.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using testsupport::file_bytes;
using testsupport::HeldOpen;
using testsupport::ScratchFolder;

TEST(AtomicFileWindows, ATargetHeldOpenIsSaidToBeInUseAndStaysAsItWas) {
    ScratchFolder folder;
    const fs::path target = folder / "words.xlsx";
    std::ofstream(target, std::ios::binary) << "open elsewhere";
    {
        HeldOpen excel(target);
        ASSERT_TRUE(excel.is_open());
        auto file = AtomicFile::create(target);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->write("new"));
        auto committed = file->commit();
        ASSERT_FALSE(committed);
        EXPECT_EQ(committed.error().kind, FileWriteError::Kind::in_use)
            << committed.error().detail << ": " << committed.error().reason;
        EXPECT_FALSE(committed.error().reason.empty());
        EXPECT_EQ(folder.names(), std::vector<std::string>{"words.xlsx"});
    }
    EXPECT_EQ(file_bytes(target), "open elsewhere");
    // Closed there, the same export goes through.
    auto file = AtomicFile::create(target);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("new"));
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(file_bytes(target), "new");
}

TEST(AtomicFileWindows, AReadOnlyTargetIsAMatterOfPermission) {
    ScratchFolder folder;
    const fs::path target = folder / "kept.csv";
    std::ofstream(target, std::ios::binary) << "kept";
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    auto file = AtomicFile::create(target);
    ASSERT_TRUE(file);
    auto committed = file->commit();
    ASSERT_FALSE(committed);
    EXPECT_EQ(committed.error().kind, FileWriteError::Kind::no_permission)
        << committed.error().detail;
    EXPECT_EQ(file_bytes(target), "kept");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// libxlsxwriter opens the temporary file by name with fopen(..., "wb") while
// the writer's own handle stays open for the flush.
TEST(AtomicFileWindows, TheTemporaryFileCanBeWrittenByNameWhileOpen) {
    ScratchFolder folder;
    auto file = AtomicFile::create(folder / "book.xlsx");
    ASSERT_TRUE(file);
    std::FILE* other = _wfopen(file->temporary().c_str(), L"wb");
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(std::fwrite("PK", 1, 2, other), 2u);
    ASSERT_EQ(std::fclose(other), 0);
    ASSERT_TRUE(file->commit());
    EXPECT_EQ(file_bytes(folder / "book.xlsx"), "PK");
}

}  // namespace
}  // namespace quorvel::platform
