#pragma once
// Files and folders for tests: a temporary folder removed with everything in
// it, a file's bytes and mode, and the names in a folder.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace quorvel::testsupport {

class ScratchFolder {
  public:
    // A new folder of its own under the temporary folder: a random name,
    // created only if it did not exist yet.
    ScratchFolder() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            char name[32];
            std::snprintf(name, sizeof name, "quorvel-test-%08x", random());
            std::error_code error;
            if (std::filesystem::create_directory(base / name, error)) {
                path_ = base / name;
                return;
            }
            if (error) {
                throw std::filesystem::filesystem_error("cannot make a scratch folder", base / name,
                                                        error);
            }
        }
    }
    ~ScratchFolder() {
        // A test may have taken the owner's rights away to make it unwritable.
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // The names in it, sorted.
    std::vector<std::string> names() const;

  private:
    std::filesystem::path path_;
};

inline std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A file's permission bits (owner, group, others); 0 when it does not exist.
inline unsigned mode_of(const std::filesystem::path& path) {
    std::error_code missing;
    const auto status = std::filesystem::status(path, missing);
    return std::filesystem::exists(status)
               ? static_cast<unsigned>(status.permissions() & std::filesystem::perms::all)
               : 0;
}

// The names in a folder, sorted; none when it does not exist.
inline std::vector<std::string> names_in(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::string> ScratchFolder::names() const {
    return names_in(path_);
}

}  // namespace quorvel::testsupport
