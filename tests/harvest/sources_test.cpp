#include "harvest/sources.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

#include "data/json_document.h"
#include "platform/clock.h"
#include "tests/support/code_page_text.h"
#include "tests/support/locales.h"
#include "tests/support/regex_matchers.h"

namespace quorvel::harvest {
namespace {

using testsupport::MatchesPattern;

using testsupport::gb;

TEST(SuggestionUrls, CarryTheirQueryKeysInOrder) {
    EXPECT_THAT(pc_suggest_url("abc"),
                MatchesPattern("https://suggest\\.taobao\\.com/sug\\?code=utf-8&q=%61%62%63&_ksTS="
                               "[0-9]{13}_3909&callback=&k=1&area=c2c&bucketid=11"));
    EXPECT_EQ(mobile_suggest_url("abc"),
              "https://suggest.taobao.com/sug?q=%61%62%63&code=utf-8&area=c2c&nick=&sid=null"
              "&callback=");
    const MarketplaceHosts local{"127.0.0.1:8443", "127.0.0.1:9443"};
    EXPECT_EQ(mobile_suggest_url(gb("连衣裙 a"), local),
              "https://127.0.0.1:8443/sug?q=%E8%BF%9E%E8%A1%A3%E8%A3%99%20%61&code=utf-8&area=c2c"
              "&nick=&sid=null&callback=");
    EXPECT_EQ(mobile_suggest_url("", local),
              "https://127.0.0.1:8443/sug?q=&code=utf-8&area=c2c&nick=&sid=null&callback=");

    const platform::LocalDateTime now = platform::local_time_of(platform::unix_seconds_now());
    char today[16];
    std::snprintf(today, sizeof today, "%04d%02d%02d", now.year, now.month, now.day);
    EXPECT_EQ(related_url("ab", local),
              "https://127.0.0.1:9443/search?&initiative_id=staobaoz_" + std::string(today) +
                  "&q=%61%62&suggest=history_1&_input_charset=utf-8&wq=&suggest_query=&source="
                  "suggest");
}

TEST(SuggestionReading, UsabilityCountsAndCleaning) {
    data::JsonDocument doc;
    EXPECT_FALSE(reply_usable(doc, ""));
    EXPECT_FALSE(reply_usable(doc, "cb({\"result\":[]})"));
    EXPECT_TRUE(reply_usable(doc, "{\"result\":[]}"));
    EXPECT_EQ(suggestion_count(doc), 0);
    EXPECT_TRUE(reply_usable(doc, "{\"other\":1}"));
    EXPECT_LT(suggestion_count(doc), 1);

    ASSERT_TRUE(
        reply_usable(doc, gb(R"({"result":[["<b>x</b> y z","1"],["<B>x</B>\u3000w","2"]]})")));
    EXPECT_EQ(suggestion_count(doc), 2);
    EXPECT_EQ(suggestion_word(doc, 1, SpaceMode::drop_spaces), "xyz");
    EXPECT_EQ(suggestion_word(doc, 1, SpaceMode::keep_spaces), "x y z");
    EXPECT_EQ(suggestion_word(doc, 2, SpaceMode::drop_spaces), gb("x\u3000w"));
    EXPECT_EQ(strip_markup("<B>x</B> <b>", SpaceMode::drop_spaces), "x");
}

TEST(ArrowWords, FollowTheEntriesThatNameTheSuggestion) {
    data::JsonDocument doc;
    ASSERT_TRUE(doc.parse(
        R"({"result":[["a","1"],["b","2"]],"magic":[)"
        R"({"index":"2","data":[[{"title":"t1"},{"title":"t2","type":"hot"}],[{"title":"t3"}]]},)"
        R"({"index":"x","data":[[{"title":"never"}]]},)"
        R"({"index":"2.0","data":[[{"title":"t4"}]]},)"
        R"({"index":"1","data":[]}]})"));
    EXPECT_EQ(arrow_words(doc, 2, "b"), (std::vector<std::string>{"bt1", "bt2", "bt3", "bt4"}));
    EXPECT_TRUE(arrow_words(doc, 1, "a").empty());
    EXPECT_TRUE(arrow_words(doc, 3, "c").empty());
    ASSERT_TRUE(doc.parse(R"({"result":[["a","1"]]})"));
    EXPECT_TRUE(arrow_words(doc, 1, "a").empty());

    // The index is read with "." as the decimal point whatever the locale
    // (the window's toolkit sets the user's): "1.5" names no suggestion.
    ASSERT_NE(setlocale(LC_NUMERIC, testsupport::make_locale("de_DE.UTF-8").c_str()), nullptr);
    ASSERT_TRUE(
        doc.parse(R"({"result":[["a","1"]],"magic":[{"index":"1.5","data":[[{"title":"t"}]]}]})"));
    const std::vector<std::string> in_german = arrow_words(doc, 1, "a");
    setlocale(LC_NUMERIC, "C");
    EXPECT_TRUE(in_german.empty());
}

TEST(RelatedWords, ComeFromTheBlockBetweenTheMarkers) {
    const std::string page =
        R"(<script>cfg = {"mods":{"related":{"status":"show","data":{"words":[)"
        R"({"text":"w1","href":"/a"},{"text":"w \"2\"","href":"/b"}]}},"tab":{"x":1}}};</script>)";
    const std::string block = related_block(page);
    EXPECT_EQ(block, R"({"status":"show","data":{"words":[{"text":"w1","href":"/a"},)"
                     R"({"text":"w \"2\"","href":"/b"}]}})");
    data::JsonDocument doc;
    ASSERT_TRUE(reply_usable(doc, block));
    EXPECT_EQ(related_words(doc), (std::vector<std::string>{"w1", "w \"2\""}));

    EXPECT_EQ(related_block(R"({"a":1,"tab":2,"related":{"data":{}}})"), "");
    EXPECT_EQ(related_block("no markers"), "");
    ASSERT_TRUE(reply_usable(doc, R"({"status":"hide"})"));
    EXPECT_TRUE(related_words(doc).empty());
}

}  // namespace
}  // namespace quorvel::harvest
