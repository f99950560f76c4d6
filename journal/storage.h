#pragma once
// What the journal and its recorders share: how a connection is set up,
// where a run's lock file lives, the text and time conversions at the
// database boundary, and the recorder's inner state.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
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

// The recorder's two halves. The harvest's thread buffers a reply's words
// and hands them over as one batch; the recorder's writer thread stores the
// batches in order on the recorder's own connection, each whole in one
// transaction, so the harvest never waits for the disk or for another
// process's transaction.
struct RunRecorder::Impl {
    // A word of a batch; its text and count text (UTF-8) lie in the batch's text.
    struct PendingWord {
        std::int64_t kind = 0;
        std::int64_t seed = 0;
        std::size_t word_size = 0;
        std::size_t count_size = 0;  // none is stored as NULL
    };
    struct SeedRowData {
        std::int64_t position = 0;
        KindCounts counts{};
    };
    // What one transaction stores.
    struct Batch {
        std::string what;  // for the failure's message: "the words of a reply", ...
        std::vector<PendingWord> words;
        std::string text;  // each word's text and count text, in order
        KindCounts counts{};
        std::optional<SeedRowData> seed_row;
        std::optional<std::string> seed_text;  // UTF-8, with the seed list's length
        std::int64_t seeds_total = 0;
        std::optional<std::string_view> end_state;
        bool clear_offer = false;  // the run ended: it is not offered for continuing
    };

    // What a run needs done on the recorder's connection before the harvest
    // starts telling: its row inserted, or a stored run made ready to go on.
    using Setup = std::function<tl::expected<void, JournalError>(Impl&)>;

    ~Impl();
    // Starts the writer thread, which opens the recorder's own connection to
    // `file`, prepares its statements and runs `setup`; returns once that is
    // done, with what came of it. Everything SQLite allocates for the
    // recorder thus belongs to the writer's thread, away from the harvest's
    // memory. After a failure the writer has ended.
    tl::expected<void, JournalError> start(const std::filesystem::path& file, Setup setup);

    // The harvest's thread.
    Batch take_pending(std::string what);
    // After a write failed, only a batch `even_after_failure` is taken.
    void submit(Batch batch, bool even_after_failure = false);
    // Returns once every batch handed over is stored, or a write failed.
    void wait_until_stored();
    // Takes the writer's failure, if any, telling the handler the first time.
    void take_failure(bool tell_handler);

    // The writer's thread.
    tl::expected<void, JournalError> open(const std::filesystem::path& file, const Setup& setup);
    void write_batches();
    sql::Result<void> store(const std::vector<Batch>& batches);
    sql::Result<void> store(const Batch& batch);

    // Set before the writer starts or by its setup, then read only.
    std::int64_t run_id = 0;

    // Used by the harvest's thread alone.
    platform::FileLock lock;
    std::vector<std::string> seeds;  // code-page text, as stored
    std::vector<PendingWord> pending;
    std::string pending_text;
    std::string converted;  // reused for each conversion
    KindCounts pending_counts{};
    std::optional<JournalError> failure;
    std::function<void(const JournalError&)> failure_handler;
    bool ended = false;

    // Used by the writer's thread alone.
    sql::Connection db;
    sql::Statement insert_word;
    sql::Statement insert_seed;
    sql::Statement add_counts;
    sql::Statement end_run;
    sql::Statement set_seeds;
    sql::Statement clear_offer;
    std::int64_t next_ordinal = 0;

    // Shared, under the mutex.
    std::mutex mutex;
    std::condition_variable wake;  // a batch is waiting, or the writer is to quit
    std::condition_variable idle;  // the writer stored all it was given
    std::deque<Batch> queue;
    bool writing = false;
    bool quit = false;
    // The writer waits with nothing in hand: the next batch wakes it. Batches
    // handed over while it waits out the interval do not, as it will take
    // them all when the interval ends.
    bool writer_idle = false;
    std::optional<JournalError> written_failure;
    std::atomic<bool> failed{false};
    std::thread writer;
};

}  // namespace quorvel::journal
