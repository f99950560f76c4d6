#include "platform/http_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/test_servers.h"

namespace quorvel::platform {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::http_response;
using testsupport::RawRequest;
using testsupport::RawResponse;
using testsupport::RawServer;

RawResponse ok(const std::string& body) {
    return {http_response(200, body)};
}

TransportRequest get(int port, const std::string& path) {
    TransportRequest request;
    request.agent = "agent";
    request.host = "127.0.0.1";
    request.port = port;
    request.path = path;
    request.verb = "GET";
    request.flags = request_flags::reload | request_flags::need_file;
    return request;
}

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(HttpTransport, SharedPolicyReusesOneWarmConnection) {
    RawServer server([](const RawRequest&) { return ok("k"); });
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(text(perform_exchange(get(server.port(), "/s")).body), "k");
    }
    EXPECT_EQ(server.connections(), 1);

    RawServer fresh([](const RawRequest&) { return ok("k"); });
    for (int i = 0; i < 3; ++i) {
        perform_exchange(get(fresh.port(), "/f"), ConnectionPolicy::fresh);
    }
    EXPECT_EQ(fresh.connections(), 3);
}

TEST(HttpTransport, HeaderLinesAreSentInOrderAndEmptyValuesSurvive) {
    RawServer server([](const RawRequest&) { return ok(""); });
    TransportRequest request = get(server.port(), "/h");
    request.header_block = "X-B: 2\r\nX-Empty:\r\n\r\nX-A: 1";
    perform_exchange(request);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_THAT(server.requests()[0].head, HasSubstr("\r\nX-B: 2\r\nX-Empty:\r\nX-A: 1\r\n\r\n"));
}

TEST(HttpTransport, AgentCannotInjectHeaderLines) {
    RawServer server([](const RawRequest&) { return ok(""); });
    TransportRequest request = get(server.port(), "/a");
    request.agent = "A\r\nX-Injected: 1";
    perform_exchange(request);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_THAT(server.requests()[0].head, Not(HasSubstr("X-Injected")));
    EXPECT_THAT(server.requests()[0].head, HasSubstr("\r\nUser-Agent: A\r\n"));
}

TEST(HttpTransport, PathsAreEncodedOnlyWhereAUrlCannotCarryThem) {
    RawServer server([](const RawRequest&) { return ok(""); });
    perform_exchange(get(server.port(), "/s?q=%E5%A6 a\xB0\xA1|"));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].request_line, "GET /s?q=%E5%A6%20a%B0%A1%7C HTTP/1.1");
}

TEST(HttpTransport, HostsAndPortsThatCannotBeReachedSendNothing) {
    RawServer server([](const RawRequest&) { return ok("no"); });
    TransportRequest odd_host = get(server.port(), "/");
    odd_host.host = "127.0.0.1?q=1";
    EXPECT_FALSE(perform_exchange(odd_host).got_reply);
    TransportRequest user_info = get(server.port(), "/");
    user_info.host = "evil@127.0.0.1";
    EXPECT_FALSE(perform_exchange(user_info).got_reply);
    EXPECT_FALSE(perform_exchange(get(0, "/")).got_reply);
    EXPECT_FALSE(perform_exchange(get(70000, "/")).got_reply);
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpTransport, ProxyListPicksTheEntryForTheScheme) {
    RawServer proxy([](const RawRequest&) { return ok("proxied"); });
    RawServer origin([](const RawRequest&) { return ok("direct"); });
    const std::string at = "127.0.0.1:" + std::to_string(proxy.port());

    TransportRequest plain = get(origin.port(), "/p");
    plain.proxy = "https=127.0.0.1:1 http=" + at;
    EXPECT_EQ(text(perform_exchange(plain).body), "proxied");

    TransportRequest generic = get(origin.port(), "/p");
    generic.proxy = at;
    EXPECT_EQ(text(perform_exchange(generic).body), "proxied");

    // An entry for another scheme only: the request goes direct.
    TransportRequest other = get(origin.port(), "/p");
    other.proxy = "https=127.0.0.1:1";
    EXPECT_EQ(text(perform_exchange(other).body), "direct");
}

TEST(HttpTransport, InterimAndRedirectHeadersAreNotReturned) {
    RawServer server([](const RawRequest& r) {
        if (r.request_line.find("/first") != std::string::npos) {
            return RawResponse{http_response(302, "", "Location: /second\r\nX-Hop: 1\r\n")};
        }
        return RawResponse{"HTTP/1.1 200 OK\nContent-Length: 2\nX-Final: 1\n\nok"};
    });
    TransportReply reply = perform_exchange(get(server.port(), "/first"));
    EXPECT_EQ(text(reply.body), "ok");
    EXPECT_EQ(reply.headers, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Final: 1\r\n\r\n");
}

TEST(HttpTransport, TruncatedBodyKeepsWhatArrived) {
    RawServer server([](const RawRequest&) {
        return RawResponse{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", true};
    });
    TransportReply reply = perform_exchange(get(server.port(), "/t"));
    EXPECT_TRUE(reply.got_reply);
    EXPECT_EQ(text(reply.body), "partial");
}

TEST(HttpTransport, AbortEndsTheExchangeInFlightAndRefusesNewOnes) {
    RawServer server([](const RawRequest&) {
        return RawResponse{http_response(200, "late"), false, std::chrono::milliseconds(5000)};
    });
    const auto start = std::chrono::steady_clock::now();
    std::thread aborter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        set_exchanges_aborted(true);
    });
    TransportReply reply = perform_exchange(get(server.port(), "/slow"));
    aborter.join();
    // Not a speed measurement: the abort must not wait for the slow reply.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(reply.body.empty());

    RawServer quick([](const RawRequest&) { return ok("fine"); });
    EXPECT_FALSE(perform_exchange(get(quick.port(), "/refused")).got_reply);
    EXPECT_TRUE(quick.requests().empty());
    set_exchanges_aborted(false);
    EXPECT_EQ(text(perform_exchange(get(quick.port(), "/again")).body), "fine");
}

}  // namespace
}  // namespace quorvel::platform
