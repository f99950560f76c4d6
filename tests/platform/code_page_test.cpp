#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::platform {
namespace {

// "连衣裙 a" with a full-width space, then 😀 and 𠮷 (neither is in GBK), in GB18030.
constexpr std::string_view kGb =
    "\xC1\xAC\xD2\xC2\xC8\xB9\xA1\xA1"
    "a\x94\x39\xFC\x36\x95\x34\xB2\x35";
constexpr std::u16string_view kWide = u"连衣裙\u3000a😀𠮷";
constexpr std::string_view kUtf8 = "连衣裙\u3000a😀𠮷";
constexpr std::string_view kGbReplacement = "\x84\x31\xA4\x37";  // U+FFFD

// Windows without code page 54936 (Wine 8) serves code page 936 by itself, which
// lacks what these tests need.
#define SKIP_WITHOUT_GB18030()                                                       \
    if (!gb18030_available()) {                                                      \
        GTEST_SKIP() << "needs code page 54936 (GB18030), which this system lacks; " \
                        "code page 936 serves instead";                              \
    }

// Text within code page 936 reads and writes the same with or without GB18030.
TEST(CodePage, RoundTripsGbkText) {
    constexpr std::string_view gb =
        "\xC1\xAC\xD2\xC2\xC8\xB9\xA1\xA1"
        "a\xA1\xA4\xA8\xA6";
    constexpr std::u16string_view wide = u"连衣裙\u3000a\u00B7\u00E9";
    constexpr std::string_view utf8 = "连衣裙\u3000a\u00B7\u00E9";
    for (int cp : {code_page_gbk, code_page_ansi}) {
        EXPECT_EQ(utf16_from_code_page(gb, cp), wide) << cp;
        EXPECT_EQ(code_page_from_utf16(wide, cp), gb) << cp;
        EXPECT_EQ(convert_code_page(gb, cp, code_page_utf8), utf8) << cp;
        EXPECT_EQ(convert_code_page(utf8, code_page_utf8, cp), gb) << cp;
        EXPECT_EQ(convert_code_page(gb, cp, cp), gb) << cp;
    }
}

// Characters outside GBK must survive every direction instead of becoming "?".
TEST(CodePage, RoundTripsChineseEmojiAndRareCharacters) {
    SKIP_WITHOUT_GB18030();
    for (int cp : {code_page_gbk, code_page_ansi}) {
        EXPECT_EQ(utf16_from_code_page(kGb, cp), kWide);
        EXPECT_EQ(code_page_from_utf16(kWide, cp), kGb);
        EXPECT_EQ(convert_code_page(kGb, cp, code_page_utf8), kUtf8);
        EXPECT_EQ(convert_code_page(kUtf8, code_page_utf8, cp), kGb);
    }
    EXPECT_EQ(utf16_from_code_page(kUtf8, code_page_utf8), kWide);
    EXPECT_EQ(code_page_from_utf16(kWide, code_page_utf8), kUtf8);
    EXPECT_EQ(convert_code_page("plain ascii", code_page_gbk, code_page_utf8), "plain ascii");
    EXPECT_EQ(utf16_from_code_page("", code_page_gbk), u"");
}

// Output larger than one conversion buffer must come out whole.
TEST(CodePage, ConvertsLongTexts) {
    SKIP_WITHOUT_GB18030();
    std::string gb;
    std::string utf8;
    for (int i = 0; i < 3000; ++i) {
        gb += kGb;
        utf8 += kUtf8;
    }
    EXPECT_EQ(convert_code_page(gb, code_page_gbk, code_page_utf8), utf8);
    EXPECT_EQ(convert_code_page(utf8, code_page_utf8, code_page_gbk), gb);
}

// The whole view is converted: a zero byte is a character, not an end.
TEST(CodePage, ConvertsEmbeddedZeroBytes) {
    using namespace std::string_view_literals;
    EXPECT_EQ(utf16_from_code_page("\xC1\xAC\0x"sv, code_page_gbk), u"连\0x"sv);
    EXPECT_EQ(code_page_from_utf16(u"连\0x"sv, code_page_gbk), "\xC1\xAC\0x"sv);
    EXPECT_EQ(convert_code_page("\xC1\xAC\0x"sv, code_page_gbk, code_page_utf8), "连\0x"sv);
}

// Bad input never fails a conversion: each bad byte or lone surrogate is U+FFFD.
TEST(CodePage, UndecodableInputBecomesReplacementCharacters) {
    EXPECT_EQ(utf16_from_code_page("a\xFF"
                                   "b",
                                   code_page_utf8),
              u"a\uFFFDb");
    EXPECT_EQ(utf16_from_code_page("a\xE8\xBF", code_page_utf8), u"a\uFFFD\uFFFD");
    EXPECT_EQ(utf16_from_code_page("a\xFF"
                                   "b",
                                   code_page_gbk),
              u"a\uFFFDb");
    EXPECT_EQ(utf16_from_code_page("\xC1\xAC\x81", code_page_gbk), u"连\uFFFD");
    EXPECT_EQ(convert_code_page("a\xFF", code_page_gbk, code_page_utf8), "a\uFFFD");
    // Same code page on both sides still cleans the text.
    EXPECT_EQ(convert_code_page("a\xFF", code_page_utf8, code_page_utf8), "a\uFFFD");

    const char16_t lone_high[] = {u'a', 0xD83D, u'b', 0};
    const char16_t lone_low[] = {0xDE00, u'连', 0};
    const char16_t high_at_end[] = {u'连', 0xD83D, 0};
    EXPECT_EQ(code_page_from_utf16(lone_high, code_page_utf8), "a\uFFFDb");
    EXPECT_EQ(code_page_from_utf16(lone_low, code_page_utf8), "\uFFFD连");
    EXPECT_EQ(code_page_from_utf16(high_at_end, code_page_utf8), "连\uFFFD");
}

// U+0080-U+00FF are double-byte or four-byte characters in GB18030 and
// two-byte ones in UTF-8: none of them may be copied as a single byte.
TEST(CodePage, ConvertsLatin1RangeCharactersAsMultibyteText) {
    SKIP_WITHOUT_GB18030();
    // · × ° é U+0080 U+00FF, then the same in GB18030.
    constexpr std::u16string_view wide = u"\u00B7\u00D7\u00B0\u00E9\u0080\u00FF";
    constexpr std::string_view utf8 = "\u00B7\u00D7\u00B0\u00E9\u0080\u00FF";
    constexpr std::string_view gb =
        "\xA1\xA4\xA1\xC1\xA1\xE3\xA8\xA6\x81\x30\x81\x30\x81\x30\x8B\x37";
    for (int cp : {code_page_gbk, code_page_ansi}) {
        EXPECT_EQ(code_page_from_utf16(wide, cp), gb) << cp;
        EXPECT_EQ(utf16_from_code_page(gb, cp), wide) << cp;
        EXPECT_EQ(convert_code_page(utf8, code_page_utf8, cp), gb) << cp;
        EXPECT_EQ(convert_code_page(gb, cp, code_page_utf8), utf8) << cp;
    }
    EXPECT_EQ(code_page_from_utf16(wide, code_page_utf8), utf8);
    EXPECT_EQ(utf16_from_code_page(utf8, code_page_utf8), wide);
    // Mixed with ASCII, as in a brand name.
    EXPECT_EQ(code_page_from_utf16(u"A\u00B7B", code_page_gbk),
              "A\xA1\xA4"
              "B");
}

// A lone 0x80 is the euro sign, as Windows code page 936 has it; the euro
// sign is written as GB18030 writes it; 0x80 as a second byte is part of its
// character; other undecodable bytes still become U+FFFD.
TEST(CodePage, ReadsTheWindowsEuroByteAndWritesGb18030s) {
    for (int cp : {code_page_gbk, code_page_ansi}) {
        EXPECT_EQ(utf16_from_code_page("a\x80"
                                       "b",
                                       cp),
                  u"a\u20ACb")
            << cp;
        EXPECT_EQ(utf16_from_code_page("\xA2\xE3", cp), u"\u20AC") << cp;
        EXPECT_EQ(convert_code_page("\x80", cp, code_page_utf8), "\u20AC") << cp;
        EXPECT_EQ(convert_code_page("\x80", cp, cp), "\xA2\xE3") << cp;
        EXPECT_EQ(code_page_from_utf16(u"\u20AC", cp), "\xA2\xE3") << cp;
        EXPECT_EQ(convert_code_page("\u20AC", code_page_utf8, cp), "\xA2\xE3") << cp;
        EXPECT_EQ(utf16_from_code_page("\x81\x80", cp), u"\u4E90") << cp;
        EXPECT_EQ(utf16_from_code_page("\x80\xFF\x80", cp), u"\u20AC\uFFFD\u20AC") << cp;
        EXPECT_EQ(utf16_from_code_page("\xC1\xAC\x81", cp), u"\u8FDE\uFFFD") << cp;
    }
    // In UTF-8 a lone 0x80 is an undecodable byte like any other.
    EXPECT_EQ(utf16_from_code_page("a\x80", code_page_utf8), u"a\uFFFD");
}

// GB18030 has U+FFFD, so bad input and lone surrogates are written as it.
TEST(CodePage, ReplacementCharactersInGb18030Text) {
    SKIP_WITHOUT_GB18030();
    EXPECT_EQ(convert_code_page("a\xFF", code_page_gbk, code_page_gbk),
              std::string("a").append(kGbReplacement));
    const char16_t lone_low[] = {0xDE00, u'连', 0};
    EXPECT_EQ(code_page_from_utf16(lone_low, code_page_gbk),
              std::string(kGbReplacement) + "\xC1\xAC");
    EXPECT_EQ(convert_code_page("a\x80", code_page_utf8, code_page_gbk),
              std::string("a").append(kGbReplacement));
}

TEST(CodePage, UnsupportedCodePagesGiveEmptyText) {
    EXPECT_TRUE(code_page_supported(code_page_ansi));
    EXPECT_TRUE(code_page_supported(code_page_gbk));
    EXPECT_TRUE(code_page_supported(code_page_utf8));
    EXPECT_FALSE(code_page_supported(1252));
    EXPECT_EQ(utf16_from_code_page("abc", 1252), u"");
    EXPECT_EQ(code_page_from_utf16(u"abc", 437), "");
    EXPECT_EQ(convert_code_page("abc", code_page_gbk, 1200), "");
    EXPECT_EQ(convert_code_page("abc", 20127, code_page_utf8), "");
}

}  // namespace
}  // namespace quorvel::platform

namespace quorvel::platform {
namespace {

TEST(Utf8, WellFormedTextOnly) {
    EXPECT_TRUE(valid_utf8(""));
    EXPECT_TRUE(valid_utf8("plain ascii"));
    EXPECT_TRUE(valid_utf8("连衣裙 é · 😀"));
    EXPECT_TRUE(valid_utf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
    EXPECT_TRUE(valid_utf8("\xED\x9F\xBF"));       // U+D7FF, just below the surrogates
    EXPECT_FALSE(valid_utf8("\xB0\xA1"));          // GBK bytes
    EXPECT_FALSE(valid_utf8("\x80"));              // a stray continuation byte
    EXPECT_FALSE(valid_utf8("\xE8\xBF"));          // cut short
    EXPECT_FALSE(valid_utf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(valid_utf8("\xE0\x80\xAF"));      // overlong, three bytes
    EXPECT_FALSE(valid_utf8("\xF0\x80\x80\xAF"));  // overlong, four bytes
    EXPECT_FALSE(valid_utf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(valid_utf8("\xE8\x41\x9E"));      // a continuation byte that is not one
    EXPECT_FALSE(valid_utf8("ok\xFF"));
}

}  // namespace
}  // namespace quorvel::platform
