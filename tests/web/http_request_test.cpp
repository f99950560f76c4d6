#include "web/http_request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include "platform/http_transport.h"
#include "tests/support/test_servers.h"

namespace quorvel::web {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::http_response;
using testsupport::RawRequest;
using testsupport::RawResponse;
using testsupport::RawServer;
using testsupport::TlsServer;

constexpr std::string_view kDefaultAgentLine =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n";

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The values of every header line with this name, in any letter case.
std::vector<std::string> header_values(const std::string& head, std::string_view name) {
    std::vector<std::string> values;
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos + 2 < head.size()) {
        std::size_t end = head.find("\r\n", pos + 2);
        std::string line = head.substr(pos + 2, end - pos - 2);
        if (line.size() > name.size() && line[name.size()] == ':' &&
            strncasecmp(line.c_str(), name.data(), name.size()) == 0) {
            std::size_t v = line.find_first_not_of(' ', name.size() + 1);
            values.push_back(v == std::string::npos ? "" : line.substr(v));
        }
        pos = end;
    }
    return values;
}

RawResponse ok(const std::string& body, const std::string& extra = "") {
    return {http_response(200, body, extra)};
}

class HttpRequestTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    }
};

TEST_F(HttpRequestTest, DefaultGetSendsExactlyTheDefaultHeaderBlock) {
    RawServer server([](const RawRequest&) { return ok("body"); });
    const std::string url = server.base_url() + "/Sug?q=1";
    HttpRequestArgs args{.url = url};
    HttpReply reply = HttpRequest(args);

    EXPECT_EQ(text(reply.body), "body");
    const std::string block = "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn";
    EXPECT_EQ(args.headers, block);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].head,
              "GET /Sug?q=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n" +
                  std::string(kDefaultAgentLine) + "Accept-Encoding: gzip, deflate\r\n" + block +
                  "\r\n\r\n");
    EXPECT_THAT(reply.returned_headers, ::testing::StartsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_THAT(reply.returned_headers, ::testing::EndsWith("\r\n\r\n"));
}

TEST_F(HttpRequestTest, UrlAloneIsADefaultGet) {
    RawServer server([](const RawRequest&) { return ok("plain"); });
    EXPECT_EQ(text(HttpRequest(server.base_url() + "/x")), "plain");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].request_line, "GET /x HTTP/1.1");
}

TEST_F(HttpRequestTest, MethodsMapToVerbsAndOutOfRangeIsGetWithoutBody) {
    RawServer server([](const RawRequest& r) {
        if (r.request_line.rfind("HEAD", 0) == 0) {
            return RawResponse{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"};
        }
        return ok("r");
    });
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "GET"},    {1, "POST"},  {2, "HEAD"},    {3, "PUT"}, {4, "OPTIONS"},
        {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}, {-1, "GET"}};
    for (const auto& [method, verb] : cases) {
        HttpRequestArgs args{.url = server.base_url() + "/m", .method = method};
        HttpRequest(args);
        RawRequest got = server.requests().back();
        EXPECT_EQ(got.request_line, verb + " /m HTTP/1.1") << method;
        if (verb == "GET") {
            EXPECT_THAT(got.head, Not(HasSubstr("Content-Type"))) << method;
            EXPECT_THAT(got.head, Not(HasSubstr("Content-Length"))) << method;
        }
        if (method == 1) {
            EXPECT_EQ(header_values(got.head, "Content-Type"),
                      std::vector<std::string>{"application/x-www-form-urlencoded"});
        } else {
            EXPECT_TRUE(header_values(got.head, "Content-Type").empty()) << method;
        }
    }
}

TEST_F(HttpRequestTest, PostSendsBodyTextAndWritesItBackAsBytes) {
    RawServer server([](const RawRequest&) { return ok("done"); });
    HttpRequestArgs args{.url = server.base_url() + "/post", .method = 1, .body_text = "x=1&y=2"};
    HttpRequest(args);
    EXPECT_EQ(text(args.body_bytes), "x=1&y=2");
    RawRequest got = server.requests().back();
    EXPECT_EQ(got.body, "x=1&y=2");
    EXPECT_EQ(header_values(got.head, "Content-Length"), std::vector<std::string>{"7"});
    EXPECT_TRUE(header_values(got.head, "Expect").empty());

    // Body bytes win over body text, zero bytes included; PUT gets no default Content-Type.
    const Bytes binary = {'a', 0, 'b', 0xFF};
    HttpRequestArgs put{.url = server.base_url() + "/put",
                        .method = 3,
                        .body_text = "ignored",
                        .body_bytes = binary};
    HttpRequest(put);
    got = server.requests().back();
    EXPECT_EQ(got.body, std::string("a\0b\xFF", 4));
    EXPECT_TRUE(header_values(got.head, "Content-Type").empty());

    // An empty body is sent as a zero-length body.
    HttpRequestArgs empty{.url = server.base_url() + "/empty", .method = 5};
    HttpRequest(empty);
    EXPECT_EQ(header_values(server.requests().back().head, "Content-Length"),
              std::vector<std::string>{"0"});
}

TEST_F(HttpRequestTest, CallerHeadersAreCompletedByExactCaseSearches) {
    RawServer server([](const RawRequest&) { return ok(""); });
    const std::string url = server.base_url() + "/h";

    HttpRequestArgs lower_accept{.url = url, .headers = "accept: text/html"};
    HttpRequest(lower_accept);
    EXPECT_EQ(lower_accept.headers,
              "accept: text/html\r\nAccept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn");
    RawRequest got = server.requests().back();
    EXPECT_EQ(header_values(got.head, "Accept"), (std::vector<std::string>{"text/html", "*/*"}));

    HttpRequestArgs own_referer{.url = url, .headers = "Referer: http://elsewhere/"};
    HttpRequest(own_referer);
    EXPECT_EQ(header_values(server.requests().back().head, "Referer"),
              std::vector<std::string>{"http://elsewhere/"});
}

TEST_F(HttpRequestTest, AgentComesFromTheCallersUserAgentLine) {
    RawServer server([](const RawRequest&) { return ok(""); });
    const std::string url = server.base_url() + "/a";

    HttpRequestArgs lower{.url = url, .headers = "user-agent: X"};
    HttpRequest(lower);
    EXPECT_EQ(header_values(server.requests().back().head, "User-Agent"),
              std::vector<std::string>{"X"});

    HttpRequestArgs exact{.url = url, .headers = "X-A: 1\r\nUser-Agent:  Quorvel/1.0 "};
    HttpRequest(exact);
    EXPECT_EQ(header_values(server.requests().back().head, "User-Agent"),
              std::vector<std::string>{"Quorvel/1.0 "});
}

TEST_F(HttpRequestTest, CookieLinesAndTheSharedStoreFlag) {
    RawServer server([](const RawRequest&) { return ok(""); });
    const std::string url = server.base_url() + "/c";

    HttpRequestArgs bare{.url = url, .cookies = "a=1"};
    HttpRequest(bare);
    EXPECT_EQ(header_values(server.requests().back().head, "Cookie"),
              std::vector<std::string>{"a=1"});

    HttpRequestArgs line{.url = url, .cookies = "Cookie: a=1"};
    HttpRequest(line);
    EXPECT_EQ(header_values(server.requests().back().head, "Cookie"),
              std::vector<std::string>{"a=1"});
    EXPECT_THAT(line.headers, ::testing::EndsWith("\r\nCookie: a=1"));

    HttpRequestArgs empty{.url = url, .cookies = ""};
    HttpRequest(empty);
    EXPECT_TRUE(header_values(server.requests().back().head, "Cookie").empty());

    EXPECT_EQ(request_flags_for({.secure = true}), 0x80800010u);
    EXPECT_EQ(request_flags_for({}), 0x80004010u);
    EXPECT_EQ(request_flags_for({.cookies_supplied = true, .no_redirect = true, .secure = true}),
              0x80A80010u);
    // The flag word's bits reach the transport as its options.
    EXPECT_EQ(transport_options_for(0x80A80010u),
              (platform::TransportOptions{
                  .secure = true, .follow_redirects = false, .shared_cookies = false}));
    EXPECT_EQ(transport_options_for(0x80004010u), platform::TransportOptions{});
}

TEST_F(HttpRequestTest, SetCookieLinesInAnyCaseAreCollected) {
    RawServer server([](const RawRequest& r) {
        if (r.request_line.find("/none") != std::string::npos) {
            return ok("");
        }
        return ok("",
                  "Set-Cookie: a=1; path=/\r\nset-cookie: b=2\r\nSET-COOKIE:  c=3 ; Secure\r\n");
    });
    HttpRequestArgs args{.url = server.base_url() + "/set"};
    HttpReply reply = HttpRequest(args);
    EXPECT_EQ(reply.returned_cookies, "a=1; b=2; c=3");
    EXPECT_THAT(reply.returned_headers, HasSubstr("\r\nSet-Cookie: b=2\r\n"));
    EXPECT_THAT(reply.returned_headers, Not(HasSubstr("set-cookie")));

    HttpRequestArgs none{.url = server.base_url() + "/none"};
    EXPECT_EQ(HttpRequest(none).returned_cookies, "");
}

TEST_F(HttpRequestTest, ReturnedCookiesMergeIntoTheCallersCookies) {
    RawServer server([](const RawRequest&) {
        return ok("", "Set-Cookie: b=3; path=/\r\nSet-Cookie: c=deleted\r\n");
    });
    HttpRequestArgs args{.url = server.base_url() + "/m", .cookies = "a=1; b=2"};
    HttpReply reply = HttpRequest(args);
    EXPECT_EQ(reply.returned_cookies, "b=3; a=1");
    EXPECT_EQ(args.cookies, "b=3; a=1");

    // Supplied as empty text: no cookie line, but the merge still runs.
    HttpRequestArgs empty{.url = server.base_url() + "/m", .cookies = ""};
    EXPECT_EQ(HttpRequest(empty).returned_cookies, "b=3");
    EXPECT_EQ(empty.cookies, "b=3");

    HttpRequestArgs unmerged{
        .url = server.base_url() + "/m", .cookies = "a=1", .merge_cookies = false};
    EXPECT_EQ(HttpRequest(unmerged).returned_cookies, "b=3; c=deleted");
    EXPECT_EQ(unmerged.cookies, "a=1");
}

TEST_F(HttpRequestTest, SharedCookieStoreIsUsedOnlyWhenCookiesAreOmitted) {
    RawServer server([](const RawRequest& r) {
        if (r.request_line.find("/store") != std::string::npos) {
            return ok("", "Set-Cookie: qv_shared=1; Path=/\r\n");
        }
        if (r.request_line.find("/private") != std::string::npos) {
            return ok("", "Set-Cookie: qv_private=1; Path=/\r\n");
        }
        return ok("");
    });
    const std::string base = server.base_url();
    HttpRequest(base + "/store");
    HttpRequest(base + "/look");
    EXPECT_THAT(server.requests().back().head, HasSubstr("qv_shared=1"));

    HttpRequestArgs supplied{.url = base + "/look", .cookies = ""};
    HttpRequest(supplied);
    EXPECT_THAT(server.requests().back().head, Not(HasSubstr("qv_shared")));

    HttpRequestArgs private_reply{.url = base + "/private", .cookies = "own=1"};
    EXPECT_EQ(HttpRequest(private_reply).returned_cookies, "qv_private=1; own=1");
    HttpRequest(base + "/look");
    EXPECT_THAT(server.requests().back().head, Not(HasSubstr("qv_private")));
}

TEST_F(HttpRequestTest, RedirectsAreFollowedUpToTenUnlessTurnedOff) {
    RawServer server([](const RawRequest& r) {
        // "/hop/N" redirects to "/hop/N-1"; "/hop/0" is the end.
        std::string target = r.request_line.substr(4, r.request_line.find(' ', 4) - 4);
        if (target.rfind("/hop/", 0) == 0) {
            int n = std::stoi(target.substr(5));
            if (n > 0) {
                return RawResponse{http_response(
                    302, "moved", "Location: /hop/" + std::to_string(n - 1) + "\r\n")};
            }
        }
        return ok("arrived");
    });
    EXPECT_EQ(text(HttpRequest(server.base_url() + "/hop/10")), "arrived");
    EXPECT_EQ(text(HttpRequest(server.base_url() + "/hop/11")), "");

    HttpRequestArgs stay{.url = server.base_url() + "/hop/3", .no_redirect = true};
    HttpReply reply = HttpRequest(stay);
    EXPECT_EQ(text(reply.body), "moved");
    EXPECT_THAT(reply.returned_headers, ::testing::StartsWith("HTTP/1.1 302"));
}

TEST_F(HttpRequestTest, StatusCodesAreNotInterpreted) {
    RawServer server([](const RawRequest&) { return RawResponse{http_response(500, "oops")}; });
    HttpRequestArgs args{.url = server.base_url() + "/e"};
    HttpReply reply = HttpRequest(args);
    EXPECT_EQ(text(reply.body), "oops");
    EXPECT_THAT(reply.returned_headers, ::testing::StartsWith("HTTP/1.1 500"));
}

TEST_F(HttpRequestTest, BodiesKeepZeroBytesAndAreDecoded) {
    auto compress = [](const std::string& data, int window_bits) {
        z_stream zs{};
        deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&zs, data.size()) + 32, '\0');
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        zs.avail_in = static_cast<uInt>(data.size());
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = static_cast<uInt>(out.size());
        deflate(&zs, Z_FINISH);
        out.resize(zs.total_out);
        deflateEnd(&zs);
        return out;
    };
    const std::string payload = std::string("{\"result\":[]}\0tail", 18);
    RawServer server([&](const RawRequest& r) {
        if (r.request_line.find("/gzip") != std::string::npos) {
            return ok(compress(payload, 31), "Content-Encoding: gzip\r\n");
        }
        if (r.request_line.find("/deflate") != std::string::npos) {
            return ok(compress(payload, 15), "Content-Encoding: deflate\r\n");
        }
        return ok(payload);
    });
    EXPECT_EQ(text(HttpRequest(server.base_url() + "/raw")), payload);
    EXPECT_EQ(text(HttpRequest(server.base_url() + "/gzip")), payload);
    EXPECT_EQ(text(HttpRequest(server.base_url() + "/deflate")), payload);

    RawServer zeros([](const RawRequest&) { return ok(std::string(3, '\0')); });
    EXPECT_EQ(HttpRequest(zeros.base_url() + "/z"), Bytes(3, 0));
}

TEST_F(HttpRequestTest, LongReplyHeaderBlocksComeBackWhole) {
    std::string filler;
    for (int i = 0; i < 80; ++i) {
        filler += "X-Filler-" + std::to_string(i) + ": " + std::string(90, 'f') + "\r\n";
    }
    RawServer server(
        [&](const RawRequest&) { return ok("b", filler + "Set-Cookie: late=1; path=/\r\n"); });
    HttpRequestArgs args{.url = server.base_url() + "/long", .cookies = ""};
    HttpReply reply = HttpRequest(args);
    EXPECT_GT(reply.returned_headers.size(), 5000u);
    EXPECT_THAT(reply.returned_headers, HasSubstr(filler));
    EXPECT_EQ(reply.returned_cookies, "late=1");
    EXPECT_EQ(text(reply.body), "b");
}

TEST_F(HttpRequestTest, OversizedBodiesFail) {
    const std::size_t too_big = platform::max_reply_body + 1;
    RawServer server([&](const RawRequest&) { return ok(std::string(too_big, 'x')); });
    HttpRequestArgs args{.url = server.base_url() + "/big"};
    HttpReply reply = HttpRequest(args);
    EXPECT_TRUE(reply.body.empty());
}

// Each failure ends the exchange as what it is (never a time-out), with an
// empty body and no headers.
TEST_F(HttpRequestTest, FailuresGiveEmptyBodiesAndHeadersAndSayWhy) {
    using platform::TransportError;
    HttpRequestArgs unresolvable{.url = "https://no-such-host.invalid/x"};
    HttpReply reply = HttpRequest(unresolvable);
    EXPECT_EQ(reply.outcome.error, TransportError::could_not_resolve);
    EXPECT_TRUE(reply.body.empty());
    EXPECT_EQ(reply.returned_headers, "");
    EXPECT_EQ(reply.returned_cookies, "");

    HttpRequestArgs refused{.url = "http://127.0.0.1:1/x"};
    reply = HttpRequest(refused);
    EXPECT_EQ(reply.outcome.error, TransportError::could_not_connect);
    EXPECT_TRUE(reply.body.empty());

    RawServer dropping([](const RawRequest&) { return RawResponse{"", true}; });
    HttpRequestArgs dropped{.url = dropping.base_url() + "/x"};
    reply = HttpRequest(dropped);
    EXPECT_EQ(reply.outcome.error, TransportError::connection_dropped);
    EXPECT_TRUE(reply.body.empty());
    EXPECT_EQ(reply.returned_headers, "");

    HttpRequestArgs via_dead_proxy{.url = "http://127.0.0.1:9/x", .proxy = "127.0.0.1:1"};
    reply = HttpRequest(via_dead_proxy);
    EXPECT_EQ(reply.outcome.error, TransportError::could_not_connect);
    EXPECT_TRUE(reply.body.empty());
    HttpRequestArgs tls_via_dead_proxy{.url = "https://127.0.0.1:9/x", .proxy = "127.0.0.1:1"};
    reply = HttpRequest(tls_via_dead_proxy);
    EXPECT_EQ(reply.outcome.error, TransportError::could_not_connect);
    EXPECT_TRUE(reply.body.empty());
}

TEST_F(HttpRequestTest, PlainHttpGoesThroughTheNamedProxy) {
    RawServer proxy([](const RawRequest&) { return ok("from proxy"); });
    HttpRequestArgs args{.url = "http://shop.invalid/Path?q=1",
                         .proxy = "127.0.0.1:" + std::to_string(proxy.port())};
    EXPECT_EQ(text(HttpRequest(args).body), "from proxy");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].request_line, "GET http://shop.invalid/Path?q=1 HTTP/1.1");
}

class HttpsRequestTest : public HttpRequestTest {
  protected:
    static void SetUpTestSuite() {
        HttpRequestTest::SetUpTestSuite();
        server_ = new TlsServer();
        redirect_target_ = new RawServer([](const RawRequest&) { return ok("plain target"); });
        server_->server().Get("/Sug", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("{\"q\":\"" + req.get_param_value("Q") + "\"}", "application/json");
        });
        server_->server().Get("/down", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://127.0.0.1:" + std::to_string(redirect_target_->port()) + "/");
        });
        server_->start();
    }
    static void TearDownTestSuite() {
        delete server_;
        delete redirect_target_;
    }
    static TlsServer* server_;
    static RawServer* redirect_target_;
};
TlsServer* HttpsRequestTest::server_ = nullptr;
RawServer* HttpsRequestTest::redirect_target_ = nullptr;

TEST_F(HttpsRequestTest, UpperCaseSchemeIsStillHttps) {
    std::string url = "HTTPS://127.0.0.1:" + std::to_string(server_->port()) + "/Sug?Q=A";
    EXPECT_EQ(text(HttpRequest(url)), "{\"q\":\"A\"}");
}

TEST_F(HttpsRequestTest, UntrustedCertificatesAreRefused) {
    platform::set_extra_ca_file("");
    Bytes body = HttpRequest(server_->base_url() + "/Sug?Q=A");
    platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(HttpRequest(server_->base_url() + "/Sug?Q=A").empty());
}

TEST_F(HttpsRequestTest, HttpsIsNeverRedirectedToPlainHttp) {
    EXPECT_TRUE(HttpRequest(server_->base_url() + "/down").empty());
    EXPECT_TRUE(redirect_target_->requests().empty());
}

TEST_F(HttpsRequestTest, PlainHttpMayBeRedirectedToHttps) {
    std::string target = server_->base_url() + "/Sug?Q=up";
    RawServer upgrade([&](const RawRequest&) {
        return RawResponse{http_response(301, "", "Location: " + target + "\r\n")};
    });
    EXPECT_EQ(text(HttpRequest(upgrade.base_url() + "/")), "{\"q\":\"up\"}");
}

}  // namespace
}  // namespace quorvel::web
