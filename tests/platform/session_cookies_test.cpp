#include "platform/session_cookies.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "tests/platform/session_cookies_fixture.h"
#include "tests/support/captured_log.h"
#include "tests/support/scratch.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using testsupport::file_bytes;
using testsupport::ScratchFolder;

using cookie_tests::cookie;
using cookie_tests::marketplace;
using cookie_tests::SessionCookies;
using cookie_tests::test_domains;

// Every field survives a write and a read: HttpOnly, session and host-only
// cookies, empty values, secure flags, paths.
TEST_F(SessionCookies, FileRoundTrip) {
    Cookie http_only = cookie("taobao.com", "_tb_token_", "e3b0c442");
    http_only.http_only = true;
    http_only.expires = 2000000000;
    Cookie session = cookie("login.taobao.com", "cookie2", "1f2e3d");
    session.include_subdomains = false;
    session.secure = true;
    Cookie empty = cookie("tmall.com", "blank", "");
    empty.path = "/cart";
    const std::vector<Cookie> written = {http_only, session, empty};

    const fs::path file = scratch_ / "session" / "cookies.txt";
    ASSERT_TRUE(write_cookie_file(file, written).has_value());
    auto read = read_cookie_file(file);
    ASSERT_TRUE(read.has_value()) << read.error().message;
    EXPECT_EQ(*read, written);
    // As curl and browser exporters write it.
    EXPECT_THAT(
        file_bytes(file),
        HasSubstr("#HttpOnly_.taobao.com\tTRUE\t/\tFALSE\t2000000000\t_tb_token_\te3b0c442\n"
                  "login.taobao.com\tFALSE\t/\tTRUE\t0\tcookie2\t1f2e3d\n"
                  ".tmall.com\tTRUE\t/cart\tFALSE\t0\tblank\t\n"));
}

// Comments, blank lines, CR LF, a byte order mark and the variants exporters
// write (a leading dot with FALSE, a fractional expiry, lower-case flags, a
// line without a value field).
TEST_F(SessionCookies, FileTextAsExportersWriteIt) {
    const std::string text =
        "\xEF\xBB\xBF# Netscape HTTP Cookie File\r\n"
        "# https://curl.se/docs/http-cookies.html\r\n"
        "\r\n"
        "   \r\n"
        ".taobao.com\tTRUE\t/\tFALSE\t1893456000\tt\tabc\r\n"
        "#HttpOnly_s.taobao.com\tfalse\t/\ttrue\t1893456000.25\tsid\txyz\r\n"
        ".tmall.com\tFALSE\t/\tFALSE\t0\tnovalue\n"
        "example.com\tFALSE\t/a b\tFALSE\t0\tq\t\"quoted value\"";
    auto parsed = parse_cookie_text(text, "export.txt");
    ASSERT_TRUE(parsed.has_value()) << parsed.error().message;
    // Written again in the form curl writes.
    EXPECT_EQ(cookie_file_text(*parsed),
              cookie_file_text({}) +
                  ".taobao.com\tTRUE\t/\tFALSE\t1893456000\tt\tabc\n"
                  "#HttpOnly_s.taobao.com\tFALSE\t/\tTRUE\t1893456000\tsid\txyz\n"
                  "tmall.com\tFALSE\t/\tFALSE\t0\tnovalue\t\n"
                  "example.com\tFALSE\t/a b\tFALSE\t0\tq\t\"quoted value\"\n");
}

// A malformed line is named by its number and the file, never by what it holds.
TEST_F(SessionCookies, MalformedLinesAreNamedByNumberWithoutTheirValues) {
    const std::string good = ".taobao.com\tTRUE\t/\tFALSE\t0\tgood\tfine\n";
    const std::vector<std::string> bad_lines = {
        ".taobao.com\tTRUE\t/\tFALSE\tsecretname\tsecretvalue",
        ".taobao.com TRUE / FALSE 0 secretname secretvalue",
        ".taobao.com\tMAYBE\t/\tFALSE\t0\tsecretname\tsecretvalue",
        ".taobao.com\tTRUE\t/\tFALSE\tsoon\tsecretname\tsecretvalue",
        ".taobao.com\tTRUE\t/\tFALSE\t0\t\tsecretvalue",
        ".taobao.com\tTRUE\t/\tFALSE\t0\tsecretname\tsecret;value",
        ".taobao.com\tTRUE\t/\tFALSE\t0\tsecret=name\tsecretvalue",
        ".taobao.com\tTRUE\t/\tFALSE\t0\tsecretname\tsecret\x01value",
        "taobao.com/evil\tTRUE\t/\tFALSE\t0\tsecretname\tsecretvalue",
        ".taobao.com\tTRUE\tnoslash\tFALSE\t0\tsecretname\tsecretvalue",
        ".taobao.com\tTRUE\t/\tFALSE\t0\tsecretname\t" + std::string(5000, 's'),
        ".taobao.com\tTRUE\t/\tFALSE\t0\tsecretname\tsecretvalue\textra",
    };
    for (const std::string& bad : bad_lines) {
        const fs::path file = scratch_ / "bad.txt";
        std::ofstream(file, std::ios::binary) << "# header\r\n" << good << "\n" << bad << "\n";
        auto read = read_cookie_file(file);
        ASSERT_FALSE(read.has_value()) << bad;
        EXPECT_EQ(read.error().kind, CookieFileError::Kind::malformed);
        EXPECT_EQ(read.error().line, 4u) << bad;
        EXPECT_THAT(read.error().message, HasSubstr(file.string() + ", line 4: "));
        EXPECT_THAT(read.error().message, Not(HasSubstr("secret")));
        EXPECT_THAT(read.error().message, Not(HasSubstr("sss")));
    }

    auto missing = read_cookie_file(scratch_ / "missing.txt");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().kind, CookieFileError::Kind::cannot_read);
    EXPECT_THAT(missing.error().message, HasSubstr("missing.txt"));
    auto folder = read_cookie_file(scratch_.path());
    ASSERT_FALSE(folder.has_value());
    EXPECT_EQ(folder.error().kind, CookieFileError::Kind::cannot_read);
}

// The file is replaced whole: missing folders are made, an old file is
// replaced, and a failed write leaves what was there and no temporary file.
TEST_F(SessionCookies, WritingIsAtomic) {
    const fs::path folder = scratch_ / "data" / "quorvel";
    const fs::path file = folder / "cookies.txt";
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "a", "1")}).has_value());
    EXPECT_TRUE(fs::is_directory(folder));

    std::ofstream(file, std::ios::trunc) << "old";
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "b", "2")}).has_value());
    EXPECT_THAT(file_bytes(file), Not(HasSubstr("old")));
    EXPECT_THAT(file_bytes(file), HasSubstr("\tb\t2\n"));
    EXPECT_THAT(testsupport::names_in(folder), ElementsAre("cookies.txt"));

    // An unusable cookie: nothing is written.
    const std::string before = file_bytes(file);
    auto refused = write_cookie_file(file, {cookie("taobao.com", "x", "secret\nvalue")});
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().kind, CookieFileError::Kind::cannot_write);
    EXPECT_THAT(refused.error().message, Not(HasSubstr("secret")));
    EXPECT_EQ(file_bytes(file), before);

    // The rename fails (a folder holds the name): the temporary file goes.
    const fs::path taken = folder / "taken";
    fs::create_directory(taken);
    std::ofstream(taken / "inside") << "kept";
    auto blocked = write_cookie_file(taken, {cookie("taobao.com", "c", "3")});
    ASSERT_FALSE(blocked.has_value());
    EXPECT_THAT(blocked.error().message, HasSubstr(taken.string()));
    EXPECT_THAT(testsupport::names_in(folder), ElementsAre("cookies.txt", "taken"));
    EXPECT_EQ(file_bytes(taken / "inside"), "kept");
}

// set_cookie puts what cookies() lists; the same domain, path and name
// replace; remove and clear take away exactly what they name.
TEST_F(SessionCookies, TheStoreHoldsWhatIsSetUntilRemoved) {
    Cookie a = cookie("taobao.com", "a", "1");
    a.http_only = true;
    a.expires = 2000000000;
    Cookie host_only = cookie("s.taobao.com", "a", "2");
    host_only.include_subdomains = false;
    host_only.secure = true;
    Cookie other_path = cookie("taobao.com", "a", "3");
    other_path.path = "/cart";
    const Cookie tmall = cookie("tmall.com", "t", "4");
    const Cookie lookalike = cookie("nottaobao.com", "n", "5");
    for (const Cookie& c : {a, host_only, other_path, tmall, lookalike}) {
        ASSERT_TRUE(set_cookie(c).has_value());
    }
    EXPECT_THAT(cookies_within(cookies(), test_domains),
                UnorderedElementsAre(a, host_only, other_path, tmall, lookalike));

    Cookie replaced = a;
    replaced.value = "new";
    ASSERT_TRUE(set_cookie(replaced).has_value());
    EXPECT_THAT(cookies_within(cookies(), test_domains),
                UnorderedElementsAre(replaced, host_only, other_path, tmall, lookalike));

    // With a leading dot or without, host-only or not.
    remove_cookie(".taobao.com", "/", "a");
    remove_cookie("s.taobao.com", "/", "a");
    remove_cookie("taobao.com", "/", "no-such-cookie");
    EXPECT_THAT(cookies_within(cookies(), test_domains),
                UnorderedElementsAre(other_path, tmall, lookalike));

    clear_cookies_for(marketplace);
    EXPECT_THAT(cookies_within(cookies(), test_domains), ElementsAre(lookalike));

    // An expired cookie removes the one it replaces and is not listed.
    Cookie stale = lookalike;
    stale.expires = 1000;
    ASSERT_TRUE(set_cookie(stale).has_value());
    EXPECT_TRUE(cookies_within(cookies(), test_domains).empty());

    // Unusable cookies are refused, and the reason does not quote them.
    for (Cookie bad : {cookie("", "n", "v"), cookie("taobao.com", "", "secretvalue"),
                       cookie("taobao.com", "secretname", "a\r\nSet-Cookie: x"),
                       cookie("taobao.com\tTRUE", "secretname", "secretvalue")}) {
        auto refused = set_cookie(bad);
        ASSERT_FALSE(refused.has_value());
        EXPECT_THAT(refused.error(), Not(HasSubstr("secret")));
    }
    EXPECT_TRUE(cookies_within(cookies(), test_domains).empty());
}

TEST(CookieDomains, WithinMeansTheDomainOrASubdomain) {
    EXPECT_TRUE(domain_within("taobao.com", marketplace));
    EXPECT_TRUE(domain_within(".taobao.com", marketplace));
    EXPECT_TRUE(domain_within("s.TaoBao.com", marketplace));
    EXPECT_TRUE(domain_within("a.b.tmall.com", marketplace));
    EXPECT_FALSE(domain_within("nottaobao.com", marketplace));
    EXPECT_FALSE(domain_within("taobao.com.evil.example", marketplace));
    EXPECT_FALSE(domain_within("com", marketplace));
    EXPECT_FALSE(domain_within("", marketplace));
}

// A Cookie header as the developer tools copy it: the name in any case or
// left out, a pair named "cookie2" taken as a pair, the first of two pairs
// of one name kept, each cookie for the given domain over HTTPS alone.
TEST(CookieHeader, PairsForTheGivenDomain) {
    auto names = [](std::string_view text) {
        std::vector<std::string> out;
        const auto parsed = parse_cookie_header(text, "taobao.com");
        for (const Cookie& cookie : parsed.value()) {
            out.push_back(cookie.name + "=" + cookie.value);
        }
        return out;
    };
    EXPECT_THAT(names("cookie\n\tcookie2=a;t=\"b c\";;t=later"),
                ElementsAre("cookie2=a", "t=\"b c\""));
    EXPECT_THAT(names("cookie2=a; t=b"), ElementsAre("cookie2=a", "t=b"));
    EXPECT_THAT(names("COOKIE: x="), ElementsAre("x="));
    EXPECT_EQ(parse_cookie_header("a=b", ".taobao.com")->front(),
              (Cookie{.domain = "taobao.com", .secure = true, .name = "a", .value = "b"}));
    auto unusable = parse_cookie_header("a=b; =secret", "taobao.com");
    ASSERT_FALSE(unusable.has_value());
    EXPECT_EQ(unusable.error().message, "pair 2 cannot be used: the cookie has no name");
}

// Only the marketplace's unexpired cookies go into the store from a browser's
// whole export; a malformed file puts nothing.
TEST_F(SessionCookies, LoadingTakesOnlyTheGivenDomains) {
    const fs::path file = scratch_ / "export.txt";
    std::ofstream(file) << "# Netscape HTTP Cookie File\n"
                           ".taobao.com\tTRUE\t/\tFALSE\t0\tt\t1\n"
                           "#HttpOnly_s.taobao.com\tFALSE\t/\tTRUE\t2000000000\tsid\t2\n"
                           ".tmall.com\tTRUE\t/\tFALSE\t0\tm\t3\n"
                           ".taobao.com\tTRUE\t/\tFALSE\t1000\told\t4\n"
                           ".example.com\tTRUE\t/\tFALSE\t0\te\t5\n"
                           ".nottaobao.com\tTRUE\t/\tFALSE\t0\tn\t6\n";
    auto loaded = load_cookie_file(file, marketplace);
    ASSERT_TRUE(loaded.has_value()) << loaded.error().message;
    EXPECT_EQ(*loaded, 3u);
    std::vector<std::string> names;
    for (const Cookie& c : cookies_within(cookies(), test_domains)) {
        names.push_back(c.name);
    }
    EXPECT_THAT(names, UnorderedElementsAre("t", "sid", "m"));

    // Written back, the marketplace's cookies alone.
    const fs::path saved = scratch_ / "saved.txt";
    ASSERT_TRUE(set_cookie(cookie("example.com", "e", "5")).has_value());
    ASSERT_TRUE(save_cookie_file(saved, marketplace).has_value());
    auto reread = read_cookie_file(saved);
    ASSERT_TRUE(reread.has_value());
    EXPECT_EQ(*reread, cookies_within(cookies(), marketplace));
    EXPECT_EQ(reread->size(), 3u);

    clear_cookies_for(test_domains);
    std::ofstream(file, std::ios::app) << "broken line\n";
    auto refused = load_cookie_file(file, marketplace);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().line, 8u);
    EXPECT_TRUE(cookies_within(cookies(), test_domains).empty());
}

// Nothing of a cookie reaches the log: not on loading, saving, setting,
// removing, or failing.
TEST_F(SessionCookies, NothingOfACookieIsLogged) {
    testsupport::CapturedLog log;
    const fs::path file = scratch_ / "cookies.txt";
    std::ofstream(file) << ".taobao.com\tTRUE\t/\tFALSE\t0\tnameOfSecret\tvalueOfSecret\n";
    ASSERT_TRUE(load_cookie_file(file, marketplace).has_value());
    ASSERT_TRUE(save_cookie_file(scratch_ / "saved.txt", marketplace).has_value());
    ASSERT_TRUE(set_cookie(cookie("taobao.com", "otherSecretName", "otherSecretValue")));
    remove_cookie("taobao.com", "/", "otherSecretName");
    (void)set_cookie(cookie("taobao.com", "badSecretName", "badSecret\nValue"));
    std::ofstream(file, std::ios::app) << ".taobao.com\tTRUE\t/\tFALSE\tx\tlineSecret\tv\n";
    (void)load_cookie_file(file, marketplace);

    EXPECT_FALSE(log.lines().empty());
    EXPECT_THAT(log.text(), HasSubstr("cookies.txt"));
    EXPECT_THAT(log.text(), Not(HasSubstr("Secret")));
}

}  // namespace
}  // namespace quorvel::platform
