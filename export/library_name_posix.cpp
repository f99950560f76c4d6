// fopen() takes the path's own bytes.

#include "export/library_name.h"

namespace quorvel::exporting {

std::optional<std::string> library_file_name(const std::filesystem::path& existing) {
    return existing.native();
}

}  // namespace quorvel::exporting
