#include <utility>

#include "journal/journal.h"
#include "journal/storage.h"
#include "platform/log.h"

namespace quorvel::journal {

tl::expected<std::unique_ptr<RunRecorder::Impl>, JournalError> RunRecorder::Impl::create(
    sql::Connection db, platform::FileLock lock, std::int64_t run_id, std::int64_t next_ordinal,
    std::vector<std::string> seeds) {
    auto impl = std::make_unique<Impl>();
    impl->db = std::move(db);
    impl->lock = std::move(lock);
    impl->run_id = run_id;
    impl->next_ordinal = next_ordinal;
    impl->seeds = std::move(seeds);
    const std::pair<sql::Statement*, std::string_view> statements[] = {
        {&impl->insert_word,
         "INSERT INTO words (run, ordinal, kind, seed, word, count) VALUES (?, ?, ?, ?, ?, ?)"},
        {&impl->insert_seed,
         "INSERT INTO seeds (run, position, pc, arrow, mobile, longtail, related) "
         "VALUES (?, ?, ?, ?, ?, ?, ?)"},
        {&impl->add_counts,
         "UPDATE runs SET pc_words = pc_words + ?, arrow_words = arrow_words + ?, "
         "mobile_words = mobile_words + ?, longtail_words = longtail_words + ?, "
         "related_words = related_words + ?, seeds_done = seeds_done + ? WHERE id = ?"},
        {&impl->end_run, "UPDATE runs SET state = ?, ended_ms = ? WHERE id = ?"},
        {&impl->set_seeds, "UPDATE runs SET seed_text = ?, seeds_total = ? WHERE id = ?"},
    };
    for (const auto& [statement, text] : statements) {
        auto prepared = impl->db.prepare(text);
        if (!prepared) {
            return tl::unexpected(
                storage_error("cannot prepare the run's statements", prepared.error()));
        }
        *statement = std::move(*prepared);
    }
    return impl;
}

sql::Result<void> RunRecorder::Impl::write_pending() {
    for (const PendingWord& word : pending) {
        auto bound = insert_word.bind_all(run_id, next_ordinal, word.kind, word.seed,
                                          std::string_view(word.word));
        if (bound) {
            bound = word.count.empty() ? insert_word.bind_null(6) : insert_word.bind(6, word.count);
        }
        if (!bound) {
            return bound;
        }
        if (auto inserted = insert_word.run(); !inserted) {
            return inserted;
        }
        ++next_ordinal;
    }
    const bool counted = pending_seeds_done != 0 || pending_counts != std::array<std::int64_t, 5>{};
    if (!counted) {
        return {};
    }
    auto bound =
        add_counts.bind_all(pending_counts[0], pending_counts[1], pending_counts[2],
                            pending_counts[3], pending_counts[4], pending_seeds_done, run_id);
    if (!bound) {
        return bound;
    }
    return add_counts.run();
}

void RunRecorder::Impl::commit(std::string_view what,
                               const std::function<sql::Result<void>()>& body) {
    if (failure) {
        return;
    }
    if (pending.empty() && !body) {
        return;
    }
    const std::int64_t first_ordinal = next_ordinal;
    const sql::Result<void> written = [&]() -> sql::Result<void> {
        auto transaction = sql::Transaction::begin(db);
        if (!transaction) {
            return tl::unexpected(transaction.error());
        }
        if (auto words = write_pending(); !words) {
            return words;
        }
        if (body) {
            if (auto done = body(); !done) {
                return done;
            }
        }
        return transaction->commit();
    }();
    pending.clear();
    pending_counts = {};
    pending_seeds_done = 0;
    if (!written) {
        next_ordinal = first_ordinal;
        fail(storage_error(
                 "cannot record " + std::string(what) + " of run " + std::to_string(run_id),
                 written.error()),
             !in_destructor);
    }
}

void RunRecorder::Impl::fail(JournalError error, bool tell_handler) {
    failure = std::move(error);
    platform::log_error("journal: " + failure->message + "; nothing more of the run is stored");
    if (tell_handler && failure_handler) {
        failure_handler(*failure);
    }
}

RunRecorder::RunRecorder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RunRecorder::~RunRecorder() {
    if (!impl_->ended && !impl_->failure) {
        impl_->in_destructor = true;
        impl_->commit("the interruption", [this] {
            auto bound = impl_->end_run.bind_all(std::string_view("interrupted"), unix_ms_now(),
                                                 impl_->run_id);
            return bound ? impl_->end_run.run() : bound;
        });
        if (!impl_->failure) {
            platform::log_warning("journal: run " + std::to_string(impl_->run_id) +
                                  " was left before it ended; marked interrupted");
        }
    }
    impl_->lock.remove_and_release();
}

std::int64_t RunRecorder::run_id() const {
    return impl_->run_id;
}

const std::optional<JournalError>& RunRecorder::failure() const {
    return impl_->failure;
}

void RunRecorder::on_failure(std::function<void(const JournalError&)> handler) {
    impl_->failure_handler = std::move(handler);
}

void RunRecorder::run_started(const std::vector<std::string>& seeds, std::size_t first_seed) {
    (void)first_seed;
    if (seeds == impl_->seeds || impl_->failure) {
        return;
    }
    // The seed positions of the stored words and rows must index the list the
    // harvest actually runs over, so that list is kept.
    platform::log_warning("journal: run " + std::to_string(impl_->run_id) +
                          " was begun over other seeds than the harvest reads; keeping the "
                          "harvest's " +
                          std::to_string(seeds.size()) + " seeds");
    impl_->seeds = seeds;
    impl_->commit("the seed list", [this] {
        auto bound = impl_->set_seeds.bind_all(utf8_from_code_page(joined_seeds(impl_->seeds)),
                                               static_cast<std::int64_t>(impl_->seeds.size()),
                                               impl_->run_id);
        return bound ? impl_->set_seeds.run() : bound;
    });
}

void RunRecorder::word_recorded(harvest::KeywordSource source, std::size_t seed_index,
                                const std::string& seed, const std::string& word,
                                const std::string& count) {
    (void)seed;
    if (impl_->failure) {
        return;
    }
    const auto kind = harvest::index_of(source);
    impl_->pending.push_back({static_cast<std::int64_t>(kind),
                              static_cast<std::int64_t>(seed_index), utf8_from_code_page(word),
                              count.empty() ? std::string() : utf8_from_code_page(count)});
    ++impl_->pending_counts[kind];
}

void RunRecorder::reply_processed(harvest::RequestKind kind) {
    (void)kind;
    impl_->commit("the words of a reply");
}

void RunRecorder::seed_finished(std::size_t index, const harvest::SeedRow& row) {
    if (impl_->failure) {
        return;
    }
    impl_->pending_seeds_done = 1;
    impl_->commit("the summary row of seed " + std::to_string(index + 1), [this, index, &row] {
        sql::Statement& insert = impl_->insert_seed;
        auto bound = insert.bind_all(impl_->run_id, static_cast<std::int64_t>(index),
                                     std::int64_t{row.counts[0]}, std::int64_t{row.counts[1]},
                                     std::int64_t{row.counts[2]}, std::int64_t{row.counts[3]},
                                     std::int64_t{row.counts[4]});
        return bound ? insert.run() : bound;
    });
}

void RunRecorder::run_ended(harvest::RunEnd end) {
    // A stopped run keeps what it found: the words of the reply cut short
    // are written with its end.
    const std::string_view state = end == harvest::RunEnd::finished ? "finished" : "stopped";
    impl_->commit("the end", [this, state] {
        auto bound = impl_->end_run.bind_all(state, unix_ms_now(), impl_->run_id);
        return bound ? impl_->end_run.run() : bound;
    });
    impl_->ended = true;
    if (!impl_->failure) {
        // The end is stored: no one can take the run for dead any more.
        impl_->lock.remove_and_release();
    }
}

}  // namespace quorvel::journal
