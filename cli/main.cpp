// quorvel-cli: the command-line harvester.

#include <csignal>
#include <cstdio>
#include <variant>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/signals.h"
#include "platform/log.h"
#include "platform/log_file.h"
#include "platform/user_folders.h"

int main(int argc, char* argv[]) {
    using namespace quorvel;
    auto parsed = cli::parse_command_line(argc, argv);
    if (auto* early = std::get_if<cli::EarlyExit>(&parsed)) {
        std::fputs(early->out.c_str(), stdout);
        std::fputs(early->err.c_str(), stderr);
        return early->status;
    }
    // A file-size limit makes writes fail with an error instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::stop_source stop;
    cli::SignalStop signals(stop);  // before any other thread starts

    if (auto folder = platform::user_data_folder()) {
        // The log is a help, not a need: without it the command runs all the same.
        (void)platform::open_log_file(*folder / "logs", "quorvel-cli.log");
    }
    platform::log_info("quorvel-cli started");
    const int status = cli::run_command(std::get<cli::Invocation>(parsed),
                                        {.out = stdout, .err = stderr, .stop = stop.get_token()});
    platform::log_info("quorvel-cli ended, status " + std::to_string(status));
    std::fflush(stdout);
    return status;
}
