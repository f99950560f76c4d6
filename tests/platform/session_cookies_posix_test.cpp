// The cookie file's modes and the cookies' way through real exchanges with
// the local TLS server (Linux: the test servers are not built for Windows).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <array>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "platform/http_transport.h"
#include "platform/session_cookies.h"
#include "tests/platform/session_cookies_fixture.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::file_bytes;
using testsupport::mode_of;
using testsupport::ScratchFolder;

using cookie_tests::cookie;
using cookie_tests::marketplace;
using cookie_tests::SessionCookies;
using cookie_tests::test_domains;

// The file is private: a new one is 0600 in a 0700 folder, and an old one's
// mode is replaced with it.
TEST_F(SessionCookies, WritingIsPrivate) {
    const fs::path folder = scratch_ / "data" / "quorvel";
    const fs::path file = folder / "cookies.txt";
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "a", "1")}).has_value());
    EXPECT_EQ(mode_of(file), 0600u);
    EXPECT_EQ(mode_of(folder), 0700u);
    EXPECT_EQ(mode_of(scratch_ / "data"), 0700u);

    fs::permissions(file, fs::perms(0644));
    ASSERT_TRUE(write_cookie_file(file, {cookie("taobao.com", "b", "2")}).has_value());
    EXPECT_EQ(mode_of(file), 0600u);
    EXPECT_THAT(file_bytes(file), HasSubstr("\tb\t2\n"));
}

// What the store holds goes out only to the hosts a cookie's domain matches,
// and what a server sets lands in the same store.
TEST_F(SessionCookies, CookiesGoOnlyToTheHostsTheyMatch) {
    std::mutex mutex;
    std::map<std::string, std::string> sent;  // host -> Cookie header
    testsupport::TlsServer server;
    server.server().Get("/", [&](const httplib::Request& request, httplib::Response& response) {
        std::string host = request.get_header_value("Host");
        host = host.substr(0, host.find(':'));
        {
            std::lock_guard guard(mutex);
            sent[host] = request.get_header_value("Cookie");
        }
        if (host == "s.taobao.com") {
            response.set_header("Set-Cookie", "fromserver=1; Domain=taobao.com; Path=/");
        }
        response.set_content("ok", "text/plain");
    });
    server.start();
    const std::string port = std::to_string(server.port());
    std::vector<ResolveEntry> entries;
    for (const char* host : {"s.taobao.com", "www.tmall.com", "nottaobao.com"}) {
        entries.push_back(*parse_resolve_entry(std::string(host) + ":" + port + ":127.0.0.1"));
    }
    set_resolve_entries(entries);
    set_extra_ca_file(testsupport::test_certificate().cert_path);

    Cookie secure = cookie("taobao.com", "sid", "tb");
    secure.secure = true;
    ASSERT_TRUE(set_cookie(secure).has_value());
    Cookie host_only = cookie("www.tmall.com", "tm", "only");
    host_only.include_subdomains = false;
    ASSERT_TRUE(set_cookie(host_only).has_value());
    ASSERT_TRUE(set_cookie(cookie("s.tmall.com", "elsewhere", "no")).has_value());

    auto fetch = [&](const std::string& host) {
        TransportRequest request;
        request.host = host;
        request.port = server.port();
        request.path = "/";
        request.verb = "GET";
        request.options.secure = true;
        return perform_exchange(request).outcome.error;
    };
    for (const char* host : {"s.taobao.com", "www.tmall.com", "nottaobao.com", "localhost"}) {
        EXPECT_EQ(fetch(host), TransportError::none) << host;
    }
    set_resolve_entries({});
    {
        std::lock_guard guard(mutex);
        EXPECT_EQ(sent["s.taobao.com"], "sid=tb");
        EXPECT_EQ(sent["www.tmall.com"], "tm=only");
        EXPECT_EQ(sent["nottaobao.com"], "");
        EXPECT_EQ(sent["localhost"], "");
    }
    bool listed = false;
    for (const Cookie& c : cookies()) {
        listed = listed || (c.domain == "taobao.com" && c.name == "fromserver" && c.value == "1");
    }
    EXPECT_TRUE(listed);
}

// The window's thread sets and removes while a harvest's exchanges run and
// store what servers set; every change lands and nothing is lost.
TEST_F(SessionCookies, ChangesFromAnotherThreadDuringExchanges) {
    testsupport::TlsServer server;
    server.server().Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "worker=1; Domain=localhost; Path=/");
        response.set_content("ok", "text/plain");
    });
    server.start();
    set_extra_ca_file(testsupport::test_certificate().cert_path);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done.load()) {
            TransportRequest request;
            request.host = "localhost";
            request.port = server.port();
            request.path = "/";
            request.verb = "GET";
            request.options.secure = true;
            perform_exchange(request);
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(set_cookie(cookie("taobao.com", "n" + std::to_string(i), "v")).has_value());
        if (i % 2 == 1) {
            remove_cookie("taobao.com", "/", "n" + std::to_string(i));
        }
    }
    done.store(true);
    worker.join();
    std::size_t kept = 0;
    for (const Cookie& c : cookies_within(cookies(), marketplace)) {
        EXPECT_EQ(std::stoi(c.name.substr(1)) % 2, 0) << c.name;
        ++kept;
    }
    EXPECT_EQ(kept, 100u);
}

}  // namespace
}  // namespace quorvel::platform
