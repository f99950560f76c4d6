// Sockets opened close-on-exec; addresses read by inet_pton.

#include <arpa/inet.h>
#include <sys/socket.h>

#include "platform/http_transport_system.h"

namespace quorvel::platform {

curl_socket_t open_socket(void*, curlsocktype, curl_sockaddr* address) {
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

bool numeric_address(const std::string& text, bool v6) {
    in_addr v4_address{};
    in6_addr v6_address{};
    return v6 ? inet_pton(AF_INET6, text.c_str(), &v6_address) == 1
              : inet_pton(AF_INET, text.c_str(), &v4_address) == 1;
}

}  // namespace quorvel::platform
