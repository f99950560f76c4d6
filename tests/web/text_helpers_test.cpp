#include "web/text_helpers.h"

#include <gtest/gtest.h>

namespace quorvel::web {
namespace {

TEST(TextBetween, CutsBetweenTheFirstMarkers) {
    EXPECT_EQ(text_between("ab[cd]ef", "[", "]"), "cd");
    EXPECT_EQ(text_between("ab[]ef", "[", "]"), "");
    EXPECT_EQ(text_between("ab[cdef", "[", "]"), "");
    EXPECT_EQ(text_between("abcd]ef", "[", "]"), "");
    EXPECT_EQ(text_between("x: 1\r\nx: 2\r\n", "x:", "\r\n"), " 1");
    EXPECT_EQ(text_between("[a][b]", "[", "]", 3), "b");
    EXPECT_EQ(text_between("<B>x</b>", "<b>", "</B>", 1, LetterCase::ignore), "x");
    EXPECT_EQ(text_between("<B>x</b>", "<b>", "</B>"), "");
    // The right marker is searched only after the left one.
    EXPECT_EQ(text_between("],tab[x]", "[", "]"), "x");
}

TEST(TextBetween, QuoteTokenStandsForADoubleQuote) {
    const std::string token(quote_token);
    EXPECT_EQ(text_between("say \"word\" now", token, token), "word");
    EXPECT_EQ(
        text_between("{\"related\":{\"a\":1},\"tab\"", token + "related" + token + ":", ",\"tab\""),
        "{\"a\":1}");
}

TEST(TextAfterFirstColon, TrimsTheRest) {
    EXPECT_EQ(text_after_first_colon("user-agent: Foo "), "Foo");
    EXPECT_EQ(text_after_first_colon("a: b: c"), "b: c");
    EXPECT_EQ(text_after_first_colon("no colon"), "");
}

TEST(CookieHelpers, NamesListsAndDuplicates) {
    EXPECT_EQ(cookie_name(" sid =42"), "sid");
    EXPECT_EQ(cookie_name("flag"), "flag");
    EXPECT_TRUE(cookie_list_has_name({"a=1", " b =2"}, "b"));
    EXPECT_FALSE(cookie_list_has_name({"a=1", "B=2"}, "b"));
    EXPECT_EQ(text_list_find({"p", "q", "p"}, "p"), 1);
    EXPECT_EQ(text_list_find({"p", "q"}, "Q"), -1);
    EXPECT_EQ(drop_duplicate_pieces("p; q; p; r", "; "), "p; q; r");
    EXPECT_EQ(drop_duplicate_pieces("", "; "), "");
}

TEST(CookieMerge, NewPairsFirstThenUnsentOldOnes) {
    std::string old_cookies = "a=1; b=2";
    std::string new_cookies = "b=3; c=deleted";
    EXPECT_EQ(cookie_merge(old_cookies, new_cookies), "b=3; a=1");
    EXPECT_EQ(old_cookies, "b=3; a=1");
    EXPECT_EQ(new_cookies, "b=3;c=deleted");
}

TEST(CookieMerge, EdgeCases) {
    std::string old_cookies = "a=1; a=2";
    std::string none;
    EXPECT_EQ(cookie_merge(old_cookies, none), "a=1");

    std::string empty;
    std::string twice = "x=1; x=1";
    EXPECT_EQ(cookie_merge(empty, twice), "x=1");

    std::string spaced = "k=a b";
    std::string nothing;
    EXPECT_EQ(cookie_merge(spaced, nothing), "k=ab");

    std::string both_empty_old;
    std::string both_empty_new;
    EXPECT_EQ(cookie_merge(both_empty_old, both_empty_new), "");

    // A deleted old cookie is dropped as well, and the deleted marker must end the pair.
    std::string old_deleted = "gone=deleted; keep=deleted1";
    std::string fresh = "n=1";
    EXPECT_EQ(cookie_merge(old_deleted, fresh), "n=1; keep=deleted1");
}

TEST(ReplaceEach, CleansMarkupAndSpacesInOrder) {
    EXPECT_EQ(replace_each("<B>x</b> y", {{"<b>", ""}, {"</b>", ""}, {" ", ""}}), "xy");
    // Later pairs see the result of earlier ones.
    EXPECT_EQ(replace_each("abc", {{"a", "b"}, {"bb", "X"}}), "Xc");
    EXPECT_EQ(replace_each("aaa", {{"a", "aa"}}), "aaaaaa");
    EXPECT_EQ(replace_each("abc", {{"", "x"}}), "abc");
}

TEST(ReplaceEach, CountStartAndCase) {
    EXPECT_EQ(replace_each("a-a-a-a", {{"a", "b"}}, {.count = 2}), "b-b-a-a");
    EXPECT_EQ(replace_each("a-a-a-a", {{"a", "b"}}, {.count = 0}), "a-a-a-a");
    EXPECT_EQ(replace_each("a-a-a-a", {{"a", "b"}}, {.start = 3}), "a-b-b-b");
    EXPECT_EQ(replace_each("a-a", {{"a", "b"}}, {.start = 0}), "b-b");
    EXPECT_EQ(replace_each("a-a", {{"a", "b"}}, {.start = 9}), "a-a");
    EXPECT_EQ(replace_each("A-a", {{"a", "b"}}, {.case_sensitive = true}), "A-b");
    EXPECT_EQ(replace_each("A-a", {{"a", "b"}}), "b-b");
}

TEST(ReplaceEach, LeavesDoubleByteCharactersAlone) {
    // "\xB0\x41" ends in the byte of "A"; it is not an "A".
    EXPECT_EQ(replace_each("\xB0\x41"
                           "A",
                           {{"a", "z"}}),
              "\xB0\x41z");
    EXPECT_EQ(replace_each("\xA1\xA1 x", {{" ", ""}}), "\xA1\xA1x");
    // A start on a second byte begins at the next character.
    EXPECT_EQ(replace_each("\xB0\x41"
                           "A",
                           {{"A", "z"}}, {.start = 2}),
              "\xB0\x41z");
}

TEST(ReplaceEach, UsesAtMostFivePairs) {
    EXPECT_EQ(
        replace_each("abcdef",
                     {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}, {"f", "6"}}),
        "12345f");
}

}  // namespace
}  // namespace quorvel::web
