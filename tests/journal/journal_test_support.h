#pragma once
// What the journal's tests share: a scratch folder and file helpers.

#include <filesystem>
#include <ostream>
#include <string>

#include "data/encoding.h"
#include "journal/journal.h"
#include "tests/support/scratch.h"

namespace quorvel::journal {

// Test failures name a run's state.
inline void PrintTo(RunState state, std::ostream* out) {
    *out << state_name(state);
}

}  // namespace quorvel::journal

namespace quorvel::journal::testing {

namespace fs = std::filesystem;

inline std::string gb(const std::string& utf8) {
    return data::gbk_from_utf8(utf8);
}

using testsupport::file_bytes;
using testsupport::names_in;
using testsupport::ScratchFolder;

}  // namespace quorvel::journal::testing
