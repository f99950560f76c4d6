#pragma once
// The journal's tables, and how a database file is brought up to date: its
// version is PRAGMA user_version, and step i takes it from version i to i + 1.

#include <array>
#include <span>
#include <string_view>
#include <tl/expected.hpp>

#include "journal/sqlite.h"

namespace quorvel::journal {

// Every step so far; the database's current version is their number.
extern const std::array<std::string_view, 3> schema_steps;
inline constexpr int schema_version = 3;

struct MigrationError {
    enum class Kind {
        newer_version,  // the file is of a later version than `steps` knows; left as it is
        failed,         // a step or the transaction failed; nothing was changed
    };
    Kind kind = Kind::failed;
    std::int64_t found_version = 0;
    sql::Error error;
};

// Applies the steps from the database's version to the last one in one write
// transaction: after it the database is at the last version, or as it was.
// Gives the version found.
tl::expected<std::int64_t, MigrationError> migrate(sql::Connection& db,
                                                   std::span<const std::string_view> steps);

}  // namespace quorvel::journal
