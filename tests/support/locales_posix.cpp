#include "tests/support/locales.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <stdexcept>

namespace quorvel::testsupport {

std::string make_locale(const std::string& name) {
    static std::mutex mutex;
    static std::string folder;
    static std::set<std::string> made;
    std::lock_guard guard(mutex);
    if (folder.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorvel-locales-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a folder for test locales");
        }
        folder = pattern;
        setenv("LOCPATH", folder.c_str(), 1);
    }
    if (made.count(name) == 0) {
        const std::string source = name.substr(0, name.find('.'));
        const std::string command =
            "localedef -i " + source + " -f UTF-8 '" + folder + "/" + name + "' > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("localedef cannot build " + name);
        }
        made.insert(name);
    }
    return name;
}

}  // namespace quorvel::testsupport
