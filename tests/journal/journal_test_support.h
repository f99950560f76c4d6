#pragma once
// What the journal's tests share: a scratch folder and file helpers.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "data/encoding.h"
#include "journal/journal.h"

namespace quorvel::journal {

// Test failures name a run's state.
inline void PrintTo(RunState state, std::ostream* out) {
    *out << state_name(state);
}

}  // namespace quorvel::journal

namespace quorvel::journal::testing {

namespace fs = std::filesystem;

inline std::string gb(const std::string& utf8) {
    return data::gbk_from_utf8(utf8);
}

inline std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "quorvel-journal-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// The names in a folder, sorted; none when it does not exist.
inline std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quorvel::journal::testing
