#pragma once
// The command line's commands: harvest, resume, runs, export, words, roots,
// session and doctor. Each returns the program's exit status.

#include <cstdio>
#include <stop_token>

#include "cli/command_line.h"

namespace quorvel::cli {

// Where the commands speak and what stops a run.
struct Console {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Requested by a signal: the run stops, and the exit status is 130.
    std::stop_token stop;
};

int run_command(const Invocation& invocation, const Console& console);

}  // namespace quorvel::cli
