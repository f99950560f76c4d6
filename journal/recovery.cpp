#include "journal/recovery.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "journal/storage.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/utf8_path.h"

namespace quorvel::journal {
namespace {

namespace fs = std::filesystem;

bool not_a_database(const sql::Error& failure) {
    return failure.primary() == sql::code::not_a_database ||
           failure.primary() == sql::code::corrupt;
}

// The file's name with `suffix` after it, as SQLite names its companion files.
fs::path with_suffix(fs::path file, const std::string& suffix) {
    file += suffix;
    return file;
}

// Whether the file is plainly not a database, seen without SQLite: SQLite
// takes any file named like a write-ahead log for one, and deletes a log or
// rollback journal it finds beside an empty file.
bool plainly_not_a_database(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;  // missing, or unreadable: SQLite says why
    }
    char header[16] = {};
    in.read(header, sizeof header);
    const std::streamsize got = in.gcount();
    if (got == 0) {
        std::error_code ignored;
        return fs::exists(with_suffix(file, "-wal"), ignored) ||
               fs::exists(with_suffix(file, "-journal"), ignored);
    }
    constexpr char magic[16] = "SQLite format 3";  // with its zero byte
    return got < 16 || std::memcmp(header, magic, sizeof magic) != 0;
}

// Reads enough of an open file to know it is a database: its header and
// its schema. Gives the schema version.
sql::Result<std::int64_t> check(sql::Connection& db) {
    if (db.read_only()) {
        return tl::unexpected(sql::Error{sql::code::read_only, "the file may only be read"});
    }
    if (auto configured = configure(db); !configured) {
        return tl::unexpected(configured.error());
    }
    const auto version = db.query_number("PRAGMA user_version");
    if (!version) {
        return version;
    }
    if (auto schema = db.query_number("SELECT count(*) FROM sqlite_schema"); !schema) {
        return schema;
    }
    return version;
}

// "<name>.corrupt-YYYYMMDD-HHMMSS", with "-2", "-3", ... when taken.
fs::path aside_name(const fs::path& file) {
    const platform::LocalDateTime now = platform::local_now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".corrupt-%04d%02d%02d-%02d%02d%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    fs::path base = file;
    base += stamp;
    fs::path name = base;
    std::error_code ignored;
    for (int n = 2; fs::exists(name, ignored) || fs::exists(with_suffix(name, "-wal"), ignored);
         ++n) {
        name = with_suffix(with_suffix(base, "-"), std::to_string(n));
    }
    return name;
}

// Moves or copies (`step`) each of these files that exists, the file with a
// suffix after its name, to the same suffix after `aside`'s; `verb` names
// the step in a failure.
template <typename Step>
tl::expected<void, std::string> put_aside(const fs::path& file, const fs::path& aside,
                                          std::initializer_list<const char*> suffixes,
                                          std::string_view verb, Step step) {
    for (const char* suffix : suffixes) {
        const fs::path original = with_suffix(file, suffix);
        std::error_code failed;
        if (!fs::exists(original, failed)) {
            continue;
        }
        step(original, with_suffix(aside, suffix), failed);
        if (failed) {
            return tl::unexpected("cannot " + std::string(verb) + " " +
                                  platform::utf8_of(original) + " aside: " + failed.message());
        }
    }
    return {};
}

// Moves the file aside with its companions: a write-ahead log or rollback
// journal left beside a fresh file would be played into it.
tl::expected<fs::path, std::string> move_aside(const fs::path& file) {
    const fs::path aside = aside_name(file);
    const auto rename = [](const fs::path& from, const fs::path& to, std::error_code& failed) {
        fs::rename(from, to, failed);
    };
    if (auto moved = put_aside(file, aside, {"-wal", "-shm", "-journal"}, "move", rename); !moved) {
        return tl::unexpected(moved.error());
    }
    std::error_code failed;
    rename(file, aside, failed);
    if (failed) {
        return tl::unexpected("cannot move " + platform::utf8_of(file) +
                              " aside: " + failed.message());
    }
    return aside;
}

// Copies the file aside with its companions, for where an open file cannot
// be renamed (Windows): copied while SQLite still has it open, the copies
// are what was there, whatever closing it does to the originals.
tl::expected<fs::path, std::string> copy_aside(const fs::path& file) {
    const fs::path aside = aside_name(file);
    const auto copy = [](const fs::path& from, const fs::path& to, std::error_code& failed) {
        fs::copy_file(from, to, failed);
    };
    if (auto copied = put_aside(file, aside, {"", "-wal", "-shm", "-journal"}, "copy", copy);
        !copied) {
        return tl::unexpected(copied.error());
    }
    return aside;
}

// Removes the file and its companions once copied aside.
tl::expected<void, std::string> remove_with_companions(const fs::path& file) {
    for (const char* suffix : {"-wal", "-shm", "-journal", ""}) {
        const fs::path original = with_suffix(file, suffix);
        std::error_code failed;
        fs::remove(original, failed);
        if (failed) {
            return tl::unexpected("cannot remove " + platform::utf8_of(original) + ": " +
                                  failed.message());
        }
    }
    return {};
}

}  // namespace

tl::expected<OpenedFile, std::string> open_or_start_afresh(const fs::path& file,
                                                           std::optional<fs::path>& moved_aside) {
    moved_aside.reset();
    // `open_db`, when given, is SQLite's connection to the file. Windows
    // renames no file SQLite holds open: there the files are copied aside,
    // the connection closed and the originals removed.
    auto set_aside = [&](const std::string& why,
                         sql::Connection* open_db) -> tl::expected<void, std::string> {
        auto aside = move_aside(file);
        if (!aside && open_db != nullptr) {
            aside = copy_aside(file);
            *open_db = sql::Connection();
            if (aside) {
                if (auto removed = remove_with_companions(file); !removed) {
                    aside = tl::unexpected(removed.error());
                }
            }
        }
        if (!aside) {
            return tl::unexpected(why + "; " + aside.error());
        }
        platform::log_warning("journal: " + platform::utf8_of(file) +
                              " is not a usable database (" + why + "); moved aside to " +
                              platform::utf8_of(*aside) + " and started afresh");
        moved_aside = *aside;
        return {};
    };
    if (plainly_not_a_database(file)) {
        if (auto moved = set_aside("not an SQLite file", nullptr); !moved) {
            return tl::unexpected(moved.error());
        }
    }
    auto db = sql::Connection::open(file, sql::Connection::Mode::read_write_create);
    if (!db) {
        return tl::unexpected(db.error().text());
    }
    auto version = check(*db);
    if (!version && not_a_database(version.error()) && !moved_aside) {
        // Moved while SQLite still has it open (where the system allows it):
        // closing it then cannot remove or rewrite the companion files under
        // their old names.
        auto moved = set_aside(version.error().text(), &*db);
        db = sql::Connection();
        if (!moved) {
            return tl::unexpected(moved.error());
        }
        db = sql::Connection::open(file, sql::Connection::Mode::read_write_create);
        if (!db) {
            return tl::unexpected(db.error().text());
        }
        version = check(*db);
    }
    if (!version) {
        return tl::unexpected(version.error().text());
    }
    return OpenedFile{std::move(*db), *version};
}

}  // namespace quorvel::journal
