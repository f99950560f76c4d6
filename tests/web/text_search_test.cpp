#include "web/text_search.h"

#include <gtest/gtest.h>

namespace quorvel::web {
namespace {

// "\xB0\x41" is one double-byte character whose second byte is the ASCII
// code of "A"; "\xB0\xA1" is the character for "ah".
constexpr std::string_view kTrailA = "\xB0\x41";

TEST(FindText, PositionsAreOneBasedAndMissingIsMinusOne) {
    EXPECT_EQ(find_text("abcabc", "c"), 3);
    EXPECT_EQ(find_text("abcabc", "c", 4), 6);
    EXPECT_EQ(find_text("abcabc", "c", 7), -1);
    EXPECT_EQ(find_text("abcabc", "x"), -1);
    EXPECT_EQ(find_text("abc", "c", -5), 3);
    EXPECT_EQ(find_text("abc", ""), -1);
    EXPECT_EQ(find_text("", "a"), -1);
    EXPECT_EQ(find_text("ab", "abc"), -1);
}

TEST(FindText, NeverMatchesOnTheSecondByteOfACharacter) {
    EXPECT_EQ(find_text(kTrailA, "A"), -1);
    EXPECT_EQ(find_text(kTrailA, "a", 1, LetterCase::ignore), -1);
    EXPECT_EQ(find_text(std::string(kTrailA) + "A", "A"), 3);
    // A start that lands on a second byte moves on to the next character.
    EXPECT_EQ(find_text(std::string(kTrailA) + "A", "A", 2), 3);
    // A four-byte character steps as two pairs.
    EXPECT_EQ(find_text("\x81\x30\x81\x30"
                        "0",
                        "0"),
              5);
    EXPECT_EQ(find_last_text(std::string(kTrailA) + "A" + std::string(kTrailA), "A"), 3);
}

TEST(FindText, CaseFoldingTouchesAsciiLettersOnly) {
    EXPECT_EQ(find_text("xUSER-agent:", "User-Agent:", 1, LetterCase::ignore), 2);
    EXPECT_EQ(find_text("xUSER-agent:", "User-Agent:"), -1);
    // A needle holding a double-byte character compares that character exactly.
    EXPECT_EQ(find_text("q\xB0\x41Z", "\xB0\x41z", 1, LetterCase::ignore), 2);
    EXPECT_EQ(find_text("q\xB0\x61Z", "\xB0\x41z", 1, LetterCase::ignore), -1);
    EXPECT_EQ(ascii_lower(std::string("AB") + std::string(kTrailA) + "C"),
              std::string("ab") + std::string(kTrailA) + "c");
}

TEST(TrimAndRemoveSpaces, HandleFullWidthSpacesOnCharacterBoundaries) {
    EXPECT_EQ(trim_spaces("  \xA1\xA1 ab c\xA1\xA1 "), "ab c");
    EXPECT_EQ(trim_spaces("   "), "");
    EXPECT_EQ(trim_spaces(""), "");
    // The last two bytes are A1 A1 but the first of them ends "\xB0\xA1": no space there.
    EXPECT_EQ(trim_spaces("x\xB0\xA1\xA1"), "x\xB0\xA1\xA1");
    EXPECT_EQ(remove_spaces(" k=a b;\xA1\xA1x "), "k=ab;x");
    EXPECT_EQ(remove_spaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(SplitText, KeepsInnerEmptyPiecesButNotAFinalOne) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split_text("", ";"), V{});
    EXPECT_EQ(split_text("a;;b;", ";"), (V{"a", "", "b"}));
    EXPECT_EQ(split_text(";a", ";"), (V{"", "a"}));
    EXPECT_EQ(split_text("a\r\nb\r\n", "\r\n"), (V{"a", "b"}));
    EXPECT_EQ(split_text("ab", ""), V{"ab"});
}

}  // namespace
}  // namespace quorvel::web
