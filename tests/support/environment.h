#pragma once
// Environment variables for tests, on every platform: the variables a test
// sets for this process, and the time zone the C library reads from TZ.

#include <string>

namespace quorvel::testsupport {

void set_environment(const std::string& name, const std::string& value);

// Sets TZ to a zone in the POSIX form ("CST-8" is UTC+8, "UTC0" is UTC),
// which both C libraries read, and makes the C library read it again.
void use_time_zone(const std::string& zone);

}  // namespace quorvel::testsupport
