// Reading the transport's settings: proxy lists, and curl-style --resolve
// entries on every system (Windows reads the addresses through Winsock's
// inet_pton).

#include <gtest/gtest.h>

#include "platform/http_transport.h"
#include "platform/transport_settings.h"

namespace quorvel::platform {
namespace {

TEST(ResolveEntries, ParsedAsCurlTakesThem) {
    auto v4 = parse_resolve_entry("suggest.taobao.com:443:127.0.0.2");
    ASSERT_TRUE(v4.has_value()) << v4.error();
    EXPECT_EQ(v4->host, "suggest.taobao.com");
    EXPECT_EQ(v4->port, 443);
    EXPECT_EQ(v4->text(), "suggest.taobao.com:443:127.0.0.2");
    EXPECT_TRUE(parse_resolve_entry("h:80:[::1]").has_value());
    for (const char* bad :
         {"", "host", "host:443", "host:x:127.0.0.1", "host:0:127.0.0.1", "host:70000:127.0.0.1",
          "host:443:", "host:443:localhost", "host:443:::1", "ho st:443:127.0.0.1",
          ":443:127.0.0.1", "host:443:127.0.0.1,evil"}) {
        EXPECT_FALSE(parse_resolve_entry(bad).has_value()) << bad;
    }
}

// Separators and letter case as the Windows Internet client's proxy lists use them.
TEST(ProxyList, EntriesSplitAtSpacesTabsOrSemicolonsAndSchemesIgnoreCase) {
    EXPECT_EQ(select_proxy("HTTP=a:1;Https=b:2", false), "a:1");
    EXPECT_EQ(select_proxy("HTTP=a:1;Https=b:2", true), "b:2");
    EXPECT_EQ(select_proxy("ftp=f:1;; g:2\th:3", true), "g:2");
}

}  // namespace
}  // namespace quorvel::platform
