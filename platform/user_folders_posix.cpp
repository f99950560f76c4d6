#include "platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorvel::platform {
namespace {

std::filesystem::path home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

tl::expected<std::filesystem::path, std::string> user_data_folder() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home != nullptr && data_home[0] == '/') {
        return std::filesystem::path(data_home) / "quorvel";
    }
    const std::filesystem::path home = home_folder();
    if (home.empty()) {
        return tl::unexpected(std::string("no home folder: HOME is unset and the user has none"));
    }
    return home / ".local" / "share" / "quorvel";
}

tl::expected<void, std::string> make_private_folder(const std::filesystem::path& folder) {
    std::filesystem::path built;
    for (const std::filesystem::path& part : folder) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) == 0) {
            continue;
        }
        const int error = errno;
        struct stat status {};
        if (error == EEXIST && ::stat(built.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            continue;
        }
        return tl::unexpected("cannot create " + built.string() + ": " + std::strerror(error));
    }
    return {};
}

}  // namespace quorvel::platform
