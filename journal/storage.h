#pragma once
// What the journal and its recorders share: how a connection is set up,
// where a run's lock file lives, the text and time conversions at the
// database boundary, and the recorder's inner state.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal.h"
#include "journal/sqlite.h"
#include "platform/file_lock.h"

namespace quorvel::journal {

// How long a connection waits for another writer (the window's or a command
// line run's) before a write gives up.
inline constexpr int busy_timeout_ms = 5000;

// Waits for other writers, keeps the file's foreign keys, and lets a commit
// return once it is in the write-ahead log: it then survives the process
// being killed, though not the machine losing power.
sql::Result<void> configure(sql::Connection& db);

// The folder of the runs' lock files, beside the database.
std::filesystem::path lock_folder(const std::filesystem::path& file);
std::filesystem::path lock_file(const std::filesystem::path& file, std::string_view token);

std::string utf8_from_code_page(std::string_view text);
std::string code_page_from_utf8(std::string_view text);

std::int64_t unix_ms_now();

JournalError storage_error(std::string_view what, const sql::Error& error);

// The seed text that splits into exactly these seeds.
std::string joined_seeds(const std::vector<std::string>& seeds);

struct RunRecorder::Impl {
    struct PendingWord {
        std::int64_t kind = 0;
        std::int64_t seed = 0;
        std::string word;   // UTF-8
        std::string count;  // UTF-8; empty is stored as NULL
    };

    // Prepares the recorder's statements on its own connection; the lock
    // and the run's row are already taken.
    static tl::expected<std::unique_ptr<Impl>, JournalError> create(sql::Connection db,
                                                                    platform::FileLock lock,
                                                                    std::int64_t run_id,
                                                                    std::int64_t next_ordinal,
                                                                    std::vector<std::string> seeds);

    // Runs `body` in one write transaction with the pending words and the
    // run's counters, unless an earlier write failed. A failure is kept,
    // logged and told to the handler once; later writes are skipped.
    void commit(std::string_view what, const std::function<sql::Result<void>()>& body = {});
    sql::Result<void> write_pending();
    void fail(JournalError error, bool tell_handler);

    sql::Connection db;
    platform::FileLock lock;
    std::int64_t run_id = 0;
    std::int64_t next_ordinal = 0;
    std::vector<std::string> seeds;  // code-page text, as stored
    sql::Statement insert_word;
    sql::Statement insert_seed;
    sql::Statement add_counts;
    sql::Statement end_run;
    sql::Statement set_seeds;
    std::vector<PendingWord> pending;
    std::array<std::int64_t, 5> pending_counts{};
    std::int64_t pending_seeds_done = 0;
    std::optional<JournalError> failure;
    std::function<void(const JournalError&)> failure_handler;
    bool ended = false;
    bool in_destructor = false;
};

}  // namespace quorvel::journal
