// Sockets opened without handle inheritance; addresses read by Winsock's
// inet_pton.

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/http_transport_system.h"
#include "platform/transport_settings.h"

namespace quorvel::platform {

curl_socket_t open_socket(void*, curlsocktype, curl_sockaddr* address) {
    // Overlapped, as libcurl's own sockets are.
    return WSASocketW(address->family, address->socktype, address->protocol, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

// Schannel checks the chain against the file alone when given one; it has no
// folder of certificates to add (CURLOPT_CAPATH is not built in).
CURLcode trust_extra_ca_file(CURL* curl, const std::string& file) {
    return curl_easy_setopt(curl, CURLOPT_CAINFO, file.c_str());
}

bool numeric_address(const std::string& text, bool v6) {
    // Winsock wants starting before its first use, which may come before
    // libcurl's; each start is counted, so one more does no harm.
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        return false;
    }
    in_addr v4_address{};
    in6_addr v6_address{};
    return v6 ? inet_pton(AF_INET6, text.c_str(), &v6_address) == 1
              : inet_pton(AF_INET, text.c_str(), &v4_address) == 1;
}

}  // namespace quorvel::platform
