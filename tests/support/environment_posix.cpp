#include <cstdlib>
#include <ctime>

#include "tests/support/environment.h"

namespace quorvel::testsupport {

std::optional<std::string> environment_value(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void set_environment(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void unset_environment(const std::string& name) {
    ::unsetenv(name.c_str());
}

void use_time_zone(const std::string& zone) {
    set_environment("TZ", zone);
    ::tzset();
}

}  // namespace quorvel::testsupport
