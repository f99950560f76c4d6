#include <map>
#include <stdexcept>
#include <string>

#include "tests/support/locales.h"

namespace quorvel::testsupport {

// Windows carries its locales; the C runtime knows them by English names.
std::string make_locale(const std::string& name) {
    static const std::map<std::string, std::string> windows_names = {
        {"de_DE.UTF-8", "German_Germany.1252"},
        {"en_US.UTF-8", "English_United States.1252"},
    };
    auto it = windows_names.find(name);
    if (it == windows_names.end()) {
        throw std::runtime_error("no Windows locale is known for " + name);
    }
    return it->second;
}

}  // namespace quorvel::testsupport
