// Code pages on Windows: GB18030 is code page 54936 where the system has it,
// and code page 936 serves by itself where it has not.

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace quorvel::platform {
namespace {

TEST(CodePageWindows, GbTextFollowsTheSystemsCodePages) {
    EXPECT_EQ(gb18030_available(), IsValidCodePage(54936) != 0);
    if (gb18030_available()) {
        EXPECT_EQ(code_page_from_utf16(u"😀", code_page_gbk), "\x94\x39\xFC\x36");
        EXPECT_EQ(utf16_from_code_page("\x81\x30\x81\x30", code_page_ansi), u"\u0080");
    } else {
        // Code page 936 lacks these: written as "?" (one per UTF-16 unit), read as U+FFFD.
        EXPECT_EQ(code_page_from_utf16(u"😀\u0080", code_page_gbk), "???");
        EXPECT_EQ(utf16_from_code_page("\x81\x30\x81\x30", code_page_ansi).front(), u'\uFFFD');
    }
    // The euro sign is written as GB18030 writes it either way.
    EXPECT_EQ(code_page_from_utf16(u"\u20AC", code_page_gbk), "\xA2\xE3");
}

}  // namespace
}  // namespace quorvel::platform
