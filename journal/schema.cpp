#include "journal/schema.h"

#include <string>

#include "harvest/keyword_source.h"

namespace quorvel::journal {

// A run, its summary rows and its words. Text is UTF-8; a word's seed is its
// position in the run's seed list, so a seed is stored once per run. The
// five counters and columns per run and seed follow the keyword sources'
// order: pc, arrow, mobile, longtail, related.
static_assert(harvest::all_sources.size() == 5,
              "a kind more or less needs a schema step for its columns");
const std::array<std::string_view, 3> schema_steps = {
    R"sql(
CREATE TABLE runs (
    id INTEGER PRIMARY KEY,
    started_ms INTEGER NOT NULL,
    ended_ms INTEGER,
    state TEXT NOT NULL CHECK (state IN ('running', 'finished', 'stopped', 'interrupted')),
    kinds INTEGER NOT NULL,
    seed_text TEXT NOT NULL,
    seeds_total INTEGER NOT NULL,
    seeds_done INTEGER NOT NULL DEFAULT 0,
    pc_words INTEGER NOT NULL DEFAULT 0,
    arrow_words INTEGER NOT NULL DEFAULT 0,
    mobile_words INTEGER NOT NULL DEFAULT 0,
    longtail_words INTEGER NOT NULL DEFAULT 0,
    related_words INTEGER NOT NULL DEFAULT 0,
    lock_token TEXT NOT NULL UNIQUE
);
CREATE TABLE seeds (
    run INTEGER NOT NULL REFERENCES runs (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    pc INTEGER NOT NULL,
    arrow INTEGER NOT NULL,
    mobile INTEGER NOT NULL,
    longtail INTEGER NOT NULL,
    related INTEGER NOT NULL,
    PRIMARY KEY (run, position)
) WITHOUT ROWID;
CREATE TABLE words (
    run INTEGER NOT NULL REFERENCES runs (id) ON DELETE CASCADE,
    ordinal INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    seed INTEGER NOT NULL,
    word TEXT NOT NULL,
    count TEXT,
    PRIMARY KEY (run, ordinal)
) WITHOUT ROWID;
)sql",
    // Whether the window offers to continue the run at its next start, should
    // the run's process die; cleared once offered.
    R"sql(
ALTER TABLE runs ADD COLUMN offer_resume INTEGER NOT NULL DEFAULT 0;
)sql",
    // How many requests the run kept in flight at once (its last start, when
    // continued); runs from before this step were one at a time.
    R"sql(
ALTER TABLE runs ADD COLUMN parallel INTEGER NOT NULL DEFAULT 1;
)sql",
};

tl::expected<std::int64_t, MigrationError> migrate(sql::Connection& db,
                                                   std::span<const std::string_view> steps) {
    using Kind = MigrationError::Kind;
    auto failed = [](std::int64_t version, sql::Error error) {
        return tl::unexpected(MigrationError{Kind::failed, version, std::move(error)});
    };
    auto transaction = sql::Transaction::begin(db);
    if (!transaction) {
        return failed(0, transaction.error());
    }
    // Read inside the transaction: another process may have just brought it up to date.
    const auto found = db.query_number("PRAGMA user_version");
    if (!found) {
        return failed(0, found.error());
    }
    const auto last = static_cast<std::int64_t>(steps.size());
    if (*found > last) {
        return tl::unexpected(MigrationError{Kind::newer_version, *found, {}});
    }
    if (*found == last) {
        return *found;
    }
    for (std::int64_t version = *found; version < last; ++version) {
        if (auto applied = db.execute(steps[static_cast<std::size_t>(version)]); !applied) {
            return failed(*found, applied.error());
        }
    }
    if (auto set = db.execute("PRAGMA user_version = " + std::to_string(last)); !set) {
        return failed(*found, set.error());
    }
    if (auto committed = transaction->commit(); !committed) {
        return failed(*found, committed.error());
    }
    return *found;
}

}  // namespace quorvel::journal
