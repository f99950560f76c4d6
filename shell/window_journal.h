#pragma once
// The journal a window keeps its harvests in: the one shared with the
// command line, in the user's data folder.

#include <filesystem>
#include <optional>
#include <string>

#include "journal/journal.h"

namespace quorvel::shell {

struct WindowJournal {
    std::optional<journal::Journal> journal;
    // Why there is none: the window then keeps its harvests in memory and says so.
    std::string trouble;
    // Where an unreadable journal file was moved before a new one was made.
    std::optional<std::filesystem::path> moved_aside;
};

WindowJournal open_window_journal();

}  // namespace quorvel::shell
