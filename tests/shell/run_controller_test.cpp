// The runs a window starts, through a front end that records what it is told:
// the window locked and freed, a harvest stopped while it waits on a message,
// the offer to continue an interrupted run, kept runs opened, and the notice
// when there is no journal.

#include "shell/run_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "harvest/keyword_source.h"
#include "tests/support/code_page_text.h"
#include "tests/support/environment.h"
#include "tests/support/scratch.h"

namespace quorvel::shell {
namespace {

using namespace std::chrono_literals;
using harvest::KeywordSource;
using harvest::KindSet;
using journal::RunState;
using platform::MessageResult;

using testsupport::gb;

// The names of a kind's result box and check box.
std::string result_box(KeywordSource source) {
    return std::string(harvest::info(source).result_box);
}
std::string check_box(KeywordSource source) {
    return std::string(harvest::info(source).check_box);
}

struct Message {
    std::string text;
    std::string caption;
    platform::MessageStyle style;
};

class FakeShell;

// The window operations a run sees: boxes and check boxes held here; a message
// box can be made to stay open until the run is stopped.
class FakeRunWindow : public RunWindow {
  public:
    FakeRunWindow(FakeShell& shell, std::stop_token stop) : shell_(shell), stop_(std::move(stop)) {}
    bool read_checked(std::string_view control) override;
    std::string read_text(std::string_view control) override;
    void set_text(std::string_view control, std::string_view text) override;
    void append_text(std::string_view control, std::string_view text) override;
    using platform::WindowOperations::show_message;
    MessageResult show_message(std::string_view text, platform::MessageStyle style,
                               std::string_view caption) override;
    MessageResult ask(std::string_view text, platform::MessageStyle style,
                      std::string_view caption) override {
        return show_message(text, style, caption);
    }
    bool input_pending() override { return false; }
    void pump_messages() override {}
    std::optional<std::string> show_save_dialog(std::string_view, std::string_view,
                                                std::string_view, std::string_view) override {
        return std::nullopt;
    }
    void open_with_shell(std::string_view) override {}
    void show_window(std::string_view) override {}
    void navigate(std::string_view, std::string_view) override {}

  private:
    FakeShell& shell_;
    std::stop_token stop_;
};

class FakeShell : public WindowShell {
  public:
    std::unique_ptr<RunWindow> window_for_run(std::stop_token stop, Silencing) override {
        return std::make_unique<FakeRunWindow>(*this, std::move(stop));
    }
    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        }
        changed.notify_all();
    }
    void flush() override {}
    void set_running(std::optional<RunKind> kind) override { running.push_back(kind); }
    void set_progress_updates(bool on) override { updates_on = on; }
    void show_progress(std::size_t done, std::size_t total) override { bar = {done, total}; }
    void show_notice(std::string_view text) override { notice = text; }
    void set_checked(std::string_view control, bool on) override {
        std::lock_guard lock(mutex);
        checked[std::string(control)] = on;
    }
    MessageResult tell(std::string_view text, std::string_view caption,
                       platform::MessageStyle style) override {
        told.push_back({std::string(text), std::string(caption), style});
        return answer;
    }
    void run_finished(RunKind kind) override { finished.push_back(kind); }
    harvest::VerificationAnswer pass_check_page(RunWindow&,
                                                const harvest::VerificationPage&) override {
        return harvest::VerificationAnswer::stop;
    }

    // Runs posted tasks on this thread until `done` holds; false on time-out.
    bool run_tasks_until(const std::function<bool()>& done, std::chrono::seconds limit = 30s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::unique_lock lock(mutex);
            if (!changed.wait_until(lock, end, [&] { return !tasks.empty() || done(); })) {
                return false;
            }
            while (!tasks.empty()) {
                auto task = std::move(tasks.front());
                tasks.pop_front();
                lock.unlock();
                task();
                lock.lock();
            }
        }
        return true;
    }
    std::string box(std::string_view name) {
        std::lock_guard lock(mutex);
        return boxes[std::string(name)];
    }

    std::mutex mutex;
    std::condition_variable_any changed;
    std::deque<std::function<void()>> tasks;
    std::map<std::string, std::string> boxes;
    std::map<std::string, bool> checked;
    std::vector<Message> shown;  // by runs, guarded by mutex
    bool hold_messages = false;  // messages stay open until the run is stopped
    std::vector<Message> told;   // by the controller itself
    MessageResult answer = MessageResult::no;
    std::vector<std::optional<RunKind>> running;
    std::vector<RunKind> finished;
    bool updates_on = false;
    std::pair<std::size_t, std::size_t> bar;
    std::string notice;
};

bool FakeRunWindow::read_checked(std::string_view control) {
    std::lock_guard lock(shell_.mutex);
    return shell_.checked[std::string(control)];
}
std::string FakeRunWindow::read_text(std::string_view control) {
    return shell_.box(control);
}
void FakeRunWindow::set_text(std::string_view control, std::string_view text) {
    std::lock_guard lock(shell_.mutex);
    shell_.boxes[std::string(control)] = text;
}
void FakeRunWindow::append_text(std::string_view control, std::string_view text) {
    std::lock_guard lock(shell_.mutex);
    shell_.boxes[std::string(control)] += text;
}
MessageResult FakeRunWindow::show_message(std::string_view text, platform::MessageStyle style,
                                          std::string_view caption) {
    std::unique_lock lock(shell_.mutex);
    shell_.shown.push_back({std::string(text), std::string(caption), style});
    shell_.changed.notify_all();
    if (shell_.hold_messages) {
        shell_.changed.wait(lock, stop_, [] { return false; });
        return MessageResult::cancel;
    }
    return MessageResult::ok;
}

class Runs : public ::testing::Test {
  protected:
    void SetUp() override {
        auto opened = journal::Journal::open(scratch_.path() / "journal.sqlite3");
        ASSERT_TRUE(opened) << opened.error().message;
        journal_.emplace(std::move(*opened));
    }
    bool idle() {
        return shell_.run_tasks_until([&] { return !controller_.running(); });
    }
    journal::RunInfo only_run() {
        auto runs = journal_->runs();
        EXPECT_TRUE(runs && runs->size() == 1);
        return runs && !runs->empty() ? runs->front() : journal::RunInfo{};
    }

    testsupport::ScratchFolder scratch_;
    std::optional<journal::Journal> journal_;
    FakeShell shell_;
    harvest::HarvestStore store_;
    // Nothing listens here, so a ticked kind fails at once.
    RunController controller_{shell_, store_, {"127.0.0.1:1", "127.0.0.1:1"}};
};

// Nothing ticked: the harvest asks nothing, but empties the boxes, locks the
// window while it runs, frees it after, and is kept as a finished run.
TEST_F(Runs, AHarvestLocksTheWindowWhileItRunsAndIsKept) {
    controller_.set_journal(&*journal_);
    shell_.boxes[std::string(harvest::seed_box)] = gb("连衣裙\r\n");
    shell_.boxes[result_box(KeywordSource::PcDropdown)] = "old\r\n";
    controller_.start_harvest();
    EXPECT_TRUE(controller_.running());
    EXPECT_TRUE(shell_.updates_on);
    ASSERT_TRUE(idle());
    EXPECT_EQ(shell_.running,
              (std::vector<std::optional<RunKind>>{RunKind::harvest, std::nullopt}));
    EXPECT_EQ(shell_.finished, std::vector<RunKind>{RunKind::harvest});
    EXPECT_FALSE(shell_.updates_on);
    EXPECT_EQ(shell_.box(result_box(KeywordSource::PcDropdown)), "");
    EXPECT_TRUE(shell_.shown.empty());
    const journal::RunInfo run = only_run();
    EXPECT_EQ(run.state, RunState::finished);
    EXPECT_EQ(run.seed_text, gb("连衣裙\r\n"));
    EXPECT_EQ(controller_.journal_run(), run.id);
    // The summary is left in the progress line.
    EXPECT_NE(shell_.notice.find(gb("已完成")), std::string::npos) << shell_.notice;
}

// "停止" while the run waits on its failure message: the message closes, the
// run ends as stopped and resumable, and "停止" is spent at once.
TEST_F(Runs, StopEndsAHarvestWaitingOnItsMessage) {
    controller_.set_journal(&*journal_);
    shell_.boxes[std::string(harvest::seed_box)] = "a\r\nb\r\n";
    shell_.checked[check_box(KeywordSource::PcDropdown)] = true;
    shell_.hold_messages = true;
    controller_.start_harvest();
    {
        std::unique_lock lock(shell_.mutex);
        ASSERT_TRUE(shell_.changed.wait_for(lock, 30s, [&] { return !shell_.shown.empty(); }));
        EXPECT_EQ(shell_.shown.front().text, gb("抓取下拉词失败"));
        EXPECT_EQ(shell_.shown.front().caption, platform::default_message_caption);
    }
    EXPECT_TRUE(controller_.stoppable());
    controller_.stop_harvest();
    EXPECT_FALSE(controller_.stoppable());
    EXPECT_EQ(shell_.running.back(), RunKind::other);  // still locked, "停止" spent
    ASSERT_TRUE(idle());
    EXPECT_EQ(shell_.running.back(), std::nullopt);
    const journal::RunInfo run = only_run();
    EXPECT_EQ(run.state, RunState::stopped);
    EXPECT_EQ(run.seeds_done, 0u);
    EXPECT_NE(shell_.notice.find(gb("已停止")), std::string::npos) << shell_.notice;
}

// An interrupted run is offered once, with what it had done; yes continues it
// from its first unfinished seed with its own seeds and ticks.
TEST_F(Runs, AnInterruptedRunIsOfferedOnceAndContinuedOnYes) {
    std::int64_t id = 0;
    {
        auto recorder = journal_->begin_run(KindSet().add(KeywordSource::DidYouMean), "a\r\nb\r\n",
                                            journal::ResumeOffer::at_next_start);
        ASSERT_TRUE(recorder);
        id = (*recorder)->run_id();
        (*recorder)->run_started({"a", "b"}, 0);
        (*recorder)->word_recorded(KeywordSource::DidYouMean, 0, "a", "w1", "");
        (*recorder)->seed_finished(0, harvest::SeedRow{"a", {0, 0, 0, 0, 1}});
    }  // gone before its end: interrupted
    controller_.set_journal(&*journal_);
    shell_.answer = MessageResult::yes;
    // The continued seed fails at once here; its message is answered with OK.
    controller_.offer_resume();
    ASSERT_EQ(shell_.told.size(), 1u);
    const Message& offer = shell_.told.front();
    EXPECT_EQ(offer.caption, gb("继续上次的搜索"));
    EXPECT_EQ(offer.style.buttons, platform::MessageButtons::yes_no);
    EXPECT_NE(offer.text.find(gb("已完成关键词 1/2，找到词 1 个")), std::string::npos);
    EXPECT_NE(offer.text.find(gb("是否从第 2 个关键词继续？")), std::string::npos);
    EXPECT_TRUE(controller_.running());
    EXPECT_EQ(shell_.box(harvest::seed_box), "a\r\nb\r\n");
    EXPECT_TRUE(shell_.checked[check_box(KeywordSource::DidYouMean)]);
    EXPECT_FALSE(shell_.checked[check_box(KeywordSource::PcDropdown)]);
    ASSERT_TRUE(idle());
    const journal::RunInfo run = only_run();
    EXPECT_EQ(run.id, id);
    EXPECT_EQ(run.state, RunState::finished);
    EXPECT_EQ(run.seeds_done, 2u);
    // Kept words of the first seed are still there, shown and stored.
    EXPECT_EQ(shell_.box(result_box(KeywordSource::DidYouMean)), "w1\r\n");
    EXPECT_EQ(store_.word_rows(KeywordSource::DidYouMean).size(), 1u);
    // The summary and the history count the whole run, not only what the
    // continued part found.
    EXPECT_EQ(controller_.progress().words, 1u);
    EXPECT_EQ(run.words[harvest::index_of(KeywordSource::DidYouMean)], 1);

    controller_.offer_resume();
    EXPECT_EQ(shell_.told.size(), 1u);
}

// A kept run fills the window and the store, and says so in the progress
// line; a run the journal lacks is refused with the journal's reason.
TEST_F(Runs, OpeningAKeptRunFillsTheWindowAndTheStore) {
    testsupport::ScopedEnv zone("TZ", "UTC0");
    testsupport::use_time_zone("UTC0");
    std::int64_t id = 0;
    {
        auto recorder = journal_->begin_run(KindSet().add(KeywordSource::PcDropdown), "s\r\n",
                                            journal::ResumeOffer::none);
        ASSERT_TRUE(recorder);
        id = (*recorder)->run_id();
        (*recorder)->run_started({"s"}, 0);
        (*recorder)->word_recorded(KeywordSource::PcDropdown, 0, "s", gb("连衣裙"), "");
        (*recorder)->word_recorded(KeywordSource::PcDropdown, 0, "s", "w2", "");
        (*recorder)->seed_finished(0, harvest::SeedRow{"s", {2, 0, 0, 0, 0}});
        (*recorder)->run_ended(harvest::RunEnd::finished);
    }
    controller_.set_journal(&*journal_);
    ASSERT_TRUE(controller_.open_run(id));
    EXPECT_EQ(shell_.box(harvest::seed_box), "s\r\n");
    EXPECT_EQ(shell_.box(result_box(KeywordSource::PcDropdown)), gb("连衣裙") + "\r\nw2\r\n");
    EXPECT_EQ(shell_.box(result_box(KeywordSource::ArrowWords)), "");
    EXPECT_TRUE(shell_.checked[check_box(KeywordSource::PcDropdown)]);
    EXPECT_EQ(store_.word_rows(KeywordSource::PcDropdown).size(), 2u);
    EXPECT_EQ(shell_.bar, (std::pair<std::size_t, std::size_t>{1, 1}));
    const std::string started = journal_time_text(only_run().started_ms);
    EXPECT_EQ(shell_.notice, gb("已打开历史记录 · " + started + " · 关键词 1/1 · 词 2"));
    EXPECT_EQ(controller_.journal_run(), id);

    EXPECT_FALSE(controller_.open_run(id + 100));
    ASSERT_EQ(shell_.told.size(), 1u);
    EXPECT_EQ(shell_.told.front().caption, gb("历史记录"));
    EXPECT_EQ(shell_.told.front().text.rfind(gb("无法打开这次搜索。\n"), 0), 0u);

    EXPECT_EQ(journal_time_text(0), "1970-01-01 00:00");
    EXPECT_EQ(journal_time_text(1733752859999), "2024-12-09 14:00");
}

// Without a journal the harvest runs all the same, and the progress line says
// that its results are in the window only.
TEST_F(Runs, WithoutAJournalTheProgressLineSaysSo) {
    controller_.set_journal(nullptr, "no data folder");
    shell_.boxes[std::string(harvest::seed_box)] = "a\r\n";
    controller_.start_harvest();
    ASSERT_TRUE(idle());
    EXPECT_EQ(shell_.notice.rfind(std::string(storage_failed_text), 0), 0u) << shell_.notice;
    EXPECT_EQ(controller_.journal_run(), std::nullopt);
}

}  // namespace
}  // namespace quorvel::shell
