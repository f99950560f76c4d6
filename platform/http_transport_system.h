#pragma once
// Within platform/: the transport's few calls that differ between the
// systems, in http_transport_posix.cpp and http_transport_windows.cpp (which
// also read numeric addresses for transport_settings.h).

#include <curl/curl.h>

#include <string>

namespace quorvel::platform {

// libcurl's socket opener: sockets that child processes do not inherit (the
// embedded browser starts some).
curl_socket_t open_socket(void* data, curlsocktype purpose, curl_sockaddr* address);

// Makes a CA file given with --cacert trusted in addition to the system's
// certificates, where the TLS library can: OpenSSL keeps the system's folder
// of certificates beside the file. Schannel cannot: given a file, it checks
// against that file alone.
CURLcode trust_extra_ca_file(CURL* curl, const std::string& file);

}  // namespace quorvel::platform
