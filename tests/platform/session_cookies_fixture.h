#pragma once
// What the session cookie tests share: the domains they put cookies for,
// cleared before and after each test, and a cookie maker.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "platform/session_cookies.h"
#include "tests/support/scratch.h"

namespace quorvel::platform::cookie_tests {

inline constexpr std::array<std::string_view, 5> test_domains = {
    "taobao.com", "tmall.com", "example.com", "nottaobao.com", "localhost"};
inline constexpr std::array<std::string_view, 2> marketplace = {"taobao.com", "tmall.com"};

inline Cookie cookie(std::string domain, std::string name, std::string value) {
    Cookie c;
    c.domain = std::move(domain);
    c.name = std::move(name);
    c.value = std::move(value);
    return c;
}

// One class for every file's tests, so that they share one test suite.
class SessionCookies : public ::testing::Test {
  protected:
    void SetUp() override { clear_cookies_for(test_domains); }
    void TearDown() override { clear_cookies_for(test_domains); }
    testsupport::ScratchFolder scratch_;
};

}  // namespace quorvel::platform::cookie_tests
