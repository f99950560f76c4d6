#pragma once
// The marketplace session a run signs in with: the cookies of a Netscape
// cookie file put into the process's shared cookie store before the first
// request. And the session commands, which import, show and clear it.

#include <optional>
#include <string>

#include "cli/command_line.h"
#include "cli/commands.h"

namespace quorvel::cli {

struct SessionOutcome {
    std::optional<std::string> error{};   // bad input: the run must not start
    std::optional<std::string> notice{};  // for standard error; the run goes on
};

// Loads the marketplace's cookies of --cookies FILE, or else of the default
// session file when it exists; nothing with --no-cookies. Neither message
// holds anything of a cookie.
SessionOutcome load_session(const Invocation& in);

// session import, show and clear; the exit status.
int session_command(const Invocation& in, const Console& console);

}  // namespace quorvel::cli
