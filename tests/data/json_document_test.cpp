#include "data/json_document.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

#include "tests/support/code_page_text.h"
#include "tests/support/code_pages.h"
#include "tests/support/locales.h"

namespace quorvel::data {
namespace {

using testsupport::gb;
using testsupport::utf8;

constexpr char8_t kReply[] =
    u8R"({"result":[["妈妈装春装","636521"],["妈妈装外套","849547"]],)"
    u8R"("magic":[{"index":"1","type":"tag_group","data":[[{"title":"打底衫"},)"
    u8R"({"title":"针织衫","type":"hot"}],[{"title":"长袖","type":"hot"}]]}],"tmall":"妈妈装"})";

TEST(JsonDocument, ReadsASuggestionReplyByPath) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(gb(kReply)));
    EXPECT_EQ(doc.count("result"), 2);
    EXPECT_EQ(doc.get_text("result[1][0]"), gb(u8"妈妈装外套"));
    EXPECT_EQ(doc.get_text("result[0][1]"), "636521");
    EXPECT_EQ(doc.type_of("result"), JsonValueType::array);
    EXPECT_EQ(doc.type_of("result[0][0]"), JsonValueType::string);
    EXPECT_EQ(doc.type_of("magic[0]"), JsonValueType::object);
    EXPECT_EQ(doc.count("magic"), 1);
    EXPECT_EQ(doc.count("magic[0].data"), 2);
    EXPECT_EQ(doc.count("magic[0].data[0]"), 2);
    EXPECT_EQ(doc.count("magic[0].data[1]"), 1);
    EXPECT_EQ(doc.get_text("magic[0].data[0][1].title"), gb(u8"针织衫"));
    EXPECT_EQ(doc.get_text("magic[0].data[1][0].type"), "hot");
    EXPECT_EQ(doc.get_text("magic[0].index"), "1");
    EXPECT_EQ(doc.get_text("tmall"), gb(u8"妈妈装"));
    EXPECT_EQ(doc.count(), 3);
}

TEST(JsonDocument, AbsentMembersAndBrokenPathsFollowTheContract) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(gb(kReply)));
    // Absent final member: below 1, empty text, null type.
    for (const char* path : {"missing", "result[5]", "result[-1]", "magic[0].data[0][2]"}) {
        EXPECT_EQ(doc.count(path), -2) << path;
        EXPECT_EQ(doc.get_text(path), "") << path;
        EXPECT_EQ(doc.type_of(path), JsonValueType::null) << path;
    }
    // An earlier step missing, or a path that is not a member expression.
    for (const char* path : {"missing.words", "result[9][0]", "magic[0].data[4][0].title", "a b",
                             "a-b", "result[x]", "result[", ".result", "result."}) {
        EXPECT_EQ(doc.count(path), 0) << path;
        EXPECT_EQ(doc.get_text(path), "") << path;
        EXPECT_EQ(doc.type_of(path), JsonValueType::unknown) << path;
    }
    // A member of a string is absent, not an error.
    EXPECT_EQ(doc.type_of("tmall.x"), JsonValueType::null);
    // Blanks between the parts of a member expression are allowed.
    EXPECT_EQ(doc.get_text("result [1] [0]"), gb(u8"妈妈装外套"));
}

TEST(JsonDocument, ParsesExactlyOneJsonValueAndNeverRunsScript) {
    JsonDocument doc;
    for (const char* text : {"", "null", " null ", "cb({\"result\":[]})", "{\"a\":1} x", "{'a':1}",
                             "[1,]", "function(){}", "1+1", "{\"a\":1}{}"}) {
        EXPECT_FALSE(doc.parse(text)) << text;
        EXPECT_EQ(doc.type_of(), JsonValueType::null) << text;
        EXPECT_EQ(doc.count(), -2) << text;
        EXPECT_EQ(doc.count("result"), 0) << text;
        EXPECT_EQ(doc.get_text("result[0][0]"), "") << text;
        EXPECT_EQ(doc.type_of("result"), JsonValueType::unknown) << text;
    }
    for (const char* text : {"5", "true", "\"word\"", "[1]", " {} ", "-0.5e3"}) {
        EXPECT_TRUE(doc.parse(text)) << text;
    }
    EXPECT_EQ(doc.type_of(), JsonValueType::number);
    // A repeated member name keeps its first place and takes the last value.
    ASSERT_TRUE(doc.parse(R"({"a":1,"b":2,"a":{"c":[3]}})"));
    EXPECT_EQ(doc.to_json(), R"({"a":{"c":[3]},"b":2})");
}

TEST(JsonDocument, NestingDeeperThan512LevelsFails) {
    JsonDocument doc;
    EXPECT_TRUE(doc.parse(std::string(512, '[') + std::string(512, ']')));
    EXPECT_FALSE(doc.parse(std::string(513, '[') + std::string(513, ']')));
    EXPECT_FALSE(doc.parse(std::string(200000, '[')));
    // Brackets inside strings do not count.
    EXPECT_TRUE(doc.parse("[\"" + std::string(1000, '[') + "\"]"));
}

TEST(JsonDocument, EscapesAndCharactersOutsideTheCodePageSurvive) {
    QUORVEL_SKIP_WITHOUT_GB18030();
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(
        R"({"m":"\u003cb\u003e\u8fde\u003c/b\u003e","q":"say \"hi\"","s":"c:\\d","u":"http:\/\/x",)"
        R"("e":"\ud83d\ude00 \u3000x","r":"\ud842\udfb7"})"));
    EXPECT_EQ(doc.get_text("m"), gb(u8"<b>连</b>"));
    EXPECT_EQ(doc.get_text("q"), "say \"hi\"");
    EXPECT_EQ(doc.get_text("s"), "c:\\d");
    EXPECT_EQ(doc.get_text("u"), "http://x");
    EXPECT_EQ(doc.get_text("e"), gb(u8"😀 　x"));
    EXPECT_EQ(doc.get_text("r"), gb(u8"𠮷"));
    EXPECT_EQ(utf8(doc.get_text("r")), reinterpret_cast<const char*>(u8"𠮷"));
    // Code-page text in, JSON text out, and back.
    ASSERT_TRUE(doc.parse(gb(u8R"({"名称":"连衣裙😀"})")));
    EXPECT_EQ(doc.get_text(gb(u8"名称")), gb(u8"连衣裙😀"));
    EXPECT_EQ(doc.to_json(), gb(u8R"({"名称":"连衣裙😀"})"));
}

TEST(JsonDocument, NumbersReadAsThirteenSignificantDigits) {
    JsonDocument doc;
    ASSERT_TRUE(
        doc.parse(R"({"a":5,"b":1.25,"c":1234567890123456,"d":123456789012345678901234567890,)"
                  R"("e":1e20,"f":-0.5,"g":0.1,"h":[7]})"));
    EXPECT_EQ(doc.get_text("a"), "5");
    EXPECT_EQ(doc.get_text("b"), "1.25");
    EXPECT_EQ(doc.get_text("c"), "1.234567890123e+15");
    EXPECT_EQ(doc.get_text("d"), "1.234567890123e+29");
    EXPECT_EQ(doc.get_text("e"), "1e+20");
    EXPECT_EQ(doc.get_text("f"), "-0.5");
    EXPECT_EQ(doc.get_text("g"), "0.1");
    EXPECT_EQ(doc.get_text("h[0]"), "7");
    EXPECT_DOUBLE_EQ(doc.get_number("b"), 1.25);
    EXPECT_EQ(doc.get_number("missing"), 0);
    EXPECT_EQ(doc.get_text("a", TextForm::json), "5");
}

TEST(JsonDocument, NumbersDoNotFollowTheLocalesDecimalComma) {
    ASSERT_NE(setlocale(LC_NUMERIC, testsupport::make_locale("de_DE.UTF-8").c_str()), nullptr);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"b":1.25,"s":"2.5"})"));
    const std::string text = doc.get_text("b");
    const double from_text = doc.get_number("s");
    doc.set_member_number("n", 1.5);
    const std::string stored = doc.get_member_json("n");
    setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text, "1.25");
    EXPECT_DOUBLE_EQ(from_text, 2.5);
    EXPECT_EQ(stored, "1.5");
}

// JSON text is written as JavaScript's JSON.stringify writes it, whatever
// the number's type in the parsed text: the double's shortest digits, in
// fixed notation from 1e-6 up to below 1e21.
TEST(JsonDocument, WritesJsonTextAsJsonStringifyDoes) {
    JsonDocument doc;
    ASSERT_TRUE(
        doc.parse(R"({"a":5.0,"b":1e20,"c":1e21,"d":1e-7,"e":1.5e-7,"f":0.000001,"g":-0.0,)"
                  R"("h":12345678901234567890,"i":0.1,"j":-2.5e-10,"k":1.7976931348623157e308,)"
                  R"("l":5e-324,"m":-1e21,"n":123456789012345680000,"o":0.0000012345,"p":-5,)"
                  R"("q":[1.0,2.5e-8,true,null,"s"],"r":9007199254740993})"));
    const std::string expected =
        R"({"a":5,"b":100000000000000000000,"c":1e+21,"d":1e-7,"e":1.5e-7,"f":0.000001,"g":0,)"
        R"("h":12345678901234567000,"i":0.1,"j":-2.5e-10,"k":1.7976931348623157e+308,)"
        R"("l":5e-324,"m":-1e+21,"n":123456789012345680000,"o":0.0000012345,"p":-5,)"
        R"("q":[1,2.5e-8,true,null,"s"],"r":9007199254740992})";
    EXPECT_EQ(doc.to_json(), expected);
    EXPECT_EQ(doc.get_member_json("b"), "100000000000000000000");
    EXPECT_EQ(doc.get_text("h", TextForm::json), "12345678901234567000");
    EXPECT_EQ(doc.get_text("q", TextForm::json), R"([1,2.5e-8,true,null,"s"])");
    EXPECT_EQ(doc.get_element_text(1, "q", TextForm::json), "2.5e-8");
    EXPECT_EQ(doc.get_element_document(0, "q").to_json(), "1");
    EXPECT_EQ(doc.get_document("q").to_json(), R"([1,2.5e-8,true,null,"s"])");

    doc.clear();
    doc.set_member_number("x", 5);
    doc.set_member_number("y", -0.0);
    EXPECT_EQ(doc.to_json(), R"({"x":5,"y":0})");
}

// A number's plain text stays "%.13g"; inside an array read as plain text
// each number is written as String(number) writes it.
TEST(JsonDocument, PlainTextOfNumbersInsideAndOutsideArrays) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"n":1e21,"l":[5.0,1e21,1e-7,0.5,null,true,"w"],"o":{}})"));
    EXPECT_EQ(doc.get_text("n"), "1e+21");
    EXPECT_EQ(doc.get_text("l"), "5,1e+21,1e-7,0.5,,true,w");
    EXPECT_EQ(doc.get_element_text(2, "l"), "1e-7");
    EXPECT_EQ(doc.get_text("o"), "[object Object]");
    ASSERT_TRUE(doc.parse("[100000000000000000000,[5.0]]"));
    EXPECT_EQ(doc.get_text("[0]"), "100000000000000000000");
    EXPECT_EQ(doc.get_text("[1]"), "5");
}

// Strings are escaped as JSON.stringify escapes them: the two-character
// escapes, other control characters as lower-case \u00xx, everything else
// (DEL, "/", double-byte characters) as it is. Member names too.
TEST(JsonDocument, WritesStringsAsJsonStringifyEscapesThem) {
    JsonDocument doc;
    doc.set_member("s", "q\"b\\c\b\f\n\r\t\x01\x1f\x7f/" + gb(u8"连"));
    EXPECT_EQ(doc.get_member_json("s"),
              "\"q\\\"b\\\\c\\b\\f\\n\\r\\t\\u0001\\u001f\x7f/" + gb(u8"连") + "\"");
    ASSERT_TRUE(doc.parse(R"({"k\"\u000b":"\u001B"})"));
    EXPECT_EQ(doc.to_json(), R"({"k\"\u000b":"\u001b"})");
}

// The forms that write back into a caller's string have their own names:
// push and set_member leave an lvalue std::string argument as it was.
TEST(JsonDocument, OnlyTheWritingBackFormsChangeTheCallersStrings) {
    JsonDocument doc;
    std::string path = "list";
    doc.push("x", path);
    doc.push("y", path);
    EXPECT_EQ(path, "list");
    EXPECT_EQ(doc.get_member_json("list"), R"(["x","y"])");
    std::string value;
    doc.set_member("obj", value, TextForm::json);
    EXPECT_EQ(value, "");
    EXPECT_EQ(doc.get_member_json("obj"), "{}");

    doc.push_returning_path("z", path);
    EXPECT_EQ(path, "da.list");
    EXPECT_EQ(doc.get_member_json("list"), R"(["x","y","z"])");
    doc.set_member_writing_back("obj2", value, TextForm::json);
    EXPECT_EQ(value, "{}");
    EXPECT_EQ(doc.get_member_json("obj2"), "{}");
    std::string plain;
    doc.set_member_writing_back("obj3", plain);
    EXPECT_EQ(plain, "");
    EXPECT_EQ(doc.get_member_json("obj3"), "\"\"");
    // An empty path pushes to the root, which becomes an array first.
    std::string empty;
    doc.push_returning_path("r", empty);
    EXPECT_EQ(empty, "da");
    EXPECT_EQ(doc.to_json(), R"(["r"])");
}

// Member names step by character: 丂 (81 40), 乕 (81 5B) and 乚 (81 5D) end
// in the bytes of "@", "[" and "]", which must not be read as path syntax.
TEST(JsonDocument, MemberNamesWhoseSecondBytesLookLikePathSyntax) {
    const std::string at = gb(u8"丂");
    const std::string open = gb(u8"乕");
    const std::string close = gb(u8"乚");
    ASSERT_EQ(at, "\x81\x40");
    ASSERT_EQ(open, "\x81\x5B");
    ASSERT_EQ(close, "\x81\x5D");
    JsonDocument doc;
    ASSERT_TRUE(
        doc.parse(gb(u8R"({"丂":1,"乕":[10,20],"乚":{"x":"y"},"a":{"丂":[5,6]},"b乕c":"v"})")));
    EXPECT_EQ(doc.get_text(at), "1");
    EXPECT_EQ(doc.type_of(at), JsonValueType::number);
    EXPECT_TRUE(doc.has_member(at));
    EXPECT_EQ(doc.count(open), 2);
    EXPECT_EQ(doc.get_text(open + "[1]"), "20");
    EXPECT_EQ(doc.get_element_text(0, open), "10");
    EXPECT_EQ(doc.type_of(close), JsonValueType::object);
    EXPECT_EQ(doc.get_text(close + ".x"), "y");
    EXPECT_EQ(doc.count(close), 1);
    EXPECT_EQ(doc.get_text("a." + at + "[0]"), "5");
    EXPECT_EQ(doc.count("a." + at), 2);
    EXPECT_EQ(doc.type_of("a." + at + "[1]"), JsonValueType::number);
    EXPECT_EQ(doc.get_text("b" + open + "c"), "v");
    EXPECT_FALSE(doc.has_member(close + "x"));

    doc.set_member(at, "new");
    EXPECT_EQ(doc.get_text(at), "new");
    doc.set_member("a." + at + "[1]", "7", TextForm::json);
    EXPECT_EQ(doc.get_member_json("a"), gb(u8R"({"丂":[5,7]})"));
    doc.set_member(close + at, "w");
    EXPECT_EQ(doc.get_text(close + at), "w");
    doc.push("z", open);
    doc.remove_path_element(open + "[0]");
    EXPECT_EQ(doc.get_member_json(open), R"([20,"z"])");
    std::vector<std::string> names;
    doc.keys(names);
    EXPECT_EQ(names, (std::vector<std::string>{at, open, close, "a", gb(u8"b乕c"), close + at}));
}

TEST(JsonDocument, FreshDocumentsAndReparsing) {
    JsonDocument doc;
    EXPECT_EQ(doc.count(), 0);
    EXPECT_EQ(doc.type_of(), JsonValueType::object);
    ASSERT_TRUE(doc.parse(R"({"a":1,"b":{"c":2}})"));
    ASSERT_TRUE(doc.parse("[3]"));
    EXPECT_EQ(doc.type_of(), JsonValueType::array);
    EXPECT_EQ(doc.type_of("a"), JsonValueType::null);
    EXPECT_EQ(doc.to_json(), "[3]");
    ASSERT_TRUE(doc.parse(R"({"data":{"words":[]}})"));
    EXPECT_EQ(doc.count("data.words"), 0);
    EXPECT_EQ(doc.count("result"), -2);
}

TEST(JsonDocument, CopiesShareAndReadDocumentsDoNot) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"list":[1,2],"o":{"k":"v"}})"));
    JsonDocument shared = doc.copy();
    shared.set_member("o.k", "changed");
    EXPECT_EQ(doc.get_text("o.k"), "changed");

    JsonDocument part = doc.get_document("o");
    part.set_member("k", "mine");
    EXPECT_EQ(part.get_text("k"), "mine");
    EXPECT_EQ(doc.get_text("o.k"), "changed");

    JsonDocument element = doc.get_element_document(1, "list");
    EXPECT_EQ(element.to_json(), "2");
    EXPECT_EQ(doc.get_element_text(0, "list"), "1");
    EXPECT_EQ(doc.get_element_text(0, "missing"), "");
    EXPECT_EQ(doc.get_document("missing").type_of(), JsonValueType::null);

    // A parse starts afresh: the earlier copy keeps the old value.
    ASSERT_TRUE(doc.parse("[]"));
    EXPECT_EQ(shared.get_text("o.k"), "changed");
}

TEST(JsonDocument, KeysInMemberOrder) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"b":1,"a":{"z":1,"y":2},"l":[5,6,7]})"));
    std::vector<std::string> keys{"stale"};
    EXPECT_EQ(doc.keys(keys), 3);
    EXPECT_EQ(keys, (std::vector<std::string>{"b", "a", "l"}));
    EXPECT_EQ(doc.keys(keys, "a"), 2);
    EXPECT_EQ(keys, (std::vector<std::string>{"z", "y"}));
    EXPECT_EQ(doc.keys(keys, "l"), 3);
    EXPECT_EQ(keys, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(doc.keys(keys, "missing.x"), 0);
    EXPECT_TRUE(keys.empty());
    JsonDocument empty;
    EXPECT_EQ(empty.keys(keys), 0);
}

TEST(JsonDocument, SettingMembers) {
    JsonDocument doc;
    doc.set_member("word", "it's \\n \"quoted\"");
    EXPECT_EQ(doc.get_text("word"), "it's \\n \"quoted\"");

    std::string value;
    doc.set_member_writing_back("obj", value, TextForm::json);
    EXPECT_EQ(value, "{}");
    EXPECT_EQ(doc.type_of("obj"), JsonValueType::object);
    doc.set_member("obj.n", "[1,{\"x\":null}]", TextForm::json);
    EXPECT_EQ(doc.get_member_json("obj"), R"({"n":[1,{"x":null}]})");
    doc.set_member("obj.n", "not json", TextForm::json);
    EXPECT_EQ(doc.get_member_json("obj.n"), R"([1,{"x":null}])");
    doc.set_member("missing.step", "x");
    EXPECT_EQ(doc.type_of("missing"), JsonValueType::null);
    doc.set_member("", "x");
    EXPECT_EQ(doc.count(), 2);

    doc.set_member_json("j", "{\"a\":true}");
    EXPECT_EQ(doc.get_member_json("j"), "{\"a\":true}");
    doc.set_member_json("j", "eval('1')");
    EXPECT_EQ(doc.get_member_json("j"), "{\"a\":true}");

    doc.set_member_number("n", 1.23456789012345);
    EXPECT_EQ(doc.get_member_json("n"), "1.234567890123");
    doc.set_member_number("n", std::numeric_limits<double>::infinity());
    EXPECT_EQ(doc.get_text("n"), "1.234567890123");

    EXPECT_TRUE(doc.has_member("word"));
    doc.set_member("nothing", "null", TextForm::json);
    EXPECT_FALSE(doc.has_member("nothing"));
    EXPECT_FALSE(doc.has_member("absent"));
    EXPECT_FALSE(doc.has_member("a b"));
}

TEST(JsonDocument, ArraysAndTheRoot) {
    JsonDocument doc;
    std::string path = "list";
    doc.push_returning_path("x", path);
    EXPECT_EQ(path, "da.list");
    doc.push("{\"k\":1}", "list", TextForm::json);
    doc.push("3", "list", TextForm::json);
    doc.push("{broken", "list", TextForm::json);
    EXPECT_EQ(doc.get_member_json("list"), R"(["x",{"k":1},3])");
    doc.set_member("scalar", "s");
    doc.push("y", "scalar");
    EXPECT_EQ(doc.get_member_json("scalar"), R"(["y"])");

    ASSERT_TRUE(doc.parse(R"({"data":{"words":[1,2,3]}})"));
    doc.remove_path_element("data.words[1]");
    EXPECT_EQ(doc.get_member_json("data.words"), "[1,3]");

    doc.reset_root(JsonValueType::array);
    EXPECT_EQ(doc.to_json(), "[]");
    doc.set_element(2, "z");
    doc.set_element(0, "{\"a\":1}", TextForm::json);
    EXPECT_EQ(doc.to_json(), R"([{"a":1},null,"z"])");
    doc.remove_element(-1);
    doc.remove_element(7);
    EXPECT_EQ(doc.to_json(), R"([{"a":1},null])");
    doc.remove_element(0);
    EXPECT_EQ(doc.to_json(), "[null]");

    EXPECT_TRUE(doc.set_root("[1]", TextForm::json));
    EXPECT_FALSE(doc.set_root("0", TextForm::json));
    EXPECT_FALSE(doc.set_root("{oops", TextForm::json));
    EXPECT_EQ(doc.to_json(), "0");
    EXPECT_TRUE(doc.set_root("text"));
    EXPECT_EQ(doc.to_json(), "\"text\"");
    doc.reset_root(JsonValueType::string);
    EXPECT_EQ(doc.to_json(), "\"text\"");
    doc.clear();
    EXPECT_EQ(doc.to_json(), "{}");
    doc.reset_root(JsonValueType::null);
    EXPECT_EQ(doc.type_of(), JsonValueType::object);
}

TEST(JsonDocument, DestroyedDocumentsAnswerEmpty) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(R"({"a":1})"));
    JsonDocument shared = doc.copy();
    doc.destroy();
    EXPECT_FALSE(doc.parse(R"({"a":1})"));
    EXPECT_EQ(doc.count(), 0);
    EXPECT_EQ(doc.get_text("a"), "");
    EXPECT_EQ(doc.type_of(), JsonValueType::unknown);
    EXPECT_EQ(doc.to_json(), "");
    doc.set_member("b", "x");
    EXPECT_EQ(shared.get_text("a"), "1");
    doc.create_engine();
    EXPECT_EQ(doc.type_of(), JsonValueType::object);
}

}  // namespace
}  // namespace quorvel::data
