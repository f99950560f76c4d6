#pragma once
// What the user asked quorvel-cli for, read from its arguments.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quorvel::cli {

enum class Command {
    harvest,
    resume,
    runs,
    export_run,
    words,
    roots,
    session_import,
    session_show,
    session_clear,
    doctor
};

// What words sorts by: 结果数, 次数, 种子数 or 词.
enum class SortKey { results, count, seeds, word };

// One invocation, with every argument still as the user wrote it (UTF-8);
// the commands check what only they can (files, kinds, seeds).
struct Invocation {
    Command command = Command::harvest;
    std::vector<std::string> seeds;     // SEED arguments
    std::optional<std::string> input;   // -i FILE, "-" for standard input
    std::optional<std::string> kinds;   // -k KINDS
    std::optional<std::string> output;  // -o FILE, "-" for standard output
    std::optional<std::string> format;  // -f FORMAT
    bool dedup = false;
    std::optional<std::string> db;  // --db FILE
    bool no_db = false;
    std::int64_t interval_ms = 0;
    int parallel = 1;  // --parallel N: requests in flight at once
    std::optional<std::string> cacert;
    std::vector<std::string> resolve;
    std::optional<std::string> cookies;  // --cookies FILE
    bool no_cookies = false;
    std::optional<bool> progress;  // --progress / --no-progress; unset: when stderr is a terminal
    bool quiet = false;
    std::int64_t run = 0;             // RUN of resume, export, words and roots
    bool json = false;                // runs --json
    bool with_counts = false;         // export --with-counts
    SortKey sort = SortKey::results;  // words --sort KEY
    std::string include;              // words --include TERMS
    std::string exclude;              // words --exclude TERMS
    std::string session_text;         // FILE of session import, "-" for standard input
};

// Help, the version or a usage error: printed as it stands, then the
// program exits with `status`.
struct EarlyExit {
    int status = 0;
    std::string out;  // for standard output
    std::string err;  // for standard error
};

std::variant<Invocation, EarlyExit> parse_command_line(int argc, const char* const* argv);

// Exit statuses, as scripts rely on them.
namespace exit_status {
inline constexpr int ok = 0;
inline constexpr int some_requests_failed = 1;
inline constexpr int failed = 1;  // the session commands: refused text, unreadable files
inline constexpr int usage = 2;
inline constexpr int storage = 3;
inline constexpr int stopped_by_signal = 130;
}  // namespace exit_status

}  // namespace quorvel::cli
