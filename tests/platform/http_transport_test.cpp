#include "platform/http_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <future>
#include <thread>

#include "tests/support/captured_log.h"
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

// Two exchanges of two runs in flight at once: stopping one ends it without
// its reply, while the other still waits for its own, which then arrives.
TEST(HttpTransport, StoppingOneExchangeLeavesTheOthersRunning) {
    std::promise<void> stopped_ended;
    const std::shared_future<void> other_may_reply = stopped_ended.get_future().share();
    RawServer server([other_may_reply](const RawRequest& r) {
        if (r.request_line.find("/stopped") != std::string::npos) {
            // Sooner than the transport's 30 s stall limit: an exchange that
            // does not heed its stop gets this reply.
            return RawResponse{http_response(200, "late"), false, std::chrono::seconds(20)};
        }
        if (r.request_line.find("/other") != std::string::npos) {
            // Not before the stopped exchange has ended (a minute at most,
            // should it never end).
            other_may_reply.wait_for(std::chrono::minutes(1));
        }
        return ok("late");
    });
    std::stop_source stopped_run;
    std::stop_source other_run;
    TransportReply stopped_reply;
    TransportReply other_reply;
    std::thread stopped([&] {
        TransportRequest request = get(server.port(), "/stopped");
        request.stop = stopped_run.get_token();
        stopped_reply = perform_exchange(request);
        stopped_ended.set_value();
    });
    std::thread other([&] {
        TransportRequest request = get(server.port(), "/other");
        request.stop = other_run.get_token();
        other_reply = perform_exchange(request);
    });
    while (server.requests().size() < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stopped_run.request_stop();
    stopped.join();
    other.join();

    EXPECT_EQ(stopped_reply.outcome.error, TransportError::aborted);
    EXPECT_TRUE(stopped_reply.body.empty());
    EXPECT_FALSE(stopped_reply.outcome.body_complete);
    EXPECT_EQ(other_reply.outcome.error, TransportError::none);
    EXPECT_EQ(text(other_reply.body), "late");

    // A run that is already stopped sends nothing; the process goes on.
    TransportRequest refused = get(server.port(), "/refused");
    refused.stop = stopped_run.get_token();
    EXPECT_EQ(perform_exchange(refused).outcome.error, TransportError::aborted);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(text(perform_exchange(get(server.port(), "/again")).body), "late");
}

TEST(HttpTransport, OutcomeSaysHowTheExchangeEnded) {
    RawServer server([](const RawRequest& r) {
        if (r.request_line.find("/moved") != std::string::npos) {
            return RawResponse{http_response(302, "", "Location: /landed?x=1\r\n")};
        }
        if (r.request_line.find("/cut") != std::string::npos) {
            return RawResponse{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", true};
        }
        if (r.request_line.find("/huge") != std::string::npos) {
            std::string lines;
            for (int i = 0; i < 2048; ++i) {
                lines += "X-Big-" + std::to_string(i) + ": " + std::string(1000, 'h') + "\r\n";
            }
            return RawResponse{"HTTP/1.1 200 OK\r\n" + lines + "Content-Length: 2\r\n\r\nok"};
        }
        return RawResponse{http_response(404, "gone")};
    });

    TransportReply moved = perform_exchange(get(server.port(), "/moved"));
    EXPECT_EQ(moved.outcome.error, TransportError::none);
    EXPECT_TRUE(moved.outcome.body_complete);
    EXPECT_EQ(moved.outcome.status, 404);
    EXPECT_EQ(moved.outcome.final_url,
              "http://127.0.0.1:" + std::to_string(server.port()) + "/landed?x=1");
    EXPECT_TRUE(moved.outcome.error_text.empty());

    TransportReply cut = perform_exchange(get(server.port(), "/cut"));
    EXPECT_EQ(cut.outcome.error, TransportError::connection_dropped);
    EXPECT_FALSE(cut.outcome.body_complete);
    EXPECT_FALSE(cut.outcome.error_text.empty());
    EXPECT_EQ(text(cut.body), "partial");

    TransportReply huge = perform_exchange(get(server.port(), "/huge"));
    EXPECT_EQ(huge.outcome.error, TransportError::reply_too_large);
    EXPECT_FALSE(huge.got_reply);
    EXPECT_TRUE(huge.headers.empty());

    // A port nobody listens on, and a name that cannot be resolved.
    int closed_port = 0;
    {
        RawServer gone([](const RawRequest&) { return ok(""); });
        closed_port = gone.port();
    }
    EXPECT_EQ(perform_exchange(get(closed_port, "/")).outcome.error,
              TransportError::could_not_connect);
    TransportRequest unresolvable = get(80, "/");
    unresolvable.host = "no-such-host.invalid";
    EXPECT_EQ(perform_exchange(unresolvable).outcome.error, TransportError::could_not_resolve);
}

// A failed exchange is logged with what went wrong, never with its query.
TEST(HttpTransport, FailuresAreLoggedWithoutTheQuery) {
    testsupport::CapturedLog log;
    int closed_port = 0;
    {
        RawServer gone([](const RawRequest&) { return ok(""); });
        closed_port = gone.port();
    }
    perform_exchange(get(closed_port, "/sug?q=secret&sid=token"));
    const std::string said = log.text();
    EXPECT_THAT(said, HasSubstr("GET http://127.0.0.1:" + std::to_string(closed_port) + "/sug"));
    EXPECT_THAT(said,
                HasSubstr(std::string(transport_error_name(TransportError::could_not_connect))));
    EXPECT_THAT(said, HasSubstr(" ms"));
    EXPECT_THAT(said, Not(HasSubstr("secret")));
    EXPECT_THAT(said, Not(HasSubstr("token")));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].level, LogLevel::warning);

    // Exchanges that succeed say nothing.
    log.clear();
    RawServer fine([](const RawRequest&) { return ok("fine"); });
    perform_exchange(get(fine.port(), "/ok?q=1"));
    EXPECT_TRUE(log.lines().empty());
}

// The certificate is checked for the host name too: a certificate that is
// trusted but names another host is refused.
TEST(HttpTransport, TrustedCertificateForAnotherHostIsRefused) {
    testsupport::TlsServer server(testsupport::other_host_certificate());
    server.server().Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("secret", "text/plain");
    });
    server.start();
    TransportRequest request = get(server.port(), "/");
    request.options.secure = true;

    set_extra_ca_file(testsupport::other_host_certificate().cert_path);
    TransportReply reply = perform_exchange(request);
    set_extra_ca_file(testsupport::test_certificate().cert_path);
    EXPECT_TRUE(reply.body.empty());
    EXPECT_FALSE(reply.got_reply);
    EXPECT_EQ(reply.outcome.error, TransportError::tls_failure);

    // The same server is accepted under the name its certificate holds.
    testsupport::TlsServer named(testsupport::test_certificate());
    named.server().Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("fine", "text/plain");
    });
    named.start();
    TransportRequest good = get(named.port(), "/");
    good.options.secure = true;
    EXPECT_EQ(text(perform_exchange(good).body), "fine");
}

}  // namespace
}  // namespace quorvel::platform

namespace quorvel::platform {
namespace {

// Requests to a name go to the address an entry gives for its port.
TEST(ResolveEntries, SendAHostsRequestsToTheGivenAddress) {
    RawServer server([](const RawRequest&) { return ok("resolved"); });
    TransportRequest request = get(server.port(), "/r");
    request.host = "no-such-host.invalid";
    set_resolve_entries({*parse_resolve_entry(
        "no-such-host.invalid:" + std::to_string(server.port()) + ":127.0.0.1")});
    TransportReply reply = perform_exchange(request);
    set_resolve_entries({});
    EXPECT_EQ(text(reply.body), "resolved");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_THAT(server.requests()[0].head,
                HasSubstr("\r\nHost: no-such-host.invalid:" + std::to_string(server.port())));
}

}  // namespace
}  // namespace quorvel::platform
