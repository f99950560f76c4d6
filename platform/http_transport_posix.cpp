// Sockets opened close-on-exec; addresses read by inet_pton.

#include <arpa/inet.h>
#include <sys/socket.h>

#include "platform/http_transport_system.h"
#include "platform/transport_settings.h"

namespace quorvel::platform {

curl_socket_t open_socket(void*, curlsocktype, curl_sockaddr* address) {
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

CURLcode trust_extra_ca_file(CURL* curl, const std::string& file) {
    if (CURLcode set = curl_easy_setopt(curl, CURLOPT_CAINFO, file.c_str()); set != CURLE_OK) {
        return set;
    }
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    const char* capath =
        info != nullptr && info->capath != nullptr ? info->capath : "/etc/ssl/certs";
    return curl_easy_setopt(curl, CURLOPT_CAPATH, capath);
}

bool numeric_address(const std::string& text, bool v6) {
    in_addr v4_address{};
    in6_addr v6_address{};
    return v6 ? inet_pton(AF_INET6, text.c_str(), &v6_address) == 1
              : inet_pton(AF_INET, text.c_str(), &v4_address) == 1;
}

}  // namespace quorvel::platform
