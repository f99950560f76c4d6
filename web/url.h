#pragma once
// Cuts the host, port and object path out of a URL by plain text search. Tuned
// to absolute "http://" and "https://" URLs; a URL without a scheme is read as
// plain HTTP. None of them fails: any text gives some host, port and path.

#include <string>
#include <string_view>

namespace quorvel::web {

// Whether url_host keeps the port written after the host.
enum class HostPort { drop, keep };

// The host in lower case; with HostPort::keep, followed by ":" and the port
// text when the URL has one.
std::string url_host(std::string_view url, HostPort port = HostPort::drop);

// The port written in the URL, else 443 for "https" URLs and 80 for others.
int url_port(std::string_view url);

// The object path from the first "/" after the host, in the URL's own letter
// case, query included; "/" when there is none.
std::string url_path(std::string_view url);

}  // namespace quorvel::web
