#pragma once
// The journal of runs: every harvest kept in SQLite as it happens, so that a
// crash, a killed process or a closed window loses at most the replies in
// hand: each reply is stored whole, in order, once it has been processed and
// before the next one is.
// One database file is shared by the window and the command line (each
// process, and each run, with connections of its own). Text in and out of
// this API is code-page text; the database holds UTF-8.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <utility>
#include <vector>

#include "harvest/harvest_store.h"
#include "harvest/keyword_source.h"
#include "harvest/observer.h"

namespace quorvel::journal {

enum class RunState { running, finished, stopped, interrupted };

// "running", "finished", "stopped" or "interrupted".
std::string_view state_name(RunState state);

// A number per kind of word, in source order.
using KindCounts = std::array<std::int64_t, harvest::all_sources.size()>;

struct RunInfo {
    std::int64_t id = 0;
    std::int64_t started_ms = 0;  // Unix time in milliseconds
    std::optional<std::int64_t> ended_ms;
    RunState state = RunState::running;
    harvest::KindSet kinds;
    std::string seed_text;  // the seed box's text as typed, lines joined by CR LF
    std::size_t seeds_total = 0;
    std::size_t seeds_done = 0;  // seeds with a summary row
    KindCounts words{};          // stored words per kind
    int parallel = 1;            // requests in flight at once, as last started
};

// A run read back.
struct LoadedRun {
    RunInfo info;
    std::vector<std::string> seeds;  // the seed list, as the harvest splits seed_text
    // Every summary row and every stored word, in recording order: exactly
    // what the harvest's store held for the run.
    harvest::HarvestStore store;
    // The first seed without a summary row: where a continued run starts.
    std::size_t first_unfinished = 0;
};

struct JournalError {
    enum class Kind {
        cannot_open,     // the file or its folder cannot be opened or created
        newer_version,   // written by a newer Quorvel: left as it is
        storage_failed,  // a read or write failed (disk full, I/O error, ...)
        no_such_run,
        run_in_use,     // another live process is writing the run
        not_resumable,  // the run finished
    };
    Kind kind = Kind::storage_failed;
    std::string message;  // English, for the terminal and the log
};

// What opening did besides opening; worth saying once to the user.
struct OpenNotes {
    // A file that was not a database, moved aside to this path.
    std::optional<std::filesystem::path> moved_aside;
    // Runs whose process had died, now marked interrupted.
    std::vector<std::int64_t> interrupted;
};

class RunRecorder;

// Whether the window offers to continue a run at its next start, should the
// process writing it die. A run that ends (finished or stopped) is not offered.
enum class ResumeOffer { none, at_next_start };

// One open journal file. Use it from one thread at a time; each recorder it
// makes has a connection of its own and belongs to the harvest's thread.
class Journal {
  public:
    // $XDG_DATA_HOME/quorvel/quorvel.sqlite3 (~/.local/share/quorvel/ when unset).
    static tl::expected<std::filesystem::path, JournalError> default_path();

    // Opens the journal, creating the file (and its folder, private to the
    // user) or bringing an older schema up to date. A file that is not a
    // database is moved aside as "<name>.corrupt-<YYYYMMDD-HHMMSS>" and a
    // fresh one started; nothing is deleted. Runs left "running" by a
    // process that has died are marked interrupted.
    static tl::expected<Journal, JournalError> open(const std::filesystem::path& file,
                                                    OpenNotes* notes = nullptr);

    Journal(Journal&&) noexcept;
    Journal& operator=(Journal&&) noexcept;
    ~Journal();

    const std::filesystem::path& path() const;

    // How much of each run's seed text a listing reads: a run may hold
    // thousands of seeds, and a list shows only the first few.
    enum class SeedText { whole, opening };
    // The opening's length in characters: enough for the first lines.
    static constexpr int seed_text_opening = 400;

    // Every run, newest first; with SeedText::opening each seed_text is only
    // its first seed_text_opening characters.
    tl::expected<std::vector<RunInfo>, JournalError> runs(SeedText read = SeedText::whole) const;
    tl::expected<LoadedRun, JournalError> load(std::int64_t id) const;
    // Deletes a run with everything it found; not one that a live process writes.
    tl::expected<void, JournalError> remove(std::int64_t id);

    // Starts recording a new run (state running) of these kinds over this
    // seed text, made with `parallel` requests in flight at once. The
    // recorder is the harvest's observer.
    tl::expected<std::unique_ptr<RunRecorder>, JournalError> begin_run(
        harvest::KindSet kinds, std::string_view seed_text, ResumeOffer offer = ResumeOffer::none,
        int parallel = 1);

    // Continues a stopped or interrupted run: drops the words of its
    // unfinished seeds, marks it running again and returns it as stored,
    // with the recorder that goes on from its first unfinished seed. The run
    // records `parallel` as its number of requests in flight from now on.
    tl::expected<std::pair<LoadedRun, std::unique_ptr<RunRecorder>>, JournalError> resume_run(
        std::int64_t id, ResumeOffer offer = ResumeOffer::none, int parallel = 1);

    // The newest interrupted run begun or continued with ResumeOffer::at_next_start
    // and not offered since, if any; never a finished or stopped one.
    tl::expected<std::optional<RunInfo>, JournalError> run_to_offer() const;
    // The run has been offered: run_to_offer passes it over from now on.
    tl::expected<void, JournalError> offered(std::int64_t id);

  private:
    struct Impl;
    explicit Journal(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Records one run as the harvest tells it: the words of each reply in one
// transaction once the reply has been processed, each summary row, and the
// run's end. The transactions are written in order by a thread of the
// recorder's own, while the harvest waits for its next request; before the
// next reply is processed, the ones before it are stored, so a killed
// process loses no more than the replies in hand. run_ended returns once
// all is stored. While it exists it holds the run's lock, so no other
// process takes the run for dead; it lets the lock go once the run's end is
// stored. One destroyed before the run's end marks the run interrupted. When
// a write fails it writes no more, keeps the error, tells the failure handler
// once, and lets the harvest go on; the run is then found interrupted the
// next time the journal is opened. The run's end, even after a failure,
// withdraws its ResumeOffer.
class RunRecorder : public harvest::HarvestObserver {
  public:
    ~RunRecorder() override;

    std::int64_t run_id() const;
    // The first storage failure, if any.
    const std::optional<JournalError>& failure() const;
    // Called once, on the harvest's thread, at the recorder's first call
    // after a write failed (at the latest when the run ends).
    void on_failure(std::function<void(const JournalError&)> handler);
    // Returns once everything told so far is stored, or a write has failed.
    // From the harvest's thread, or once the harvest is over.
    void flush();

    // Keeps the harvest's seed list should it differ from the seed text the
    // run was begun with, so that stored seed positions always name the
    // right seeds.
    void run_started(const std::vector<std::string>& seeds, std::size_t first_seed) override;
    void word_recorded(harvest::KeywordSource source, std::size_t seed_index,
                       const std::string& seed, const std::string& word,
                       const std::string& count) override;
    void request_done(harvest::RequestKind kind, const std::string& seed,
                      const platform::ExchangeOutcome& outcome) override;
    void reply_processed(harvest::RequestKind kind) override;
    void seed_finished(std::size_t index, const harvest::SeedRow& row) override;
    void run_ended(harvest::RunEnd end) override;

  private:
    friend class Journal;
    struct Impl;
    explicit RunRecorder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel::journal
