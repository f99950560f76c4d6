#include "journal/journal.h"

#include <cstdio>
#include <random>
#include <system_error>

#include "harvest/harvest_run.h"
#include "journal/recovery.h"
#include "journal/schema.h"
#include "journal/storage.h"
#include "platform/log.h"
#include "platform/user_folders.h"
#include "platform/utf8_path.h"

namespace quorvel::journal {
namespace {

namespace fs = std::filesystem;
using Kind = JournalError::Kind;

constexpr std::array<std::string_view, 4> state_names = {"running", "finished", "stopped",
                                                         "interrupted"};

constexpr std::string_view info_columns =
    "SELECT id, started_ms, ended_ms, state, kinds, seed_text, seeds_total, seeds_done, "
    "pc_words, arrow_words, mobile_words, longtail_words, related_words, parallel FROM runs ";

RunState state_named(std::string_view name) {
    for (std::size_t i = 0; i < state_names.size(); ++i) {
        if (state_names[i] == name) {
            return static_cast<RunState>(i);
        }
    }
    return RunState::interrupted;
}

RunInfo read_info(const sql::Statement& row) {
    RunInfo info;
    info.id = row.column_number(0);
    info.started_ms = row.column_number(1);
    if (!row.column_is_null(2)) {
        info.ended_ms = row.column_number(2);
    }
    info.state = state_named(row.column_text(3));
    info.kinds = harvest::KindSet::from_bits(static_cast<unsigned>(row.column_number(4)));
    info.seed_text = code_page_from_utf8(row.column_text(5));
    info.seeds_total = static_cast<std::size_t>(row.column_number(6));
    info.seeds_done = static_cast<std::size_t>(row.column_number(7));
    for (std::size_t kind = 0; kind < info.words.size(); ++kind) {
        info.words[kind] = row.column_number(8 + static_cast<int>(kind));
    }
    info.parallel = static_cast<int>(row.column_number(13));
    return info;
}

JournalError error(Kind kind, std::string message) {
    return {kind, std::move(message)};
}

// Logs an error that the caller will also be given.
tl::unexpected<JournalError> logged(JournalError failure) {
    platform::log_warning("journal: " + failure.message);
    return tl::unexpected(std::move(failure));
}

// 32 hex digits naming a run's lock file.
std::string new_token() {
    std::random_device source;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", source());
        token += part;
    }
    return token;
}

// Switches the file to write-ahead logging, so that readers and a writer do
// not wait for each other; gives the journal mode the file is in.
sql::Result<std::string> use_write_ahead_log(sql::Connection& db) {
    auto mode = db.query("PRAGMA journal_mode = WAL");
    if (!mode) {
        return tl::unexpected(mode.error());
    }
    const auto row = mode->step();
    if (!row) {
        return tl::unexpected(row.error());
    }
    return *row ? std::string(mode->column_text(0)) : std::string();
}

// Makes a stopped or interrupted run ready to go on, in one transaction:
// drops the words of its first unfinished seed and those after it (they
// will be found again), and marks it running. `was` is the state it was in
// (none when there is no such run; a finished run is left as it is).
sql::Result<void> reopen_run(sql::Connection& db, std::int64_t id, std::optional<RunState>& was,
                             std::int64_t& first_unfinished, std::int64_t& next_ordinal) {
    auto transaction = sql::Transaction::begin(db);
    if (!transaction) {
        return tl::unexpected(transaction.error());
    }
    auto state = db.query("SELECT state FROM runs WHERE id = ?", id);
    if (!state) {
        return tl::unexpected(state.error());
    }
    auto row = state->step();
    if (!row) {
        return tl::unexpected(row.error());
    }
    if (!*row) {
        return {};
    }
    was = state_named(state->column_text(0));
    state->reset();
    if (*was == RunState::finished) {
        return {};
    }
    auto positions = db.query("SELECT position FROM seeds WHERE run = ? ORDER BY position", id);
    if (!positions) {
        return tl::unexpected(positions.error());
    }
    for (;;) {
        auto next = positions->step();
        if (!next) {
            return tl::unexpected(next.error());
        }
        if (!*next || positions->column_number(0) != first_unfinished) {
            break;
        }
        ++first_unfinished;
    }
    positions->reset();
    // The unfinished seeds' words will be found again when the run goes on.
    auto reset = db.run("DELETE FROM words WHERE run = ? AND seed >= ?", id, first_unfinished)
                     .and_then([&] {
                         return db.run("DELETE FROM seeds WHERE run = ? AND position >= ?", id,
                                       first_unfinished);
                     })
                     .and_then([&] {
                         return db.run(R"sql(
UPDATE runs SET state = 'running', ended_ms = NULL,
seeds_done = (SELECT count(*) FROM seeds WHERE run = ?1),
pc_words = (SELECT count(*) FROM words WHERE run = ?1 AND kind = 0),
arrow_words = (SELECT count(*) FROM words WHERE run = ?1 AND kind = 1),
mobile_words = (SELECT count(*) FROM words WHERE run = ?1 AND kind = 2),
longtail_words = (SELECT count(*) FROM words WHERE run = ?1 AND kind = 3),
related_words = (SELECT count(*) FROM words WHERE run = ?1 AND kind = 4)
WHERE id = ?1)sql",
                                       id);
                     });
    if (!reset) {
        return reset;
    }
    auto last =
        db.query_number("SELECT coalesce(max(ordinal) + 1, 0) FROM words WHERE run = ?", id);
    if (!last) {
        return tl::unexpected(last.error());
    }
    next_ordinal = *last;
    return transaction->commit();
}

}  // namespace

std::string_view state_name(RunState state) {
    return state_names[static_cast<std::size_t>(state)];
}

struct Journal::Impl {
    fs::path file;
    sql::Connection db;

    sql::Result<std::optional<RunInfo>> info(std::int64_t id);
    sql::Result<std::optional<std::string>> token(std::int64_t id);
    void mark_dead_runs(std::vector<std::int64_t>& interrupted);
    void sweep_lock_files();
    tl::expected<platform::FileLock, JournalError> lock_run(std::int64_t id,
                                                            const std::string& token);
    // The lock of a stored run; `what` begins the message of a storage failure.
    tl::expected<platform::FileLock, JournalError> lock_stored_run(std::int64_t id,
                                                                   const std::string& what);
};

sql::Result<std::optional<RunInfo>> Journal::Impl::info(std::int64_t id) {
    auto query = db.query(std::string(info_columns) + "WHERE id = ?", id);
    if (!query) {
        return tl::unexpected(query.error());
    }
    auto row = query->step();
    if (!row) {
        return tl::unexpected(row.error());
    }
    return *row ? std::optional(read_info(*query)) : std::nullopt;
}

sql::Result<std::optional<std::string>> Journal::Impl::token(std::int64_t id) {
    auto query = db.query("SELECT lock_token FROM runs WHERE id = ?", id);
    if (!query) {
        return tl::unexpected(query.error());
    }
    auto row = query->step();
    if (!row) {
        return tl::unexpected(row.error());
    }
    return *row ? std::optional(std::string(query->column_text(0))) : std::nullopt;
}

// A run still "running" whose lock no process holds was left by a process
// that died (its lock went with it) or by a recorder that could no longer write.
void Journal::Impl::mark_dead_runs(std::vector<std::int64_t>& interrupted) {
    std::vector<std::pair<std::int64_t, std::string>> running;
    {
        auto query = db.query("SELECT id, lock_token FROM runs WHERE state = 'running'");
        if (!query) {
            platform::log_warning("journal: cannot list the running runs: " + query.error().text());
            return;
        }
        for (auto row = query->step(); row && *row; row = query->step()) {
            running.emplace_back(query->column_number(0), std::string(query->column_text(1)));
        }
    }
    for (const auto& entry : running) {
        // Named, not bound: a lambda below takes the id.
        const std::int64_t id = entry.first;
        const std::string& token = entry.second;
        platform::FileLock lock;
        const auto state = lock.try_lock(lock_file(file, token));
        if (!state) {
            platform::log_warning("journal: cannot tell whether run " + std::to_string(id) +
                                  " is still going: " + state.error());
            continue;
        }
        if (*state == platform::LockState::held_elsewhere) {
            continue;
        }
        const auto marked = [&]() -> sql::Result<bool> {
            auto transaction = sql::Transaction::begin(db);
            if (!transaction) {
                return tl::unexpected(transaction.error());
            }
            auto done = db.run(
                "UPDATE runs SET state = 'interrupted' WHERE id = ? AND state = 'running'", id);
            if (!done) {
                return tl::unexpected(done.error());
            }
            const bool changed = db.changes() == 1;
            if (auto committed = transaction->commit(); !committed) {
                return tl::unexpected(committed.error());
            }
            return changed;
        }();
        if (!marked) {
            platform::log_warning("journal: cannot mark run " + std::to_string(id) +
                                  " interrupted: " + marked.error().text());
            continue;
        }
        if (*marked) {
            interrupted.push_back(id);
            platform::log_warning("journal: run " + std::to_string(id) +
                                  " is no longer held by a live process; marked interrupted");
        }
        lock.remove_and_release();
    }
}

// Removes the lock files no live process holds and no running run names:
// left by a process that died between storing its run's end and removing
// its file, or before its run's row was written.
void Journal::Impl::sweep_lock_files() {
    std::error_code failed;
    for (const auto& entry : fs::directory_iterator(lock_folder(file), failed)) {
        if (entry.path().extension() != ".lock") {
            continue;
        }
        platform::FileLock lock;
        if (lock.try_lock(entry.path()) != platform::LockState::acquired) {
            continue;
        }
        const auto running =
            db.query_number("SELECT count(*) FROM runs WHERE lock_token = ? AND state = 'running'",
                            platform::utf8_of(entry.path().stem()));
        if (running && *running == 0) {
            lock.remove_and_release();
        }
    }
}

tl::expected<platform::FileLock, JournalError> Journal::Impl::lock_run(std::int64_t id,
                                                                       const std::string& token) {
    if (auto made = platform::make_private_folder(lock_folder(file)); !made) {
        return tl::unexpected(error(Kind::storage_failed, made.error()));
    }
    platform::FileLock lock;
    const auto state = lock.try_lock(lock_file(file, token));
    if (!state) {
        return tl::unexpected(error(Kind::storage_failed, state.error()));
    }
    if (*state == platform::LockState::held_elsewhere) {
        return tl::unexpected(error(
            Kind::run_in_use, "run " + std::to_string(id) + " is being written by a live process"));
    }
    return lock;
}

tl::expected<platform::FileLock, JournalError> Journal::Impl::lock_stored_run(
    std::int64_t id, const std::string& what) {
    auto found = token(id);
    if (!found) {
        return tl::unexpected(storage_error(what, found.error()));
    }
    if (!*found) {
        return tl::unexpected(error(Kind::no_such_run, "there is no run " + std::to_string(id)));
    }
    return lock_run(id, **found);
}

Journal::Journal(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Journal::Journal(Journal&&) noexcept = default;
Journal& Journal::operator=(Journal&&) noexcept = default;
Journal::~Journal() = default;

const fs::path& Journal::path() const {
    return impl_->file;
}

tl::expected<fs::path, JournalError> Journal::default_path() {
    auto folder = platform::user_data_folder();
    if (!folder) {
        return tl::unexpected(error(Kind::cannot_open, folder.error()));
    }
    return *folder / "quorvel.sqlite3";
}

tl::expected<Journal, JournalError> Journal::open(const fs::path& file, OpenNotes* notes) {
    OpenNotes unused;
    OpenNotes& said = notes != nullptr ? *notes : unused;
    said = {};
    const std::string name = platform::utf8_of(file);
    auto cannot_open = [&](const std::string& why) {
        return logged(error(Kind::cannot_open, "cannot open " + name + ": " + why));
    };

    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (auto made = platform::make_private_folder(folder); !made) {
        return cannot_open(made.error());
    }
    auto opened = open_or_start_afresh(file, said.moved_aside);
    if (!opened) {
        return cannot_open(opened.error());
    }
    sql::Connection& db = opened->db;
    const std::int64_t version = opened->version;
    if (version > schema_version) {
        return logged(
            error(Kind::newer_version, name + " was written by a newer Quorvel (journal version " +
                                           std::to_string(version) + "); it is left as it is"));
    }

    const auto mode = use_write_ahead_log(db);
    if (!mode) {
        return cannot_open(mode.error().text());
    }
    if (*mode != "wal") {
        platform::log_warning("journal: " + name + " keeps no write-ahead log here (journal mode " +
                              *mode + "); its readers and writers will wait for each other");
    }
    const auto migrated = migrate(db, schema_steps);
    if (!migrated) {
        if (migrated.error().kind == MigrationError::Kind::newer_version) {
            return logged(error(Kind::newer_version,
                                name + " was written by a newer Quorvel; it is left as it is"));
        }
        return cannot_open("cannot bring it up to date: " + migrated.error().error.text());
    }
    if (*migrated != 0 && *migrated != schema_version) {
        platform::log_info("journal: " + name + " brought from version " +
                           std::to_string(*migrated) + " to " + std::to_string(schema_version));
    }
    if (auto made = platform::make_private_folder(lock_folder(file)); !made) {
        return cannot_open(made.error());
    }

    auto impl = std::make_unique<Impl>();
    impl->file = file;
    impl->db = std::move(db);
    impl->mark_dead_runs(said.interrupted);
    impl->sweep_lock_files();
    return Journal(std::move(impl));
}

tl::expected<std::vector<RunInfo>, JournalError> Journal::runs(SeedText read) const {
    std::string columns(info_columns);
    if (read == SeedText::opening) {
        // substr counts characters of text, so no UTF-8 sequence is cut.
        const std::string whole = ", seed_text,";
        columns.replace(columns.find(whole), whole.size(),
                        ", substr(seed_text, 1, " + std::to_string(seed_text_opening) + "),");
    }
    auto query = impl_->db.prepare(columns + "ORDER BY id DESC");
    if (!query) {
        return tl::unexpected(storage_error("cannot list the runs", query.error()));
    }
    std::vector<RunInfo> runs;
    for (;;) {
        auto row = query->step();
        if (!row) {
            return tl::unexpected(storage_error("cannot list the runs", row.error()));
        }
        if (!*row) {
            return runs;
        }
        runs.push_back(read_info(*query));
    }
}

tl::expected<LoadedRun, JournalError> Journal::load(std::int64_t id) const {
    const std::string what = "cannot load run " + std::to_string(id);
    auto failed = [&](const sql::Error& failure) {
        return tl::unexpected(storage_error(what, failure));
    };
    auto inconsistent = [&](const std::string& why) {
        return tl::unexpected(error(Kind::storage_failed, what + ": " + why));
    };
    // One read transaction: a recorder writing meanwhile is seen whole or not at all.
    auto snapshot = sql::Transaction::begin(impl_->db, sql::Transaction::Lock::read);
    if (!snapshot) {
        return failed(snapshot.error());
    }
    auto info = impl_->info(id);
    if (!info) {
        return failed(info.error());
    }
    if (!*info) {
        return tl::unexpected(error(Kind::no_such_run, "there is no run " + std::to_string(id)));
    }
    LoadedRun run;
    run.info = std::move(**info);
    run.seeds = harvest::split_seeds(run.info.seed_text);

    auto rows = impl_->db.query(
        "SELECT position, pc, arrow, mobile, longtail, related FROM seeds WHERE run = ? "
        "ORDER BY position",
        id);
    if (!rows) {
        return failed(rows.error());
    }
    for (auto row = rows->step(); !row || *row; row = rows->step()) {
        if (!row) {
            return failed(row.error());
        }
        const std::int64_t position = rows->column_number(0);
        if (position < 0 || static_cast<std::size_t>(position) >= run.seeds.size()) {
            return inconsistent("a summary row for seed " + std::to_string(position + 1) + " of " +
                                std::to_string(run.seeds.size()));
        }
        if (static_cast<std::size_t>(position) == run.first_unfinished) {
            ++run.first_unfinished;
        }
        harvest::SeedRow seed_row{run.seeds[static_cast<std::size_t>(position)], {}};
        for (std::size_t kind = 0; kind < seed_row.counts.size(); ++kind) {
            seed_row.counts[kind] =
                static_cast<int>(rows->column_number(1 + static_cast<int>(kind)));
        }
        run.store.add_seed_row(std::move(seed_row));
    }

    auto words = impl_->db.query(
        "SELECT kind, seed, word, count FROM words WHERE run = ? ORDER BY ordinal", id);
    if (!words) {
        return failed(words.error());
    }
    for (auto row = words->step(); !row || *row; row = words->step()) {
        if (!row) {
            return failed(row.error());
        }
        const std::int64_t kind = words->column_number(0);
        const std::int64_t seed = words->column_number(1);
        if (kind < 0 || kind >= static_cast<std::int64_t>(harvest::all_sources.size()) ||
            seed < 0 || static_cast<std::size_t>(seed) >= run.seeds.size()) {
            return inconsistent("a word of kind " + std::to_string(kind) + " for seed " +
                                std::to_string(seed + 1) + " of " +
                                std::to_string(run.seeds.size()));
        }
        run.store.add_word(harvest::all_sources[static_cast<std::size_t>(kind)],
                           run.seeds[static_cast<std::size_t>(seed)],
                           code_page_from_utf8(words->column_text(2)),
                           code_page_from_utf8(words->column_text(3)));
    }
    return run;
}

tl::expected<void, JournalError> Journal::remove(std::int64_t id) {
    const std::string what = "cannot remove run " + std::to_string(id);
    auto lock = impl_->lock_stored_run(id, what);
    if (!lock) {
        return tl::unexpected(lock.error());
    }
    // Its summary rows and words go with it.
    auto removed = impl_->db.run("DELETE FROM runs WHERE id = ?", id);
    if (!removed) {
        return logged(storage_error(what, removed.error()));
    }
    lock->remove_and_release();
    platform::log_info("journal: run " + std::to_string(id) + " removed");
    return {};
}

tl::expected<std::unique_ptr<RunRecorder>, JournalError> Journal::begin_run(
    harvest::KindSet kinds, std::string_view seed_text, ResumeOffer offer, int parallel) {
    const std::string token = new_token();
    auto lock = impl_->lock_run(0, token);
    if (!lock) {
        return logged(error(Kind::storage_failed, "cannot begin a run: " + lock.error().message));
    }
    auto recorder = std::make_unique<RunRecorder::Impl>();
    recorder->lock = std::move(*lock);
    recorder->seeds = harvest::split_seeds(seed_text);
    const auto seeds_total = static_cast<std::int64_t>(recorder->seeds.size());
    const std::string seed_utf8 = utf8_from_code_page(seed_text);
    auto started = recorder->start(
        impl_->file, [&](RunRecorder::Impl& run) -> tl::expected<void, JournalError> {
            auto inserted = run.db.run(
                "INSERT INTO runs (started_ms, state, kinds, seed_text, seeds_total, lock_token, "
                "offer_resume, parallel) VALUES (?, 'running', ?, ?, ?, ?, ?, ?)",
                unix_ms_now(), std::int64_t{kinds.bits()}, seed_utf8, seeds_total, token,
                std::int64_t{offer == ResumeOffer::at_next_start}, std::int64_t{parallel});
            if (!inserted) {
                return tl::unexpected(storage_error("cannot begin a run", inserted.error()));
            }
            run.run_id = run.db.last_insert_id();
            return {};
        });
    if (!started) {
        recorder->lock.remove_and_release();
        return logged(started.error());
    }
    return std::unique_ptr<RunRecorder>(new RunRecorder(std::move(recorder)));
}

tl::expected<std::pair<LoadedRun, std::unique_ptr<RunRecorder>>, JournalError> Journal::resume_run(
    std::int64_t id, ResumeOffer offer, int parallel) {
    const std::string what = "cannot continue run " + std::to_string(id);
    auto lock = impl_->lock_stored_run(id, what);
    if (!lock) {
        return tl::unexpected(lock.error());
    }
    auto recorder = std::make_unique<RunRecorder::Impl>();
    recorder->lock = std::move(*lock);
    recorder->run_id = id;
    // With the lock held no one else writes the run; its state is read
    // again, as it may have finished since it was looked up.
    std::optional<RunState> was;
    std::int64_t first_unfinished = 0;
    auto started = recorder->start(
        impl_->file, [&](RunRecorder::Impl& run) -> tl::expected<void, JournalError> {
            if (auto reopened = reopen_run(run.db, id, was, first_unfinished, run.next_ordinal);
                !reopened) {
                return tl::unexpected(storage_error(what, reopened.error()));
            }
            if (!was) {
                return tl::unexpected(
                    error(Kind::no_such_run, "there is no run " + std::to_string(id)));
            }
            if (*was == RunState::finished) {
                return tl::unexpected(error(
                    Kind::not_resumable,
                    "run " + std::to_string(id) + " finished; there is nothing left to harvest"));
            }
            if (auto marked = run.db.run(
                    "UPDATE runs SET offer_resume = ?, parallel = ? WHERE id = ?",
                    std::int64_t{offer == ResumeOffer::at_next_start}, std::int64_t{parallel}, id);
                !marked) {
                return tl::unexpected(storage_error(what, marked.error()));
            }
            return {};
        });
    if (!started) {
        recorder->lock.remove_and_release();
        if (started.error().kind == Kind::storage_failed) {
            return logged(started.error());
        }
        return tl::unexpected(started.error());
    }
    if (*was == RunState::running) {
        platform::log_warning("journal: run " + std::to_string(id) +
                              " is no longer held by a live process; continuing it");
    }
    auto loaded = load(id);
    if (!loaded) {
        return logged(loaded.error());
    }
    recorder->seeds = loaded->seeds;
    platform::log_info("journal: run " + std::to_string(id) + " continues at seed " +
                       std::to_string(first_unfinished + 1) + " of " +
                       std::to_string(loaded->seeds.size()));
    return std::pair{std::move(*loaded),
                     std::unique_ptr<RunRecorder>(new RunRecorder(std::move(recorder)))};
}

tl::expected<std::optional<RunInfo>, JournalError> Journal::run_to_offer() const {
    const std::string what = "cannot look for a run to continue";
    auto query = impl_->db.query(std::string(info_columns) +
                                 "WHERE state = 'interrupted' AND offer_resume = 1 "
                                 "ORDER BY id DESC LIMIT 1");
    if (!query) {
        return tl::unexpected(storage_error(what, query.error()));
    }
    auto row = query->step();
    if (!row) {
        return tl::unexpected(storage_error(what, row.error()));
    }
    if (!*row) {
        return std::optional<RunInfo>();
    }
    return std::optional<RunInfo>(read_info(*query));
}

tl::expected<void, JournalError> Journal::offered(std::int64_t id) {
    if (auto cleared = impl_->db.run("UPDATE runs SET offer_resume = 0 WHERE id = ?", id);
        !cleared) {
        return logged(storage_error("cannot note that run " + std::to_string(id) + " was offered",
                                    cleared.error()));
    }
    return {};
}

}  // namespace quorvel::journal
