#include "web/url.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quorvel::web {
namespace {

struct UrlCase {
    const char* url;
    const char* host;
    const char* host_with_port;
    int port;
    const char* path;
    friend void PrintTo(const UrlCase& c, std::ostream* os) { *os << c.url; }
};

class UrlSplitting : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlSplitting, GivesHostPortAndPath) {
    const UrlCase& c = GetParam();
    EXPECT_EQ(url_host(c.url), c.host);
    EXPECT_EQ(url_host(c.url, HostPort::keep), c.host_with_port);
    EXPECT_EQ(url_port(c.url), c.port);
    EXPECT_EQ(url_path(c.url), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    OddAndOrdinaryUrls, UrlSplitting,
    ::testing::Values(
        UrlCase{"https://Srv/Sug?Q=A", "srv", "srv", 443, "/Sug?Q=A"},
        UrlCase{"HTTP://srv:8080/a/b", "srv", "srv:8080", 8080, "/a/b"},
        UrlCase{"http://srv", "srv", "srv", 80, "/"}, UrlCase{"srv/x", "srv", "srv", 80, "/x"},
        UrlCase{"https://srv:8443/x", "srv", "srv:8443", 8443, "/x"},
        UrlCase{"http://srv:/x", "srv", "srv:", 0, "/x"},
        UrlCase{"https://srv?q=1", "srv?q=1", "srv?q=1", 443, "/"},
        UrlCase{"https://a.srv/r?u=http://b.srv/", "a.srv", "a.srv", 443, "/r?u=http://b.srv/"},
        UrlCase{"HTTPS://Suggest.Example/Sug?Code=UTF-8&Q=%E5%A6", "suggest.example",
                "suggest.example", 443, "/Sug?Code=UTF-8&Q=%E5%A6"},
        UrlCase{"http://srv:12x/", "srv", "srv:12x", 12, "/"},
        UrlCase{"http://srv:99999999999/", "srv", "srv:99999999999", 2147483647, "/"}));

TEST(UrlSplitting, KeepsDoubleByteTextInThePathUntouched) {
    // The second byte of "\xB0\x41" must not be lowered, in the host or the path.
    EXPECT_EQ(url_host("http://A\xB0\x41.srv/P"), "a\xB0\x41.srv");
    EXPECT_EQ(url_path("http://A\xB0\x41.srv/P\xB0\x41"), "/P\xB0\x41");
}

}  // namespace
}  // namespace quorvel::web
