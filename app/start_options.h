#pragma once
// The window program's own command-line options, answered before Qt starts:
// --version and --help print their text and end the program, so they work
// without a display. Every other argument is left to Qt (-platform, -style...).

#include <optional>
#include <string>

namespace quorvel::app {

// The text to print on standard output before ending with status 0, or
// nothing when the window should start.
std::optional<std::string> early_answer(int argc, const char* const* argv);

}  // namespace quorvel::app
