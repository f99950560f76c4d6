#include <stdlib.h>
#include <time.h>

#include "tests/support/environment.h"

namespace quorvel::testsupport {

void set_environment(const std::string& name, const std::string& value) {
    ::_putenv_s(name.c_str(), value.c_str());
}

void use_time_zone(const std::string& zone) {
    set_environment("TZ", zone);
    ::_tzset();
}

}  // namespace quorvel::testsupport
