#pragma once
// A place where a test may listen on the HTTPS port, as the command line
// always connects to the marketplace's hosts there.

#include <string>

namespace quorvel::testsupport {

// As root: a loopback address of its own (127.x.y.z, drawn at random so that
// tests running side by side do not meet). Otherwise the process moves into
// a user and network namespace of its own, with its loopback up, and the
// address is 127.0.0.1; child processes share that network. Call it before
// the process starts any thread. Throws when neither can be had.
std::string address_for_https_port();

}  // namespace quorvel::testsupport
