#include "data/encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "tests/support/code_pages.h"

namespace quorvel::data {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kDressGb = "\xC1\xAC\xD2\xC2\xC8\xB9";  // 连衣裙
constexpr std::string_view kEmojiGb = "\x94\x39\xFC\x36";          // 😀

// The harvest's call: every UTF-8 byte becomes "%XX", letters and spaces included.
TEST(UrlEncode, PercentEncodesEveryUtf8Byte) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    EXPECT_EQ(url_encode("", Unreserved::encode, EncodeBytes::utf8), "");
    EXPECT_EQ(url_encode("abc", Unreserved::encode, EncodeBytes::utf8), "%61%62%63");
    EXPECT_EQ(url_encode("a b", Unreserved::encode, EncodeBytes::utf8), "%61%20%62");
    EXPECT_EQ(url_encode(kDressGb, Unreserved::encode, EncodeBytes::utf8),
              "%E8%BF%9E%E8%A1%A3%E8%A3%99");
    EXPECT_EQ(url_encode(kEmojiGb, Unreserved::encode, EncodeBytes::utf8), "%F0%9F%98%80");
    EXPECT_EQ(url_encode("\n~", Unreserved::encode, EncodeBytes::utf8), "%0A%7E");
}

// Without conversion the code-page bytes are encoded as they are; only
// "-", ".", digits and letters may stay.
TEST(UrlEncode, KeepsOnlyUnreservedBytesWhenAsked) {
    EXPECT_EQ(url_encode("a-b.c/9_", Unreserved::keep, EncodeBytes::as_given), "a-b.c%2F9%5F");
    EXPECT_EQ(url_encode("AZaz09~ ", Unreserved::keep, EncodeBytes::as_given), "AZaz09%7E%20");
    EXPECT_EQ(url_encode(kDressGb, Unreserved::keep, EncodeBytes::as_given), "%C1%AC%D2%C2%C8%B9");
    EXPECT_EQ(url_encode("a\0b"sv, Unreserved::keep, EncodeBytes::as_given), "a");
}

// Whole texts go to UTF-8 and back unchanged, including characters outside GBK.
TEST(TextConversion, RoundTripsThroughUtf8) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    const std::string gb = std::string(kDressGb) +
                           "\xA1\xA1"
                           "ab 1" +
                           std::string(kEmojiGb);
    const std::string utf8 = utf8_from_gbk(gb);
    EXPECT_EQ(utf8, "连衣裙\u3000ab 1😀");
    EXPECT_EQ(gbk_from_utf8(utf8), gb);
    EXPECT_EQ(utf8_from_gbk(""), "");
    EXPECT_EQ(gbk_from_utf8(""), "");
    EXPECT_EQ(gbk_from_utf8("Plain text: 42!"), "Plain text: 42!");
    // A text ends at its first zero byte.
    EXPECT_EQ(utf8_from_gbk("\xC1\xAC\0\xC1\xAC"sv), "连");
    EXPECT_EQ(gbk_from_utf8("连\0衣"sv), "\xC1\xAC");
    // Bytes that are not UTF-8 become U+FFFD rather than vanishing.
    EXPECT_EQ(gbk_from_utf8("a\xFF"), "a\x84\x31\xA4\x37");
}

// Characters U+0080-U+00FF (· × ° é U+0080 U+00FF) are not single bytes in
// either direction.
TEST(TextConversion, ConvertsLatin1RangeCharacters) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    const std::string gb = "\xA1\xA4\xA1\xC1\xA1\xE3\xA8\xA6\x81\x30\x81\x30\x81\x30\x8B\x37";
    const std::string utf8 = "\u00B7\u00D7\u00B0\u00E9\u0080\u00FF";
    EXPECT_EQ(utf8_from_gbk(gb), utf8);
    EXPECT_EQ(gbk_from_utf8(utf8), gb);
    EXPECT_EQ(gbk_from_utf8("Dior\u00B7X"), "Dior\xA1\xA4X");
}

// Little-endian UTF-16 with a terminating zero unit; SourceCodePage::utf8 reads UTF-8.
TEST(WideText, FromMultibyte) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    const Bytes dress_emoji = {0xDE, 0x8F, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0x00};
    const std::string gb = "\xC1\xAC" + std::string(kEmojiGb);
    EXPECT_EQ(wide_from_multibyte(gb, platform::code_page_gbk, SourceCodePage::given), dress_emoji);
    EXPECT_EQ(wide_from_multibyte(gb, platform::code_page_ansi, SourceCodePage::given),
              dress_emoji);
    EXPECT_EQ(wide_from_multibyte("连😀", platform::code_page_utf8, SourceCodePage::given),
              dress_emoji);
    EXPECT_EQ(wide_from_multibyte("连😀", platform::code_page_gbk, SourceCodePage::utf8),
              dress_emoji);
    EXPECT_EQ(wide_from_multibyte("A\0B"sv, platform::code_page_gbk, SourceCodePage::given),
              (Bytes{'A', 0, 0, 0}));
    EXPECT_EQ(wide_from_multibyte("", platform::code_page_gbk, SourceCodePage::given), Bytes{});
}

// Stops at the first zero unit; TargetCodePage::ansi writes the ANSI code page (GB18030).
TEST(WideText, ToMultibyte) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    const Bytes wide = {0xDE, 0x8F, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0x00, 'x', 0x00};
    const std::string gb = "\xC1\xAC" + std::string(kEmojiGb);
    EXPECT_EQ(multibyte_from_wide(wide, platform::code_page_gbk, TargetCodePage::given), gb);
    EXPECT_EQ(multibyte_from_wide(wide, platform::code_page_utf8, TargetCodePage::given), "连😀");
    EXPECT_EQ(multibyte_from_wide(wide, platform::code_page_utf8, TargetCodePage::ansi), gb);
    EXPECT_EQ(multibyte_from_wide({'a', 0, 'b'}, platform::code_page_gbk, TargetCodePage::given),
              "a");
    EXPECT_EQ(multibyte_from_wide({}, platform::code_page_gbk, TargetCodePage::given), "");
}

}  // namespace
}  // namespace quorvel::data
