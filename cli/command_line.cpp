#include "cli/command_line.h"
#include "cli/system.h"

#include <CLI/CLI.hpp>

#include "platform/version.h"

namespace quorvel::cli {
namespace {

constexpr const char* program = "quorvel-cli";

constexpr const char* description =
    "Harvests the related keywords of the Taobao marketplace for seed keywords, as the\n"
    "Quorvel window does: PC drop-down suggestions (pc), their arrow refinements (arrow),\n"
    "mobile drop-down suggestions (mobile), long-tail words (longtail) and the related\n"
    "searches of the results page (related). Every run is kept in a journal as it\n"
    "happens, so a stopped or interrupted run can be continued.";

constexpr std::string_view exit_statuses =
    "Exit status: 0 finished with no failure; 1 finished, but some requests failed, or\n"
    "stopped at the marketplace's verification page; 2 bad usage or input (nothing was\n"
    "requested); 3 the output or the journal could not be written; 130 stopped by a signal.\n";

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

void add_run_options(CLI::App& command, Invocation& in) {
    command.add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");
    command.add_flag("--no-db", in.no_db, "Keep the run in memory only, not in a journal");
    command
        .add_option("--interval", in.interval_ms,
                    "Least time between the starts of two requests, in milliseconds (default 0)")
        ->type_name("MS");
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
    command.add_flag_callback(
        "--progress", [&in] { in.progress = true; },
        "Show a progress line on standard error even when it is not a terminal");
    command.add_flag_callback(
        "--no-progress", [&in] { in.progress = false; }, "Show no progress line");
    command.add_flag("-q,--quiet", in.quiet,
                     "Print nothing but errors and the resume hint on standard error");
}

std::string usage_error(const std::string& message) {
    return std::string(program) + ": " + message + "\nRun '" + program + " --help' for usage.\n";
}

}  // namespace

std::variant<Invocation, EarlyExit> parse_command_line(int argc, const char* const* argv) {
    Invocation in;
    CLI::App app(description, program);
    app.footer(footer());
    app.set_version_flag("--version", std::string(program) + " " + version_text);
    app.require_subcommand(1);
    app.fallthrough(false);
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
    add_run_options(*harvest, in);

    CLI::App* resume = app.add_subcommand("resume", "Continue a stopped or interrupted run");
    resume->add_option("RUN", in.run, "The run's number, as `runs` lists it")->required();
    add_output_options(*resume, in);
    add_run_options(*resume, in);

    CLI::App* runs = app.add_subcommand("runs", "List the runs in the journal, newest first");
    runs->add_flag("--json", in.json, "Print them as JSON");
    runs->add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");

    CLI::App* export_run = app.add_subcommand("export", "Write a run's words to a file");
    export_run->add_option("RUN", in.run, "The run's number, as `runs` lists it")->required();
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
    export_run->add_option("--db", in.db, "Use this journal instead of the default one")
        ->type_name("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        CLI::App* shown = &app;
        for (CLI::App* sub : app.get_subcommands()) {
            shown = sub;
        }
        return EarlyExit{exit_status::ok, shown->help(), {}};
    } catch (const CLI::CallForAllHelp&) {
        return EarlyExit{exit_status::ok, app.help("", CLI::AppFormatMode::All), {}};
    } catch (const CLI::CallForVersion& version) {
        return EarlyExit{exit_status::ok, std::string(version.what()) + "\n", {}};
    } catch (const CLI::ParseError& error) {
        return EarlyExit{exit_status::usage, {}, usage_error(error.what())};
    }

    if (harvest->parsed()) {
        in.command = Command::harvest;
    } else if (resume->parsed()) {
        in.command = Command::resume;
    } else if (runs->parsed()) {
        in.command = Command::runs;
    } else {
        in.command = Command::export_run;
    }
    if (in.interval_ms < 0) {
        return EarlyExit{exit_status::usage,
                         {},
                         usage_error("--interval takes a number of milliseconds, 0 or more")};
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
    if (in.input && !in.seeds.empty()) {
        return EarlyExit{exit_status::usage,
                         {},
                         usage_error("give the seeds as arguments or with -i, not both")};
    }
    return in;
}

}  // namespace quorvel::cli
