#include "cli/commands.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/headless_window.h"
#include "cli/output.h"
#include "cli/progress.h"
#include "cli/seeds.h"
#include "cli/session.h"
#include "cli/system.h"
#include "harvest/connection_check.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/code_page.h"
#include "platform/http_transport.h"
#include "platform/log.h"
#include "platform/utf8_path.h"
#include "research/roots.h"
#include "research/word_table.h"

namespace quorvel::cli {
namespace {

using journal::Journal;
using journal::JournalError;

void say(std::FILE* to, const std::string& line) {
    write_text(to, "quorvel-cli: " + line + "\n");
}

// printf-style text, for the columns of the run list.
template <typename... Values>
std::string formatted(const char* format, Values... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

int usage(const Console& console, const std::string& message) {
    say(console.err, message);
    return exit_status::usage;
}

// The network settings of a run: an extra trusted CA file, and hosts sent
// to given addresses.
std::optional<std::string> apply_network(const Invocation& in) {
    if (in.cacert) {
        const std::filesystem::path file = platform::path_from_utf8(*in.cacert);
        std::error_code ignored;
        if (!std::filesystem::is_regular_file(file, ignored) ||
            !std::ifstream(file, std::ios::binary).is_open()) {
            return "cannot read the CA file " + *in.cacert;
        }
        platform::set_extra_ca_file(*in.cacert);
    }
    std::vector<platform::ResolveEntry> entries;
    for (const std::string& text : in.resolve) {
        auto entry = platform::parse_resolve_entry(text);
        if (!entry) {
            return "--resolve: " + entry.error();
        }
        entries.push_back(*entry);
    }
    platform::set_resolve_entries(entries);
    return std::nullopt;
}

// The journal as a run uses it: opened unless --no-db, its trouble said
// once, after which the run goes on in memory.
class Storage {
  public:
    Storage(const Invocation& in, const Console& console) : in_(in), console_(console) {}

    // Opens the journal; false when there is none to use (said already).
    bool open() {
        if (in_.no_db) {
            return false;
        }
        std::filesystem::path path;
        if (in_.db) {
            path = platform::path_from_utf8(*in_.db);
        } else {
            auto found = Journal::default_path();
            if (!found) {
                fail(found.error());
                return false;
            }
            path = *found;
        }
        journal::OpenNotes notes;
        auto opened = Journal::open(path, &notes);
        if (!opened) {
            fail(opened.error());
            return false;
        }
        if (notes.moved_aside) {
            say(console_.err,
                platform::utf8_of(path) + " was not a database; it was moved aside to " +
                    platform::utf8_of(*notes.moved_aside) + " and a new journal started");
        }
        journal_.emplace(std::move(*opened));
        return true;
    }

    Journal* journal() { return journal_ ? &*journal_ : nullptr; }

    // Says once that the journal cannot be written; the run goes on.
    void fail(const JournalError& error) {
        if (failed_) {
            return;
        }
        failed_ = true;
        platform::log_warning("journal: " + error.message);
        say(console_.err,
            "the journal cannot be written (" + error.message + "); the run goes on in memory");
    }
    bool failed() const { return failed_; }

    // "quorvel-cli resume N" with the journal option that finds N again.
    std::string resume_hint(std::int64_t run) const {
        std::string hint = "quorvel-cli resume " + std::to_string(run);
        if (in_.db) {
            hint += " --db " + *in_.db;
        }
        return hint;
    }

  private:
    const Invocation& in_;
    const Console& console_;
    std::optional<Journal> journal_;
    bool failed_ = false;
};

// Runs the harvest the window would run over these seeds and kinds, with
// the progress on standard error, and writes the words where asked.
int harvest_and_write(const Invocation& in, const Console& console, Storage& storage,
                      const OutputTarget& target, HeadlessWindow& window,
                      harvest::HarvestStore& store, std::size_t first_seed,
                      journal::RunRecorder* recorder) {
    const bool line = in.progress.value_or(is_terminal(console.err)) && !in.quiet;
    Progress progress({.line = line, .failures = !in.quiet, .out = console.err});
    harvest::ObserverList observers;
    observers.add(progress);
    if (recorder != nullptr) {
        recorder->on_failure([&](const JournalError& error) {
            progress.clear_line();
            storage.fail(error);
        });
        observers.add(*recorder);
    }
    // There is no browser here to pass a check page in: its address is
    // printed and the run stops, to be continued once the check is passed.
    bool stopped_at_check = false;
    const auto on_check = [&](const harvest::VerificationPage& page) {
        progress.clear_line();
        say(console.err, "the marketplace shows a verification page instead of " +
                             std::string(harvest::info(harvest::source_of(page.kind)).short_name) +
                             " words (seed \"" +
                             platform::convert_code_page(page.seed, platform::code_page_gbk,
                                                         platform::code_page_utf8) +
                             "\"): " + page.url +
                             "; pass it in a browser or the window, then continue the run");
        stopped_at_check = true;
        return harvest::VerificationAnswer::stop;
    };
    const harvest::RunEnd end =
        harvest::run_harvest(window, store,
                             {.stop = console.stop,
                              .observer = &observers,
                              .first_seed = first_seed,
                              .interval = std::chrono::milliseconds(in.interval_ms),
                              .on_verification = on_check,
                              .parallel = in.parallel});
    progress.clear_line();

    std::optional<std::int64_t> run_id;
    if (recorder != nullptr) {
        run_id = recorder->run_id();
    }
    bool output_failed = false;
    if (auto written = write_output(target, store, {.run_id = run_id, .dedup = in.dedup});
        !written) {
        say(console.err, written.error());
        output_failed = true;
    }

    const std::size_t seeds = harvest::split_seeds(window.read_text(harvest::seed_box)).size();
    const std::string tally =
        std::to_string(progress.seeds_done()) + " of " + std::to_string(seeds) + " seeds, " +
        std::to_string(progress.words()) + " words, " + std::to_string(progress.requests()) +
        " requests, " + std::to_string(progress.failures()) + " failed" +
        (run_id ? " (run " + std::to_string(*run_id) + ")" : "");
    if (end == harvest::RunEnd::stopped) {
        say(console.err, "stopped after " + tally);
        if (run_id && !storage.failed()) {
            say(console.err, "to continue: " + storage.resume_hint(*run_id));
        } else {
            say(console.err, "the run was not kept in a journal, so it cannot be continued");
        }
        return stopped_at_check && !console.stop.stop_requested()
                   ? exit_status::some_requests_failed
                   : exit_status::stopped_by_signal;
    }
    if (!in.quiet) {
        say(console.err, "finished: " + tally);
    }
    if (output_failed || storage.failed()) {
        return exit_status::storage;
    }
    return progress.failures() > 0 ? exit_status::some_requests_failed : exit_status::ok;
}

// The network settings and the session applied before the first request;
// the usage status when either is unusable.
std::optional<int> prepare_network(const Invocation& in, const Console& console) {
    if (auto trouble = apply_network(in)) {
        return usage(console, *trouble);
    }
    // The session's cookies are in the store before the first request.
    const SessionOutcome session = load_session(in);
    if (session.error) {
        return usage(console, *session.error);
    }
    if (session.notice && !in.quiet) {
        say(console.err, *session.notice);
    }
    return std::nullopt;
}

// The network and the session prepared, and what the run will write to,
// checked before the first request; nothing, with the exit status set, when
// any is unusable.
std::optional<OutputTarget> prepare_run(const Invocation& in, const Console& console, int& status) {
    if (auto trouble = prepare_network(in, console)) {
        status = *trouble;
        return std::nullopt;
    }
    auto target = choose_output(in.output, in.format);
    if (!target) {
        status = usage(console, target.error());
        return std::nullopt;
    }
    if (auto writable = check_writable(*target); !writable) {
        say(console.err, writable.error());
        status = exit_status::storage;
        return std::nullopt;
    }
    return *target;
}

int harvest_command(const Invocation& in, const Console& console) {
    auto seed_text = in.input ? seed_text_from_file(*in.input) : seed_text_from_arguments(in.seeds);
    if (!seed_text) {
        return usage(console, seed_text.error());
    }
    if (harvest::split_seeds(*seed_text).empty()) {
        return usage(console, "no seeds: give SEED arguments, or -i FILE with one per line");
    }
    harvest::KindSet kinds = harvest::KindSet::all();
    if (in.kinds) {
        auto parsed = parse_kinds(*in.kinds);
        if (!parsed) {
            return usage(console, parsed.error());
        }
        kinds = *parsed;
    }
    int status = exit_status::ok;
    const auto target = prepare_run(in, console, status);
    if (!target) {
        return status;
    }

    Storage storage(in, console);
    std::unique_ptr<journal::RunRecorder> recorder;
    if (storage.open()) {
        auto begun = storage.journal()->begin_run(kinds, *seed_text, journal::ResumeOffer::none,
                                                  in.parallel);
        if (begun) {
            recorder = std::move(*begun);
        } else {
            storage.fail(begun.error());
        }
    }
    HeadlessWindow window(kinds, *seed_text);
    harvest::HarvestStore store;
    return harvest_and_write(in, console, storage, *target, window, store, 0, recorder.get());
}

int resume_command(const Invocation& in, const Console& console) {
    int status = exit_status::ok;
    const auto target = prepare_run(in, console, status);
    if (!target) {
        return status;
    }
    Storage storage(in, console);
    if (!storage.open()) {
        return exit_status::storage;
    }
    auto resumed = storage.journal()->resume_run(in.run, journal::ResumeOffer::none, in.parallel);
    if (!resumed) {
        const JournalError& error = resumed.error();
        if (error.kind == JournalError::Kind::storage_failed ||
            error.kind == JournalError::Kind::cannot_open) {
            say(console.err, error.message);
            return exit_status::storage;
        }
        return usage(console, error.message);
    }
    journal::LoadedRun& run = resumed->first;
    std::unique_ptr<journal::RunRecorder> recorder = std::move(resumed->second);
    HeadlessWindow window(run.info.kinds, run.info.seed_text);
    // The boxes hold what the finished seeds found, so the summary counts go on.
    for (harvest::KeywordSource source : harvest::all_sources) {
        for (const harvest::WordRow& row : run.store.word_rows(source)) {
            window.append_text(harvest::info(source).result_box, row.word + "\r\n");
        }
    }
    if (!in.quiet) {
        say(console.err, "continuing run " + std::to_string(in.run) + " at seed " +
                             std::to_string(run.first_unfinished + 1) + " of " +
                             std::to_string(run.seeds.size()));
    }
    return harvest_and_write(in, console, storage, *target, window, run.store, run.first_unfinished,
                             recorder.get());
}

std::string local_time_text(std::int64_t unix_ms, bool iso) {
    const LocalTime local = local_time(static_cast<std::time_t>(unix_ms / 1000));
    char text[64];
    if (!iso) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local.fields);
        return text;
    }
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local.fields);
    // The offset as +08:00; not through %z, which some C runtimes write as the zone's name.
    const long offset = local.utc_offset_seconds;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    return text + formatted("%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

int runs_command(const Invocation& in, const Console& console) {
    Storage storage(in, console);
    if (!storage.open()) {
        return exit_status::storage;
    }
    auto runs = storage.journal()->runs(journal::Journal::SeedText::opening);
    if (!runs) {
        say(console.err, runs.error().message);
        return exit_status::storage;
    }
    if (in.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const journal::RunInfo& run : *runs) {
            nlohmann::ordered_json item;
            item["id"] = run.id;
            item["started"] = local_time_text(run.started_ms, true);
            item["ended"] = run.ended_ms
                                ? nlohmann::ordered_json(local_time_text(*run.ended_ms, true))
                                : nlohmann::ordered_json(nullptr);
            item["state"] = journal::state_name(run.state);
            nlohmann::ordered_json kinds = nlohmann::ordered_json::array();
            nlohmann::ordered_json words = nlohmann::ordered_json::object();
            for (harvest::KeywordSource source : harvest::all_sources) {
                if (run.kinds.has(source)) {
                    kinds.push_back(harvest::info(source).short_name);
                }
                words[std::string(harvest::info(source).short_name)] =
                    run.words[harvest::index_of(source)];
            }
            item["kinds"] = kinds;
            item["seeds_done"] = run.seeds_done;
            item["seeds_total"] = run.seeds_total;
            item["words"] = words;
            item["parallel"] = run.parallel;
            list.push_back(item);
        }
        write_text(
            console.out,
            list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
        return exit_status::ok;
    }
    std::string table =
        formatted("%6s  %-16s  %-11s  %11s  %8s %8s %8s %8s %8s\n", "RUN", "STARTED", "STATE",
                  "SEEDS", "PC", "ARROW", "MOBILE", "LONGTAIL", "RELATED");
    for (const journal::RunInfo& run : *runs) {
        const std::string seeds =
            std::to_string(run.seeds_done) + "/" + std::to_string(run.seeds_total);
        table += formatted("%6lld  %-16s  %-11s  %11s", static_cast<long long>(run.id),
                           local_time_text(run.started_ms, false).c_str(),
                           std::string(journal::state_name(run.state)).c_str(), seeds.c_str());
        for (harvest::KeywordSource source : harvest::all_sources) {
            if (run.kinds.has(source)) {
                table += formatted(" %8lld",
                                   static_cast<long long>(run.words[harvest::index_of(source)]));
            } else {
                table += formatted(" %8s", "-");
            }
        }
        table += "\n";
    }
    write_text(console.out, table);
    return exit_status::ok;
}

// Where a command that writes a kept run writes it, and the run RUN.
struct RunOutput {
    OutputTarget target;
    journal::LoadedRun run;
};

// The output the options ask for and the run RUN from the journal, the
// output checked writable once the run is found; the exit status when
// either cannot be had (said).
tl::expected<RunOutput, int> load_run(const Invocation& in, const Console& console) {
    auto target = choose_output(in.output, in.format);
    if (!target) {
        return tl::unexpected(usage(console, target.error()));
    }
    Storage storage(in, console);
    if (!storage.open()) {
        return tl::unexpected(exit_status::storage);
    }
    auto run = storage.journal()->load(in.run);
    if (!run) {
        if (run.error().kind == JournalError::Kind::no_such_run) {
            return tl::unexpected(usage(console, run.error().message));
        }
        say(console.err, run.error().message);
        return tl::unexpected(exit_status::storage);
    }
    if (auto writable = check_writable(*target); !writable) {
        say(console.err, writable.error());
        return tl::unexpected(exit_status::storage);
    }
    return RunOutput{std::move(*target), std::move(*run)};
}

// What `written` says when it failed, and the exit status.
int finish_output(const Console& console, const tl::expected<void, std::string>& written) {
    if (!written) {
        say(console.err, written.error());
        return exit_status::storage;
    }
    return exit_status::ok;
}

int export_command(const Invocation& in, const Console& console) {
    const auto loaded = load_run(in, console);
    if (!loaded) {
        return loaded.error();
    }
    return finish_output(
        console,
        write_output(loaded->target, loaded->run.store,
                     {.run_id = in.run, .dedup = in.dedup, .with_counts = in.with_counts}));
}

research::Column sort_column(SortKey key) {
    switch (key) {
        case SortKey::count:
            return research::Column::times;
        case SortKey::seeds:
            return research::Column::seeds;
        case SortKey::word:
            return research::Column::word;
        case SortKey::results:
            break;
    }
    return research::Column::results;
}

// The run's word table, filtered and sorted as asked.
int words_command(const Invocation& in, const Console& console) {
    const auto loaded = load_run(in, console);
    if (!loaded) {
        return loaded.error();
    }
    const research::WordTable table = research::WordTable::build(loaded->run.store);
    const std::vector<std::uint32_t> rows =
        research::shown_rows(table, research::WordFilter::from_text(in.include, in.exclude),
                             research::first_order(sort_column(in.sort)));
    return finish_output(console, write_words(loaded->target, table, rows));
}

// The roots of the run's words; status 1 where this system cannot cut words.
int roots_command(const Invocation& in, const Console& console) {
    const auto loaded = load_run(in, console);
    if (!loaded) {
        return loaded.error();
    }
    const auto roots = research::build_roots(research::WordTable::build(loaded->run.store));
    if (!roots) {
        say(console.err, roots.error());
        return exit_status::failed;
    }
    return finish_output(console, write_roots(loaded->target, *roots));
}

// One request of each kind for the check's seed, and a line per kind on
// standard output.
int doctor_command(const Invocation& in, const Console& console) {
    if (auto trouble = prepare_network(in, console)) {
        return *trouble;
    }
    bool all_answered = true;
    for (const harvest::KindCheck& check : harvest::check_connection({}, console.stop)) {
        write_text(console.out, harvest::check_line(check) + "\n");
        all_answered = all_answered && check.result == harvest::CheckResult::answered;
    }
    if (console.stop.stop_requested()) {
        return exit_status::stopped_by_signal;
    }
    return all_answered ? exit_status::ok : exit_status::failed;
}

}  // namespace

int run_command(const Invocation& invocation, const Console& console) {
    switch (invocation.command) {
        case Command::harvest:
            return harvest_command(invocation, console);
        case Command::resume:
            return resume_command(invocation, console);
        case Command::runs:
            return runs_command(invocation, console);
        case Command::export_run:
            return export_command(invocation, console);
        case Command::words:
            return words_command(invocation, console);
        case Command::roots:
            return roots_command(invocation, console);
        case Command::session_import:
        case Command::session_show:
        case Command::session_clear:
            return session_command(invocation, console);
        case Command::doctor:
            return doctor_command(invocation, console);
    }
    return exit_status::usage;
}

}  // namespace quorvel::cli
