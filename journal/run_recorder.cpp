#include <pthread.h>

#include <future>
#include <utility>

#include "journal/journal.h"
#include "journal/storage.h"
#include "platform/code_page.h"
#include "platform/log.h"

namespace quorvel::journal {

tl::expected<void, JournalError> RunRecorder::Impl::start(const std::filesystem::path& file,
                                                          Setup setup) {
    std::promise<tl::expected<void, JournalError>> opened;
    std::future<tl::expected<void, JournalError>> outcome = opened.get_future();
    writer =
        std::thread([this, file, setup = std::move(setup), opened = std::move(opened)]() mutable {
            // Named for the system's thread lists and for debuggers.
            pthread_setname_np(pthread_self(), "quorvel-journal");
            auto ready = open(file, setup);
            const bool go_on = ready.has_value();
            opened.set_value(std::move(ready));
            if (go_on) {
                write_batches();
            }
            // Closed here, where it was opened.
            for (sql::Statement* statement :
                 {&insert_word, &insert_seed, &add_counts, &end_run, &set_seeds, &clear_offer}) {
                *statement = sql::Statement();
            }
            db = sql::Connection();
        });
    return outcome.get();
}

tl::expected<void, JournalError> RunRecorder::Impl::open(const std::filesystem::path& file,
                                                         const Setup& setup) {
    auto connection = sql::Connection::open(file, sql::Connection::Mode::read_write);
    if (!connection) {
        return tl::unexpected(
            storage_error("cannot open the run's connection", connection.error()));
    }
    db = std::move(*connection);
    if (auto configured = configure(db); !configured) {
        return tl::unexpected(
            storage_error("cannot set up the run's connection", configured.error()));
    }
    const std::pair<sql::Statement*, std::string_view> statements[] = {
        {&insert_word,
         "INSERT INTO words (run, ordinal, kind, seed, word, count) VALUES (?, ?, ?, ?, ?, ?)"},
        {&insert_seed,
         "INSERT INTO seeds (run, position, pc, arrow, mobile, longtail, related) "
         "VALUES (?, ?, ?, ?, ?, ?, ?)"},
        {&add_counts,
         "UPDATE runs SET pc_words = pc_words + ?, arrow_words = arrow_words + ?, "
         "mobile_words = mobile_words + ?, longtail_words = longtail_words + ?, "
         "related_words = related_words + ?, seeds_done = seeds_done + ? WHERE id = ?"},
        {&end_run, "UPDATE runs SET state = ?, ended_ms = ? WHERE id = ?"},
        {&set_seeds, "UPDATE runs SET seed_text = ?, seeds_total = ? WHERE id = ?"},
        {&clear_offer, "UPDATE runs SET offer_resume = 0 WHERE id = ?"},
    };
    for (const auto& [statement, text] : statements) {
        auto prepared = db.prepare(text);
        if (!prepared) {
            return tl::unexpected(
                storage_error("cannot prepare the run's statements", prepared.error()));
        }
        *statement = std::move(*prepared);
    }
    return setup(*this);
}

RunRecorder::Impl::~Impl() {
    if (writer.joinable()) {
        {
            std::lock_guard guard(mutex);
            quit = true;
        }
        wake.notify_one();
        writer.join();
    }
}

RunRecorder::Impl::Batch RunRecorder::Impl::take_pending(std::string what) {
    Batch batch;
    batch.what = std::move(what);
    batch.words = std::move(pending);
    batch.text = std::move(pending_text);
    batch.counts = pending_counts;
    pending.clear();
    pending_text.clear();
    pending_counts = {};
    return batch;
}

void RunRecorder::Impl::submit(Batch batch, bool even_after_failure) {
    bool wake_writer = false;
    {
        std::lock_guard guard(mutex);
        if (failed && !even_after_failure) {
            return;
        }
        queue.push_back(std::move(batch));
        wake_writer = std::exchange(writer_idle, false);
    }
    if (wake_writer) {
        wake.notify_one();
    }
}

void RunRecorder::Impl::wait_until_stored() {
    std::unique_lock guard(mutex);
    idle.wait(guard, [this] { return (queue.empty() && !writing) || !writer.joinable(); });
}

void RunRecorder::Impl::take_failure(bool tell_handler) {
    if (failure || !failed) {
        return;
    }
    {
        std::lock_guard guard(mutex);
        failure = written_failure;
    }
    pending.clear();
    pending_text.clear();
    if (tell_handler && failure_handler) {
        failure_handler(*failure);
    }
}

void RunRecorder::Impl::write_batches() {
    std::unique_lock guard(mutex);
    for (;;) {
        writer_idle = true;
        wake.wait(guard, [this] { return quit || !queue.empty(); });
        writer_idle = false;
        if (queue.empty()) {
            return;
        }
        // Whatever was handed over while the last transaction ran goes
        // into this one.
        std::vector<Batch> batches(std::make_move_iterator(queue.begin()),
                                   std::make_move_iterator(queue.end()));
        queue.clear();
        writing = true;
        guard.unlock();
        const sql::Result<void> stored = store(batches);
        guard.lock();
        writing = false;
        if (!stored && failed) {
            // A batch taken after the failure: the first failure stands.
            platform::log_warning("journal: cannot clear " + stored.error().message);
        } else if (!stored) {
            written_failure = JournalError{JournalError::Kind::storage_failed,
                                           "cannot record " + stored.error().message};
            platform::log_error("journal: " + written_failure->message +
                                "; nothing more of the run is stored");
            failed = true;
            queue.clear();
        }
        if (queue.empty()) {
            idle.notify_all();
        }
    }
}

// The batches in one transaction: all stored, or none.
sql::Result<void> RunRecorder::Impl::store(const std::vector<Batch>& batches) {
    const std::int64_t first_ordinal = next_ordinal;
    auto transaction = sql::Transaction::begin(db);
    auto failed_at = [&](const Batch& batch, const sql::Error& error) {
        next_ordinal = first_ordinal;
        return tl::unexpected(sql::Error{
            error.code, batch.what + " of run " + std::to_string(run_id) + ": " + error.text()});
    };
    if (!transaction) {
        return failed_at(batches.front(), transaction.error());
    }
    for (const Batch& batch : batches) {
        if (auto stored = store(batch); !stored) {
            return failed_at(batch, stored.error());
        }
    }
    if (auto committed = transaction->commit(); !committed) {
        return failed_at(batches.back(), committed.error());
    }
    return {};
}

// One batch, within the transaction of store(batches).
sql::Result<void> RunRecorder::Impl::store(const Batch& batch) {
    std::string_view text = batch.text;
    for (const PendingWord& word : batch.words) {
        const std::string_view word_text = text.substr(0, word.word_size);
        const std::string_view count = text.substr(word.word_size, word.count_size);
        text.remove_prefix(word.word_size + word.count_size);
        auto bound = insert_word.bind_all(run_id, next_ordinal, word.kind, word.seed, word_text);
        if (bound) {
            bound = count.empty() ? insert_word.bind_null(6) : insert_word.bind(6, count);
        }
        if (auto inserted = bound.and_then([&] { return insert_word.run(); }); !inserted) {
            return inserted;
        }
        ++next_ordinal;
    }
    const std::int64_t seeds_done = batch.seed_row ? 1 : 0;
    if (seeds_done != 0 || batch.counts != KindCounts{}) {
        auto counted = add_counts
                           .bind_all(batch.counts[0], batch.counts[1], batch.counts[2],
                                     batch.counts[3], batch.counts[4], seeds_done, run_id)
                           .and_then([&] { return add_counts.run(); });
        if (!counted) {
            return counted;
        }
    }
    if (const auto& row = batch.seed_row) {
        auto inserted = insert_seed
                            .bind_all(run_id, row->position, row->counts[0], row->counts[1],
                                      row->counts[2], row->counts[3], row->counts[4])
                            .and_then([&] { return insert_seed.run(); });
        if (!inserted) {
            return inserted;
        }
    }
    if (batch.seed_text) {
        auto set = set_seeds.bind_all(*batch.seed_text, batch.seeds_total, run_id).and_then([&] {
            return set_seeds.run();
        });
        if (!set) {
            return set;
        }
    }
    if (batch.end_state) {
        auto ended = end_run.bind_all(*batch.end_state, unix_ms_now(), run_id).and_then([&] {
            return end_run.run();
        });
        if (!ended) {
            return ended;
        }
    }
    if (batch.clear_offer) {
        return clear_offer.bind_all(run_id).and_then([&] { return clear_offer.run(); });
    }
    return {};
}

RunRecorder::RunRecorder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RunRecorder::~RunRecorder() {
    const bool interrupted = !impl_->ended && !impl_->failed;
    if (interrupted) {
        Impl::Batch batch = impl_->take_pending("the interruption");
        batch.end_state = "interrupted";
        impl_->submit(std::move(batch));
    }
    impl_->wait_until_stored();
    impl_->take_failure(false);
    if (interrupted && !impl_->failure) {
        platform::log_warning("journal: run " + std::to_string(impl_->run_id) +
                              " was left before it ended; marked interrupted");
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

void RunRecorder::flush() {
    impl_->wait_until_stored();
    impl_->take_failure(true);
}

void RunRecorder::run_started(const std::vector<std::string>& seeds, std::size_t first_seed) {
    (void)first_seed;
    impl_->take_failure(true);
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
    Impl::Batch batch;
    batch.what = "the seed list";
    batch.seed_text = utf8_from_code_page(joined_seeds(seeds));
    batch.seeds_total = static_cast<std::int64_t>(seeds.size());
    impl_->submit(std::move(batch));
}

void RunRecorder::word_recorded(harvest::KeywordSource source, std::size_t seed_index,
                                const std::string& seed, const std::string& word,
                                const std::string& count) {
    (void)seed;
    impl_->take_failure(true);
    if (impl_->failure) {
        return;
    }
    const auto kind = harvest::index_of(source);
    Impl& run = *impl_;
    Impl::PendingWord pending{static_cast<std::int64_t>(kind),
                              static_cast<std::int64_t>(seed_index), 0, 0};
    platform::convert_code_page(word, platform::code_page_gbk, platform::code_page_utf8,
                                run.converted);
    pending.word_size = run.converted.size();
    run.pending_text += run.converted;
    if (!count.empty()) {
        platform::convert_code_page(count, platform::code_page_gbk, platform::code_page_utf8,
                                    run.converted);
        pending.count_size = run.converted.size();
        run.pending_text += run.converted;
    }
    run.pending.push_back(pending);
    ++run.pending_counts[kind];
}

void RunRecorder::request_done(harvest::RequestKind kind, const std::string& seed,
                               const platform::ExchangeOutcome& outcome) {
    (void)kind;
    (void)seed;
    (void)outcome;
    // A reply is stored before the next one is processed, so a killed
    // process loses no more than the replies in hand. The writer stored the
    // last one while this request was on the network: this rarely waits.
    impl_->wait_until_stored();
}

void RunRecorder::reply_processed(harvest::RequestKind kind) {
    (void)kind;
    impl_->take_failure(true);
    if (impl_->failure || impl_->pending.empty()) {
        return;
    }
    impl_->submit(impl_->take_pending("the words of a reply"));
}

void RunRecorder::seed_finished(std::size_t index, const harvest::SeedRow& row) {
    impl_->take_failure(true);
    if (impl_->failure) {
        return;
    }
    Impl::Batch batch = impl_->take_pending("the summary row of seed " + std::to_string(index + 1));
    Impl::SeedRowData stored;
    stored.position = static_cast<std::int64_t>(index);
    for (std::size_t kind = 0; kind < row.counts.size(); ++kind) {
        stored.counts[kind] = row.counts[kind];
    }
    batch.seed_row = stored;
    impl_->submit(std::move(batch));
}

void RunRecorder::run_ended(harvest::RunEnd end) {
    // A stopped run keeps what it found: the words of the reply cut short
    // are stored with its end. Whatever the end, it withdraws the run's
    // offer to continue: only a run its process's death cut short is offered.
    impl_->take_failure(true);
    if (!impl_->failure) {
        Impl::Batch batch = impl_->take_pending("the end");
        batch.end_state = end == harvest::RunEnd::finished ? "finished" : "stopped";
        batch.clear_offer = true;
        impl_->submit(std::move(batch));
        impl_->wait_until_stored();
        impl_->take_failure(true);
    }
    if (impl_->failure) {
        // Kept only in part, it is found interrupted at the next opening.
        Impl::Batch batch;
        batch.what = "the offer to continue";
        batch.clear_offer = true;
        impl_->submit(std::move(batch), true);
        impl_->wait_until_stored();
    }
    impl_->ended = true;
    if (!impl_->failure) {
        // The end is stored: no one can take the run for dead any more.
        impl_->lock.remove_and_release();
    }
}

}  // namespace quorvel::journal
