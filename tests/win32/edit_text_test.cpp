// Text as the Win32 edit boxes hold it: CR LF line breaks, and the line
// tally that lets a run count a box's lines without asking the window.

#include "win32/edit_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/window_operations.h"

namespace quorvel::win32 {
namespace {

TEST(WithCrlf, EveryKindOfLineBreakBecomesCrLf) {
    EXPECT_EQ(with_crlf(u"a\nb"), u"a\r\nb");
    EXPECT_EQ(with_crlf(u"a\r\nb"), u"a\r\nb");
    EXPECT_EQ(with_crlf(u"a\rb"), u"a\r\nb");
    EXPECT_EQ(with_crlf(u"\r\n\n\r"), u"\r\n\r\n\r\n");
    EXPECT_EQ(with_crlf(u"\n\r"), u"\r\n\r\n");  // LF then CR: two breaks, not one
    EXPECT_EQ(with_crlf(u"连衣裙\r\n手机壳\n"), u"连衣裙\r\n手机壳\r\n");
    EXPECT_EQ(with_crlf(u""), u"");
}

// Pieces appended one by one, cut anywhere (a CR LF too), give the box the
// text the whole would give it, and the tally counts its lines as
// count_text_lines counts them in that text.
TEST(LineTally, AppendsCountAsTheWholeTextCounts) {
    const std::vector<std::vector<std::u16string>> runs = {
        {},
        {u""},
        {u"a"},
        {u"a\r\n"},
        {u"a\r\n", u"b\r\n", u"c"},
        {u"a", u"b", u"\r\n"},
        {u"a\r", u"\nb"},
        {u"a\r", u"", u"\nb"},
        {u"a\r", u"\r\n", u"\n"},
        {u"a\rb\nc"},
        {u"\r\n", u"\r\n", u""},
        {u"连衣裙\r\n", u"", u"手机壳"},
        {u"x\r\ny\r\n", u"z\r\n"},
    };
    for (const auto& pieces : runs) {
        LineTally tally;
        std::u16string whole;
        std::u16string box;
        bool after_cr = false;
        for (const std::u16string& piece : pieces) {
            tally.add(piece);
            box += appended_text(piece, after_cr);
            if (!piece.empty()) {
                after_cr = piece.back() == u'\r';
            }
            whole += piece;
        }
        const std::string shown =
            platform::code_page_from_utf16(with_crlf(whole), platform::code_page_utf8);
        EXPECT_EQ(box, with_crlf(whole)) << shown;
        EXPECT_EQ(tally.lines(), platform::count_text_lines(shown)) << shown;
    }
}

TEST(LineTally, AReplacedBoxStartsAgain) {
    LineTally tally;
    tally.add(u"a\r\nb\r\n");
    EXPECT_EQ(tally.lines(), 2);
    tally = {};
    tally.add(u"c");
    EXPECT_EQ(tally.lines(), 1);
    EXPECT_TRUE(tally.open);
    tally.add(u"");  // nothing appended leaves the last line as it was
    EXPECT_TRUE(tally.open);
}

TEST(LineTally, FromWhatTheEditBoxSays) {
    // EM_GETLINECOUNT gives 1 for an empty box and one more than its breaks.
    EXPECT_EQ(tally_of_box(1, 0).lines(), 0);
    EXPECT_EQ(tally_of_box(1, 3).lines(), 1);  // "abc"
    EXPECT_EQ(tally_of_box(2, 0).lines(), 1);  // "abc\r\n"
    EXPECT_EQ(tally_of_box(3, 2).lines(), 3);  // "a\r\nb\r\ncd"
    EXPECT_EQ(tally_of_box(0, 0).lines(), 0);  // no box
    LineTally from_box = tally_of_box(2, 0);
    from_box.add(u"d");
    LineTally appended;
    appended.add(u"abc\r\nd");
    EXPECT_EQ(from_box, appended);
}

}  // namespace
}  // namespace quorvel::win32
