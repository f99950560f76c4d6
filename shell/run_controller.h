#pragma once
// The runs a main window starts, whatever draws it: a harvest, an export, a
// kept run opened, continued or exported again, and the offer to continue a
// harvest the program's death interrupted. A harvest or an export runs on one
// worker thread with its own stop signal; search and export are locked while
// it runs; the progress is tallied from the harvest's calls and shown by the
// front end on its own timer; every harvest is kept in the journal as it
// happens, when there is one.
//
// The front end draws the controls of the control table and implements
// WindowShell. Every member here is called on the window's thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "export/export.h"
#include "harvest/harvest_run.h"
#include "harvest/harvest_store.h"
#include "harvest/sources.h"
#include "journal/journal.h"
#include "platform/window_operations.h"
#include "research/word_table.h"
#include "shell/control_table.h"
#include "shell/run_progress.h"

namespace quorvel::shell {

// What a run holds the window for: a harvest can be stopped with "停止".
enum class RunKind { harvest, other };

// A harvest's failure messages can be silenced: the first one shown carries
// the check box "本次搜索不再提示", and once it is ticked the run's further
// messages are logged and answered with OK at once.
enum class Silencing { none, offered };

// The window operations as one run sees them, from its worker thread: every
// wait for the window's thread ends at once when the run's stop is requested
// (answering with an empty value, or Cancel for a message box), and a dialog
// open for the run is closed.
class RunWindow : public platform::WindowOperations {
  public:
    // A question the run must put to the user even when its failure messages
    // are silenced (code-page text); Cancel when the run is stopped meanwhile.
    virtual platform::MessageResult ask(std::string_view text, platform::MessageStyle style,
                                        std::string_view caption) = 0;
};

// A run's window whose failure messages can be silenced (Silencing::offered):
// the first one shown carries the check box "本次搜索不再提示", and once it is
// ticked the run's further messages are logged and answered with OK at once.
class SilenceableRunWindow : public RunWindow {
  public:
    explicit SilenceableRunWindow(Silencing silencing) : silencing_(silencing) {}
    using platform::WindowOperations::show_message;
    platform::MessageResult show_message(std::string_view text, platform::MessageStyle style,
                                         std::string_view caption) final;

  protected:
    // A message box with the check box `check` (UTF-8) under its text: the
    // answer, and whether the box was ticked; Cancel, unticked, when the run
    // is stopped meanwhile.
    virtual std::pair<platform::MessageResult, bool> ask_with_check(std::string_view text,
                                                                    platform::MessageStyle style,
                                                                    std::string_view caption,
                                                                    std::string_view check) = 0;

  private:
    Silencing silencing_;
    bool silenced_ = false;
};

// What the runs need of a front end. Called on the window's thread, except
// where it says otherwise. Texts are code-page text.
class WindowShell {
  public:
    virtual ~WindowShell() = default;

    // The window operations for a run on another thread (`stop` empty for
    // work on the window's thread).
    virtual std::unique_ptr<RunWindow> window_for_run(std::stop_token stop,
                                                      Silencing silencing) = 0;
    // Runs `task` on the window's thread soon; callable from any thread.
    virtual void post(std::function<void()> task) = 0;
    // Applies every text change a run has queued.
    virtual void flush() = 0;

    // Locks search and export while a run of `kind` goes on; "停止" is live
    // for a harvest only. Nothing: the window is idle again.
    virtual void set_running(std::optional<RunKind> kind) = 0;
    // Starts or stops the timer that calls RunController::update_progress
    // about ten times a second.
    virtual void set_progress_updates(bool on) = 0;
    // The progress bar: `done` of `total` seeds.
    virtual void show_progress(std::size_t done, std::size_t total) = 0;
    // The progress line's text, cut to fit with the whole text at hand.
    virtual void show_notice(std::string_view text) = 0;
    // Ticks or clears a check box of the table.
    virtual void set_checked(std::string_view control, bool checked) = 0;
    // A message box modal to the window, with one OK button unless `style`
    // asks for more.
    virtual platform::MessageResult tell(std::string_view text, std::string_view caption,
                                         platform::MessageStyle style = {}) = 0;
    // A harvest or an export has ended and the window is idle again.
    virtual void run_finished(RunKind kind) = 0;

    // The windows a click opens.
    virtual void show_index_window() {}
    // The history window, over the run controller's journal (there is one).
    virtual void show_history() {}
    // The settings; what is accepted applies from the next harvest on.
    virtual void show_settings() {}
    // A word-table window over `table`, titled `title` (UTF-8).
    virtual void show_word_table(std::shared_ptr<const research::WordTable> /*table*/,
                                 std::string /*title*/) {}

    // Whether the front end can open a sign-in window: the notice for a kind
    // that needs a session then offers it.
    virtual bool can_sign_in() const { return false; }
    // Opens the sign-in window (posted from the run).
    virtual void show_sign_in() {}
    // Ends the marketplace session.
    virtual void sign_out() {}
    // The marketplace asks for a check page: asked on the run's thread, the
    // run waits for the answer.
    virtual harvest::VerificationAnswer pass_check_page(RunWindow& window,
                                                        const harvest::VerificationPage& page) = 0;
};

class RunController {
  public:
    RunController(WindowShell& window, harvest::HarvestStore& store,
                  harvest::MarketplaceHosts hosts = {});
    // Stops the run in flight and waits for it.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // The journal every harvest is kept in. None with a `trouble` text: it
    // could not be opened, which each harvest says once. None without one:
    // harvests are kept in memory only, silently.
    void set_journal(journal::Journal* journal, std::string trouble = {});
    journal::Journal* journal() const { return journal_; }
    // Why there is no journal, if there is none.
    const std::string& journal_trouble() const { return journal_trouble_; }
    // What the last harvest, or the run opened from the history, found.
    const harvest::HarvestStore& store() const { return store_; }
    // The marketplace's hosts every request of this window goes to.
    const harvest::MarketplaceHosts& hosts() const { return hosts_; }
    // The pause between requests from the next harvest on.
    void set_request_interval(std::chrono::milliseconds interval) { interval_ = interval; }
    // How many requests a harvest keeps in flight from the next one on,
    // brought into 1..harvest::max_parallel; the journal records it per run.
    void set_parallel_requests(int parallel);

    // "搜索": empties the boxes and the store and harvests the seed box's seeds.
    void start_harvest();
    // "导出结果": asks for a file name and writes the store there.
    void export_results();
    // "停止": ends the harvest in flight; what it found stays.
    void stop_harvest();
    // Whether a harvest or an export is running.
    bool running() const { return worker_.joinable(); }
    // Whether the harvest in flight may still be stopped.
    bool stoppable() const { return running() && kind_ == RunKind::harvest && !stop_asked_; }
    // Stops the run in flight, if any, and waits for its worker (closing).
    void stop_and_wait();

    // Asks once whether to continue the newest harvest that the program's
    // death interrupted, if the journal holds one, and continues it on yes.
    void offer_resume();
    // Fills the seed box, the check boxes and the result boxes with a kept
    // run, and the store with what it found, so that the export writes it.
    bool open_run(std::int64_t run);
    // Opens a stopped or interrupted run and goes on from its first
    // unfinished seed.
    bool continue_run(std::int64_t run);
    // Asks for a file name and writes a kept run there in `format`.
    void export_run(std::int64_t run, exporting::ExportFormat format);
    // Whether a kept run may be deleted now: not the one being harvested.
    bool can_delete(std::int64_t run) const { return !(running() && journal_run_ == run); }

    // Shows the progress of the run as it stands (the front end's timer).
    void update_progress();
    shell::ProgressSnapshot progress() const { return tally_.snapshot(); }
    // The journal's id of the current or last harvest, if it was kept.
    std::optional<std::int64_t> journal_run() const { return journal_run_; }

  private:
    using Work = std::function<void(RunWindow&, std::stop_token)>;
    enum class HarvestStart { fresh, continued };
    void run_harvest(std::size_t first_seed, std::unique_ptr<journal::RunRecorder> recorder,
                     HarvestStart start);
    // Runs `work` on the worker thread with search and export locked. An
    // exception escaping the work is logged, and the window returns to idle
    // all the same.
    void run_in_background(const char* what, Work work, RunKind kind);
    void finish_background(std::uint64_t generation);
    void end_background();
    void fill_from(journal::LoadedRun& run);
    void tell_journal_failure(std::string_view what, const journal::JournalError& error);
    // A journal write failed or there is none: said once in the progress line and the log.
    void note_storage_trouble(const std::string& why);

    WindowShell& window_;
    harvest::HarvestStore& store_;
    harvest::MarketplaceHosts hosts_;
    std::chrono::milliseconds interval_{0};
    int parallel_ = 1;
    shell::RunTally tally_;
    journal::Journal* journal_ = nullptr;
    std::string journal_trouble_;
    std::optional<std::int64_t> journal_run_;
    std::atomic<bool> storage_failed_{false};
    bool progress_live_ = false;
    RunKind kind_ = RunKind::other;
    bool stop_asked_ = false;
    std::jthread worker_;
    // Which run the worker belongs to, so a late "done" of a stopped run is ignored.
    std::uint64_t generation_ = 0;
    // Ends with the controller: posted tasks that outlive it do nothing.
    std::shared_ptr<RunController*> alive_;
};

// Does what a click on a control of the table asks (window's thread).
void perform(ControlAction action, RunController& runs, WindowShell& window);

// "2026-12-09 14:05", the local time of a journal's milliseconds since 1970.
std::string journal_time_text(std::int64_t unix_ms);

}  // namespace quorvel::shell
