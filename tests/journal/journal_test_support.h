#pragma once
// What the journal's tests share: a scratch folder and file helpers.

#include <filesystem>
#include <ostream>
#include <string>

#include "journal/journal.h"
#include "tests/support/code_page_text.h"
#include "tests/support/scratch.h"

namespace quorvel::journal {

// Test failures name a run's state.
inline void PrintTo(RunState state, std::ostream* out) {
    *out << state_name(state);
}

}  // namespace quorvel::journal

namespace quorvel::journal::testing {

namespace fs = std::filesystem;

using testsupport::file_bytes;
using testsupport::gb;
using testsupport::names_in;
using testsupport::ScratchFolder;

}  // namespace quorvel::journal::testing
