#pragma once
// The transport's shared cookie store as libcurl sees it, for the session
// cookie functions alone (platform/session_cookies.h is the interface the
// rest of the program uses). Both calls are safe from any thread: libcurl
// takes the store's lock for each of them.

#include <string>
#include <vector>

namespace quorvel::platform::cookie_store {

// Hands one CURLOPT_COOKIELIST command to the store: a Netscape cookie line,
// a "Set-Cookie:" line, or one of "ALL", "SESS", "FLUSH", "RELOAD". False when
// libcurl refused it or the store could not be set up.
bool command(const std::string& text);

// Every cookie the store holds, as libcurl lists them: one Netscape line each.
std::vector<std::string> lines();

}  // namespace quorvel::platform::cookie_store
