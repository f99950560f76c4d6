#include "shell/run_controller.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "harvest/keyword_source.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "shell/texts.h"

namespace quorvel::shell {
namespace {

using texts::code_page;
using texts::fill;

std::int64_t total_words(const journal::RunInfo& run) {
    std::int64_t words = 0;
    for (std::int64_t count : run.words) {
        words += count;
    }
    return words;
}

std::string words_text(std::int64_t words) {
    return grouped(static_cast<std::size_t>(std::max<std::int64_t>(words, 0)));
}

// Tells the user, once per run, of a kind the marketplace wants a signed-in
// session for; a front end that can sign in offers its sign-in window. The
// run goes on with the other kinds either way.
class MarketplaceNotices : public harvest::HarvestObserver {
  public:
    MarketplaceNotices(RunWindow& window, WindowShell& shell) : window_(window), shell_(shell) {}
    void login_wall(harvest::RequestKind kind, const std::string&, const std::string&) override {
        const harvest::KeywordSource source = harvest::source_of(kind);
        if (told_.has(source)) {
            return;
        }
        told_.add(source);
        const std::string notice =
            fill(code_page(texts::login_wall), {harvest::info(source).caption});
        if (!shell_.can_sign_in()) {
            window_.ask(notice + code_page(texts::login_wall_with_cookies), {}, {});
            return;
        }
        const platform::MessageResult answer =
            window_.ask(notice + code_page(texts::login_wall_offer),
                        {.buttons = platform::MessageButtons::yes_no}, {});
        if (answer == platform::MessageResult::yes) {
            shell_.post([&shell = shell_] { shell.show_sign_in(); });
        }
    }

  private:
    RunWindow& window_;
    WindowShell& shell_;
    harvest::KindSet told_;
};

}  // namespace

platform::MessageResult SilenceableRunWindow::show_message(std::string_view text,
                                                           platform::MessageStyle style,
                                                           std::string_view caption) {
    if (silenced_) {
        platform::log_info("message not shown, as asked for this run: " + std::string(text));
        return platform::MessageResult::ok;
    }
    if (silencing_ == Silencing::none) {
        return ask(text, style, caption);
    }
    const auto [answer, silence] = ask_with_check(text, style, caption, texts::quiet_check);
    if (silence) {
        silenced_ = true;
        platform::log_info("further messages of this run will not be shown, as asked");
    }
    return answer;
}

void perform(ControlAction action, RunController& runs, WindowShell& window) {
    switch (action) {
        case ControlAction::none:
            break;
        case ControlAction::start_harvest:
            runs.start_harvest();
            break;
        case ControlAction::export_results:
            runs.export_results();
            break;
        case ControlAction::stop_harvest:
            runs.stop_harvest();
            break;
        case ControlAction::show_index:
            window.show_index_window();
            break;
        case ControlAction::open_contact:
            window.window_for_run({}, Silencing::none)->open_with_shell(code_page(contact_link));
            break;
        case ControlAction::show_history:
            if (runs.journal() == nullptr) {
                const std::string& trouble = runs.journal_trouble();
                window.tell(code_page(texts::history_unavailable) +
                                code_page(trouble.empty() ? "no journal" : trouble),
                            code_page(texts::history_caption));
            } else {
                window.show_history();
            }
            break;
        case ControlAction::show_settings:
            window.show_settings();
            break;
        case ControlAction::sign_in:
            window.show_sign_in();
            break;
        case ControlAction::sign_out:
            window.sign_out();
            break;
        case ControlAction::show_word_table:
            // The store is the harvest's own while a run fills it.
            if (runs.running()) {
                window.tell(code_page(texts::word_table_busy),
                            code_page(texts::word_table_caption));
                break;
            }
            if (auto table =
                    std::make_shared<research::WordTable>(research::WordTable::build(runs.store()));
                table->size() == 0) {
                window.tell(code_page(texts::word_table_empty),
                            code_page(texts::word_table_caption));
            } else {
                window.show_word_table(std::move(table), std::string(texts::word_table_of_boxes));
            }
            break;
    }
}

std::string journal_time_text(std::int64_t unix_ms) {
    const std::int64_t seconds = unix_ms >= 0 ? unix_ms / 1000 : (unix_ms - 999) / 1000;
    const platform::LocalDateTime t = platform::local_time_of(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return text;
}

RunController::RunController(WindowShell& window, harvest::HarvestStore& store,
                             harvest::MarketplaceHosts hosts)
    : window_(window),
      store_(store),
      hosts_(std::move(hosts)),
      alive_(std::make_shared<RunController*>(this)) {}

RunController::~RunController() {
    *alive_ = nullptr;
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

void RunController::set_journal(journal::Journal* journal, std::string trouble) {
    journal_ = journal;
    journal_trouble_ = std::move(trouble);
}

void RunController::start_harvest() {
    if (running()) {
        return;
    }
    std::unique_ptr<journal::RunRecorder> recorder;
    journal_run_.reset();
    storage_failed_ = false;
    if (journal_ != nullptr) {
        // The ticks and the seed text as they are now: a continued run uses them again.
        const std::unique_ptr<RunWindow> window = window_.window_for_run({}, Silencing::none);
        harvest::KindSet kinds;
        for (harvest::KeywordSource source : harvest::all_sources) {
            if (window->read_checked(harvest::info(source).check_box)) {
                kinds.add(source);
            }
        }
        auto begun = journal_->begin_run(kinds, window->read_text(harvest::seed_box),
                                         journal::ResumeOffer::at_next_start, parallel_);
        if (begun) {
            recorder = std::move(*begun);
        } else {
            note_storage_trouble(begun.error().message);
        }
    } else if (!journal_trouble_.empty()) {
        note_storage_trouble(journal_trouble_);
    }
    // The run empties the boxes and the store first, as a harvest always does.
    run_harvest(0, std::move(recorder), HarvestStart::fresh);
}

void RunController::run_harvest(std::size_t first_seed,
                                std::unique_ptr<journal::RunRecorder> recorder,
                                HarvestStart start) {
    if (recorder != nullptr) {
        journal_run_ = recorder->run_id();
        recorder->on_failure(
            [this](const journal::JournalError& error) { note_storage_trouble(error.message); });
    }
    // A continued run's summary counts the words found before it too.
    std::size_t words_before = 0;
    if (start == HarvestStart::continued) {
        for (harvest::KeywordSource source : harvest::all_sources) {
            words_before += store_.word_rows(source).size();
        }
    }
    tally_.carry_words(words_before);
    tally_.run_started({}, first_seed);
    window_.show_progress(0, 0);
    progress_live_ = true;
    window_.set_progress_updates(true);
    // Shared with the work so that the worker, not the window's thread, lets
    // the recorder go once the run's end is stored.
    auto kept = std::make_shared<std::unique_ptr<journal::RunRecorder>>(std::move(recorder));
    run_in_background(
        "harvest",
        [this, first_seed, kept, start, interval = interval_, parallel = parallel_](
            RunWindow& window, std::stop_token stop) {
            harvest::ObserverList observers;
            observers.add(tally_);
            if (*kept != nullptr) {
                observers.add(**kept);
            }
            MarketplaceNotices notices(window, window_);
            observers.add(notices);
            const harvest::RunOptions options{
                .hosts = hosts_,
                .stop = std::move(stop),
                .observer = &observers,
                .first_seed = first_seed,
                .interval = interval,
                .on_verification =
                    [this, &window](const harvest::VerificationPage& page) {
                        return window_.pass_check_page(window, page);
                    },
                .parallel = parallel};
            if (start == HarvestStart::fresh) {
                harvest::start_harvest(window, store_, options);
            } else {
                harvest::run_harvest(window, store_, options);
            }
            kept->reset();
        },
        RunKind::harvest);
}

void RunController::set_parallel_requests(int parallel) {
    parallel_ = std::clamp(parallel, 1, harvest::max_parallel);
}

void RunController::note_storage_trouble(const std::string& why) {
    if (!storage_failed_.exchange(true)) {
        platform::log_warning("the harvest is kept in memory only: " + why);
    }
}

void RunController::update_progress() {
    const ProgressSnapshot now = tally_.snapshot();
    window_.show_progress(now.seeds_done, now.seeds_total);
    std::string line = progress_text(now);
    if (storage_failed_) {
        line = with_storage_notice(line);
    }
    window_.show_notice(line);
}

void RunController::stop_harvest() {
    if (stoppable()) {
        stop_asked_ = true;
        worker_.request_stop();
        window_.set_running(RunKind::other);  // "停止" is spent
    }
}

void RunController::fill_from(journal::LoadedRun& run) {
    const std::unique_ptr<RunWindow> window = window_.window_for_run({}, Silencing::none);
    window->set_text(harvest::seed_box, run.info.seed_text);
    for (harvest::KeywordSource source : harvest::all_sources) {
        const harvest::SourceInfo& info = harvest::info(source);
        window_.set_checked(info.check_box, run.info.kinds.has(source));
        std::string text;
        for (const harvest::WordRow& row : run.store.word_rows(source)) {
            text += row.word;
            text += "\r\n";
        }
        window->set_text(info.result_box, text);
    }
    window_.flush();
    store_ = std::move(run.store);
}

// A journal failure for the user: what could not be done, then the journal's own words.
void RunController::tell_journal_failure(std::string_view what,
                                         const journal::JournalError& error) {
    window_.tell(code_page(what) + "\n" + code_page(error.message),
                 code_page(texts::history_caption));
}

bool RunController::open_run(std::int64_t run) {
    if (running() || journal_ == nullptr) {
        return false;
    }
    auto loaded = journal_->load(run);
    if (!loaded) {
        tell_journal_failure(texts::cannot_open_run, loaded.error());
        return false;
    }
    fill_from(*loaded);
    if (progress_live_) {
        progress_live_ = false;
        window_.set_progress_updates(false);
    }
    tally_.carry_words(0);
    tally_.run_started({}, 0);
    window_.show_progress(loaded->first_unfinished, loaded->seeds.size());
    window_.show_notice(
        fill(code_page(texts::run_opened),
             {journal_time_text(loaded->info.started_ms), std::to_string(loaded->first_unfinished),
              std::to_string(loaded->seeds.size()), words_text(total_words(loaded->info))}));
    journal_run_ = run;
    return true;
}

bool RunController::continue_run(std::int64_t run) {
    if (running() || journal_ == nullptr) {
        return false;
    }
    auto resumed = journal_->resume_run(run, journal::ResumeOffer::at_next_start, parallel_);
    if (!resumed) {
        tell_journal_failure(texts::cannot_continue_run, resumed.error());
        return false;
    }
    storage_failed_ = false;
    journal::LoadedRun& loaded = resumed->first;
    const std::size_t first_seed = loaded.first_unfinished;
    fill_from(loaded);
    run_harvest(first_seed, std::move(resumed->second), HarvestStart::continued);
    return true;
}

void RunController::offer_resume() {
    if (journal_ == nullptr || running()) {
        return;
    }
    auto found = journal_->run_to_offer();
    if (!found || !*found) {
        return;
    }
    const journal::RunInfo& run = **found;
    // Asked once: whatever the answer, the run is not offered again.
    (void)journal_->offered(run.id);
    const std::string question =
        fill(code_page(texts::resume_question),
             {journal_time_text(run.started_ms), std::to_string(run.seeds_done),
              std::to_string(run.seeds_total), words_text(total_words(run)),
              std::to_string(run.seeds_done + 1)});
    platform::log_info("offering to continue interrupted run " + std::to_string(run.id));
    const platform::MessageResult answer = window_.tell(
        question, code_page(texts::resume_caption), {.buttons = platform::MessageButtons::yes_no});
    if (answer == platform::MessageResult::yes) {
        continue_run(run.id);
    }
}

void RunController::export_run(std::int64_t run, exporting::ExportFormat format) {
    if (running() || journal_ == nullptr) {
        return;
    }
    auto loaded = journal_->load(run);
    if (!loaded) {
        tell_journal_failure(texts::cannot_export_run, loaded.error());
        return;
    }
    auto kept = std::make_shared<harvest::HarvestStore>(std::move(loaded->store));
    run_in_background(
        "export",
        [kept, format](RunWindow& window, std::stop_token stop) {
            exporting::export_results(window, *kept, std::move(stop), format);
        },
        RunKind::other);
}

void RunController::export_results() {
    run_in_background(
        "export",
        [this](RunWindow& window, std::stop_token stop) {
            exporting::export_results(window, store_, std::move(stop));
        },
        RunKind::other);
}

void RunController::run_in_background(const char* what, Work work, RunKind kind) {
    if (running()) {
        return;
    }
    kind_ = kind;
    stop_asked_ = false;
    window_.set_running(kind);
    const std::uint64_t generation = ++generation_;
    // A harvest's failure messages can be silenced for the rest of the run.
    const Silencing silencing = kind == RunKind::harvest ? Silencing::offered : Silencing::none;
    worker_ = std::jthread([this, what, work = std::move(work), generation, silencing,
                            alive = alive_](std::stop_token stop) {
        // The thread's edge: nothing escapes it, and the window always hears
        // that the run is over.
        try {
            const std::unique_ptr<RunWindow> window = window_.window_for_run(stop, silencing);
            work(*window, stop);
        } catch (const std::exception& error) {
            platform::log_error(std::string(what) + " failed: " + error.what());
        } catch (...) {
            platform::log_error(std::string(what) + " failed with an unknown error");
        }
        window_.post([alive, generation] {
            if (RunController* controller = *alive) {
                controller->finish_background(generation);
            }
        });
    });
}

void RunController::finish_background(std::uint64_t generation) {
    if (generation != generation_ || !running()) {
        return;  // a run that was stopped and waited for already
    }
    worker_.join();
    end_background();
}

void RunController::stop_and_wait() {
    if (!running()) {
        return;
    }
    worker_.request_stop();
    worker_.join();
    end_background();
}

void RunController::end_background() {
    window_.flush();
    if (progress_live_) {
        progress_live_ = false;
        window_.set_progress_updates(false);
        update_progress();  // left as the run's summary
    }
    window_.set_running(std::nullopt);
    window_.run_finished(kind_);
}

}  // namespace quorvel::shell
