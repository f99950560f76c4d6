// quorvel-cli: the command-line harvester.

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/signals.h"
#include "cli/system.h"
#include "platform/log.h"
#include "platform/log_file.h"
#include "platform/user_folders.h"

int main(int argc, char* argv[]) {
    using namespace quorvel;
    cli::prepare_process();
    std::vector<std::string> arguments = cli::utf8_arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    auto parsed = cli::parse_command_line(static_cast<int>(arguments.size()), pointers.data());
    if (auto* early = std::get_if<cli::EarlyExit>(&parsed)) {
        cli::write_text(stdout, early->out);
        cli::write_text(stderr, early->err);
        return early->status;
    }
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
