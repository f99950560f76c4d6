#pragma once
// Opening the journal's file when it may be damaged: a file that is not a
// database is set aside, never deleted, and a fresh one started.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <tl/expected.hpp>

#include "journal/sqlite.h"

namespace quorvel::journal {

struct OpenedFile {
    sql::Connection db;
    std::int64_t version = 0;  // the schema version the file holds
};

// Opens the file, creating it when missing, and reads enough of it to know
// it is a database. One that is not is moved aside with its companion files
// as "<name>.corrupt-<YYYYMMDD-HHMMSS>" (its path given in `moved_aside`)
// and a fresh file opened in its place. A failure is the reason the file
// cannot be opened.
tl::expected<OpenedFile, std::string> open_or_start_afresh(
    const std::filesystem::path& file, std::optional<std::filesystem::path>& moved_aside);

}  // namespace quorvel::journal
