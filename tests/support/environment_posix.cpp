#include <cstdlib>
#include <ctime>

#include "tests/support/environment.h"

namespace quorvel::testsupport {

void set_environment(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void use_time_zone(const std::string& zone) {
    set_environment("TZ", zone);
    ::tzset();
}

}  // namespace quorvel::testsupport
