#include "cli/command_line.h"
#include "cli/system.h"

#include <CLI/CLI.hpp>
#include <array>
#include <charconv>
#include <optional>
#include <vector>

#include "harvest/harvest_run.h"
#include "platform/version.h"

namespace quorvel::cli {
namespace {

constexpr const char* program = "quorvel-cli";

constexpr const char* description =
    "Harvests the related keywords of the Taobao marketplace for seed keywords, as the\n"
    "Quorvel window does: PC drop-down suggestions (pc), their arrow refinements (arrow),\n"
    "mobile drop-down suggestions (mobile), long-tail words (longtail) and the related\n"
    "searches of the results page (related). Every run is kept in a journal as it\n"
    "happens, so a stopped or interrupted run can be continued, written again, and\n"
    "researched: one row per distinct word (words) and the terms they share (roots).";

constexpr std::string_view exit_statuses =
    "Exit status: 0 finished with no failure; 1 finished, but some requests failed, or\n"
    "stopped at the marketplace's verification page; 2 bad usage or input (nothing was\n"
    "requested); 3 the output or the journal could not be written; 130 stopped by a signal.\n"
    "The session commands: 0 done; 1 the text was refused, or a file could not be read or\n"
    "written; 2 bad usage.\n"
    "doctor: 0 every kind answered; 1 some kind did not; 2 bad usage.\n"
    "roots: 1 also when this system has no word breaker (ICU) to cut the words with.\n";

constexpr const char* session_description =
    "The signed-in session the runs use, kept in the session file. Bring it from the\n"
    "browser you are signed in with: export its cookies as a cookies.txt (Netscape format),\n"
    "or copy the Cookie request header from its developer tools (F12, Network, any request\n"
    "to taobao.com, Request Headers, Cookie). Only the cookies of taobao.com and tmall.com\n"
    "are taken, each for its own domain; a copied header has no domain, and is taken as\n"
    "taobao.com's, the site its request went to.";

// The exit statuses, then where the journal and the session are on this system.
std::string footer() {
    return std::string(exit_statuses) + std::string(data_folder_help());
}

void add_output_options(CLI::App& command, Invocation& in) {
    command
        .add_option("-o,--output", in.output,
                    "Write the words to FILE (\"-\": standard output); without it, text goes "
                    "to standard output")
        ->type_name("FILE");
    command
        .add_option("-f,--format", in.format,
                    "xlsx, csv, jsonl or text; by default from FILE's extension (.xlsx .csv "
                    ".jsonl .txt)")
        ->type_name("FORMAT");
    command.add_flag("--dedup", in.dedup,
                     "Keep only the first occurrence of each word (first in export order)");
}

// Where words and roots write their table.
void add_table_output_options(CLI::App& command, Invocation& in) {
    command
        .add_option("-o,--output", in.output,
                    "Write the table to FILE (\"-\": standard output); without it, text (tab-"
                    "separated, a header line first) goes to standard output")
        ->type_name("FILE");
    command
        .add_option("-f,--format", in.format,
                    "xlsx, csv, jsonl or text; by default from FILE's extension (.xlsx .csv "
                    ".jsonl .txt)")
        ->type_name("FORMAT");
}

// How requests reach the marketplace, and with which session.
void add_network_options(CLI::App& command, Invocation& in) {
    command
        .add_option("--cacert", in.cacert,
                    "Trust the certificates in FILE as well as the system's (for networks that "
                    "intercept TLS)")
        ->type_name("FILE");
    command
        .add_option("--resolve", in.resolve,
                    "Send HOST's requests on PORT to ADDRESS, as curl's option does (repeatable)")
        ->type_name("HOST:PORT:ADDR");
    command
        .add_option("--cookies", in.cookies,
                    "Sign in with FILE's taobao.com and tmall.com cookies (a Netscape cookies.txt, "
                    "as browsers export it) instead of the session file")
        ->type_name("FILE");
    command.add_flag("--no-cookies", in.no_cookies,
                     "Run without a signed-in session: no cookie file at all");
}

void add_run_options(CLI::App& command, Invocation& in, std::optional<std::string>& interval,
                     std::optional<std::string>& parallel) {
    command.add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");
    command.add_flag("--no-db", in.no_db, "Keep the run in memory only, not in a journal");
    command
        .add_option("--interval", interval,
                    "Least time between the starts of two requests, in milliseconds (default 0)")
        ->type_name("MS");
    command
        .add_option("--parallel", parallel,
                    "Keep up to N requests in flight at once (1 to " +
                        std::to_string(harvest::max_parallel) +
                        ", default 1); the words are the same as one at a time")
        ->type_name("N");
    add_network_options(command, in);
    command.add_flag_callback(
        "--progress", [&in] { in.progress = true; },
        "Show a progress line on standard error even when it is not a terminal");
    command.add_flag_callback(
        "--no-progress", [&in] { in.progress = false; }, "Show no progress line");
    command.add_flag("-q,--quiet", in.quiet,
                     "Print nothing but errors and the resume hint on standard error");
}

// `command`: the words of the command whose help to point at, e.g. "session import".
std::string usage_error(const std::string& message, const std::string& command = {}) {
    return std::string(program) + ": " + message + "\nRun '" + program +
           (command.empty() ? "" : " " + command) + " --help' for usage.\n";
}

// The commands the parser got into, outermost first, the program itself not included.
std::vector<const CLI::App*> command_chain(const CLI::App& app) {
    std::vector<const CLI::App*> chain;
    for (const CLI::App* at = &app; !at->get_subcommands().empty();) {
        at = at->get_subcommands().back();
        chain.push_back(at);
    }
    return chain;
}

std::string command_words(const std::vector<const CLI::App*>& chain) {
    std::string words;
    for (const CLI::App* command : chain) {
        words += (words.empty() ? "" : " ") + command->get_name();
    }
    return words;
}

// "harvest, resume, ...": the commands `app` offers.
std::string command_names(const CLI::App& app) {
    std::string names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        names += (names.empty() ? "" : ", ") + command->get_name();
    }
    return names;
}

// The value an option takes as the help names it ("FILE"); empty for an
// argument or a name the command does not have.
std::string value_name(const CLI::App& command, const std::string& name) {
    const CLI::Option* option = command.get_option_no_throw(name);
    return option == nullptr || option->get_positional() ? std::string() : option->get_type_name();
}

// CLI11's message for a usage error, said in the program's own words.
std::string own_words(const CLI::ParseError& error, const CLI::App& app,
                      const std::vector<std::string>& args) {
    const std::vector<const CLI::App*> chain = command_chain(app);
    const CLI::App& at = chain.empty() ? app : *chain.back();
    const std::string words = command_words(chain);
    const std::string what = error.what();
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr &&
        what == "A subcommand is required") {
        // The words after the commands that were recognised.
        std::size_t next = 1;
        for (const CLI::App* command : chain) {
            while (next < args.size() && args[next] != command->get_name()) {
                ++next;
            }
            ++next;
        }
        const std::string kind = words.empty() ? "command" : words + " command";
        const std::string list = " (" + kind + "s: " + command_names(at) + ")";
        for (std::size_t i = next; i < args.size(); ++i) {
            if (args[i].empty() || args[i].front() != '-') {
                return "unknown " + kind + " \"" + args[i] + "\"" + list;
            }
        }
        if (next < args.size()) {
            return "unknown option \"" + args[next] + "\"; a " + kind + " comes first" + list;
        }
        return "no " + kind + " given" + list;
    }
    const std::string for_command = words.empty() ? "" : " for " + words;
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        for (auto command = chain.rbegin(); command != chain.rend(); ++command) {
            const std::vector<std::string> extra = (*command)->remaining(false);
            if (!extra.empty()) {
                const bool option = extra.front().size() > 1 && extra.front().front() == '-';
                return std::string(option ? "unknown option" : "unexpected argument") + " \"" +
                       extra.front() + "\"" + for_command;
            }
        }
    }
    // "NAME is required" and "NAME: 1 required TYPE missing".
    const bool required = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr;
    const bool mismatch = dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr;
    const std::size_t end = required ? what.rfind(" is required") : what.find(':');
    if ((required || mismatch) && end != std::string::npos) {
        const std::string name = what.substr(0, end);
        const std::string value = value_name(at, name);
        if (required) {
            return (words.empty() ? std::string(program) : words) + " needs " + name +
                   (value.empty() ? "" : " " + value);
        }
        return name + " needs " + (value.empty() ? "a value" : "its " + value);
    }
    return what;
}

// A whole number of 0 or more, as written; nothing for other text.
std::optional<std::int64_t> count_of(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || problem != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<SortKey> sort_key(std::string_view name) {
    constexpr std::array<std::pair<std::string_view, SortKey>, 4> keys = {{
        {"results", SortKey::results},
        {"count", SortKey::count},
        {"seeds", SortKey::seeds},
        {"word", SortKey::word},
    }};
    for (const auto& [key_name, key] : keys) {
        if (key_name == name) {
            return key;
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<Invocation, EarlyExit> parse_command_line(int argc, const char* const* argv) {
    Invocation in;
    // --interval, --parallel and RUN as written, read as numbers below.
    std::optional<std::string> interval;
    std::optional<std::string> parallel;
    std::optional<std::string> run;
    std::optional<std::string> sort;
    CLI::App app(description, program);
    app.footer(footer());
    app.set_version_flag("--version", std::string(program) + " " + version_text);
    app.require_subcommand(1);
    app.fallthrough(false);
    // Options are "-x" and "--name" on every system: a "/path" argument is a
    // file (CLI11 would take it for an option on Windows). Commands inherit it.
    app.allow_windows_style_options(false);
    app.get_formatter()->column_width(34);

    CLI::App* harvest = app.add_subcommand("harvest", "Harvest the words of seed keywords");
    harvest->add_option("SEED", in.seeds, "Seed keywords; an empty one is a seed too");
    harvest
        ->add_option("-i,--input", in.input,
                     "Read the seeds from FILE, one per line, UTF-8 (\"-\": standard input)")
        ->type_name("FILE");
    harvest
        ->add_option("-k,--kinds", in.kinds,
                     "Comma list of pc, arrow, mobile, longtail, related (default: all five)")
        ->type_name("KINDS");
    add_output_options(*harvest, in);
    add_run_options(*harvest, in, interval, parallel);

    CLI::App* resume = app.add_subcommand("resume", "Continue a stopped or interrupted run");
    resume->add_option("RUN", run, "The run's number, as `runs` lists it")
        ->type_name("INT")
        ->required();
    add_output_options(*resume, in);
    add_run_options(*resume, in, interval, parallel);

    CLI::App* runs = app.add_subcommand("runs", "List the runs in the journal, newest first");
    runs->add_flag("--json", in.json, "Print them as JSON");
    runs->add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");

    CLI::App* export_run = app.add_subcommand("export", "Write a run's words to a file");
    export_run->add_option("RUN", run, "The run's number, as `runs` lists it")
        ->type_name("INT")
        ->required();
    export_run
        ->add_option("-o,--output", in.output, "Write the words to FILE (\"-\": standard output)")
        ->type_name("FILE")
        ->required();
    export_run
        ->add_option("-f,--format", in.format,
                     "xlsx, csv, jsonl or text; by default from FILE's extension")
        ->type_name("FORMAT");
    export_run->add_flag("--dedup", in.dedup,
                         "Keep only the first occurrence of each word (first in export order)");
    export_run->add_flag("--with-counts", in.with_counts,
                         "Add a 结果数 column: the count the marketplace sent with the word, "
                         "where it sent one (JSON lines always carry it as count)");
    export_run->add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");

    CLI::App* words =
        app.add_subcommand("words", "Print or write a run's word table: one row per distinct word");
    words->add_option("RUN", run, "The run's number, as `runs` lists it")
        ->type_name("INT")
        ->required();
    add_table_output_options(*words, in);
    words
        ->add_option("--sort", sort,
                     "results (the default), count, seeds or word: the column to sort by, "
                     "highest first (word: in character order)")
        ->type_name("KEY");
    words
        ->add_option("--include", in.include,
                     "Keep only the words holding every one of these terms (separated by spaces)")
        ->type_name("TERMS");
    words->add_option("--exclude", in.exclude, "Leave out the words holding any of these terms")
        ->type_name("TERMS");
    words->add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");

    CLI::App* roots = app.add_subcommand(
        "roots", "Print or write the roots (词根) of a run's words, the most words first");
    roots->add_option("RUN", run, "The run's number, as `runs` lists it")
        ->type_name("INT")
        ->required();
    add_table_output_options(*roots, in);
    roots->add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");

    CLI::App* session =
        app.add_subcommand("session", "Import, show or clear the signed-in session the runs use");
    // Where the session comes from, above the exit statuses, in its commands' help too.
    session->footer(std::string(session_description) + "\n\n" + footer());
    session->require_subcommand(1);
    session->fallthrough(false);
    CLI::App* session_import = session->add_subcommand(
        "import", "Take the session from a cookies.txt or a copied Cookie header");
    session_import
        ->add_option("FILE", in.session_text,
                     "A cookies.txt (Netscape format) or a Cookie header, UTF-8 (\"-\": "
                     "standard input); it replaces the session kept before")
        ->required();
    CLI::App* session_show = session->add_subcommand(
        "show", "Say per domain how many cookies the session holds and whether it is signed in");
    CLI::App* session_clear = session->add_subcommand("clear", "Delete the session file");
    for (CLI::App* command : {session_import, session_clear}) {
        command->add_flag("-q,--quiet", in.quiet, "Print nothing but errors");
    }

    CLI::App* doctor = app.add_subcommand(
        "doctor", "Ask the marketplace once for each kind and say what each reply was");
    add_network_options(*doctor, in);

    const std::vector<std::string> args(argv, argv + argc);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const std::vector<const CLI::App*> chain = command_chain(app);
        return EarlyExit{exit_status::ok, chain.empty() ? app.help() : chain.back()->help(), {}};
    } catch (const CLI::CallForAllHelp&) {
        return EarlyExit{exit_status::ok, app.help("", CLI::AppFormatMode::All), {}};
    } catch (const CLI::CallForVersion& version) {
        return EarlyExit{exit_status::ok, std::string(version.what()) + "\n", {}};
    } catch (const CLI::ParseError& error) {
        return EarlyExit{
            exit_status::usage,
            {},
            usage_error(own_words(error, app, args), command_words(command_chain(app)))};
    }

    if (harvest->parsed()) {
        in.command = Command::harvest;
    } else if (resume->parsed()) {
        in.command = Command::resume;
    } else if (runs->parsed()) {
        in.command = Command::runs;
    } else if (export_run->parsed()) {
        in.command = Command::export_run;
    } else if (words->parsed()) {
        in.command = Command::words;
    } else if (roots->parsed()) {
        in.command = Command::roots;
    } else if (session_import->parsed()) {
        in.command = Command::session_import;
    } else if (session_show->parsed()) {
        in.command = Command::session_show;
    } else if (doctor->parsed()) {
        in.command = Command::doctor;
    } else {
        in.command = Command::session_clear;
    }
    if (interval) {
        const auto milliseconds = count_of(*interval);
        if (!milliseconds) {
            return EarlyExit{exit_status::usage,
                             {},
                             usage_error("--interval takes a number of milliseconds, 0 or more")};
        }
        in.interval_ms = *milliseconds;
    }
    if (parallel) {
        const auto count = count_of(*parallel);
        if (!count || *count < 1 || *count > harvest::max_parallel) {
            return EarlyExit{exit_status::usage,
                             {},
                             usage_error("--parallel takes a whole number from 1 to " +
                                         std::to_string(harvest::max_parallel))};
        }
        in.parallel = static_cast<int>(*count);
    }
    if (run) {
        const auto number = count_of(*run);
        if (!number) {
            return EarlyExit{exit_status::usage,
                             {},
                             usage_error("RUN is a run's number, as \"" + std::string(program) +
                                         " runs\" lists them")};
        }
        in.run = *number;
    }
    if (in.db && in.no_db) {
        return EarlyExit{
            exit_status::usage, {}, usage_error("--db and --no-db exclude each other")};
    }
    if (in.cookies && in.no_cookies) {
        return EarlyExit{
            exit_status::usage, {}, usage_error("--cookies and --no-cookies exclude each other")};
    }
    if (in.command == Command::resume && in.no_db) {
        return EarlyExit{exit_status::usage,
                         {},
                         usage_error("resume continues a run from the journal; --no-db has none")};
    }
    if (sort) {
        const auto key = sort_key(*sort);
        if (!key) {
            return EarlyExit{exit_status::usage,
                             {},
                             usage_error("unknown sort key \"" + *sort +
                                             "\" (keys: results, count, seeds, word)",
                                         "words")};
        }
        in.sort = *key;
    }
    if (in.input && !in.seeds.empty()) {
        return EarlyExit{exit_status::usage,
                         {},
                         usage_error("give the seeds as arguments or with -i, not both")};
    }
    return in;
}

}  // namespace quorvel::cli
