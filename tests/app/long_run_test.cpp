// Long harvests in the real window (offscreen): the progress line, stopping
// a run, failure messages silenced for one run, every harvest kept in the
// journal, a run killed in another process offered and continued, and a
// journal that cannot be written.

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <memory>
#include <optional>

#include "app/history_window.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/settings_dialog.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "shell/control_table.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/captured_log.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"
#include "tests/support/window_driver.h"

using namespace quorvel;
using app::MainWindow;
using harvest::KeywordSource;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::u;

namespace {

// Five seeds; the fake holds the third one's PC suggestions while the run waits.
constexpr const char* five_seeds = "连衣裙\n雪纺衫\n半身裙慢\n牛仔裤\n风衣";
constexpr const char* slow_seed = "半身裙慢";

}  // namespace

class LongRunTest : public QObject {
    Q_OBJECT

    testsupport::FakeMarketplace* fake_ = nullptr;
    harvest::HarvestStore store_;
    testsupport::AnsweringDialogs dialogs_;
    std::unique_ptr<testsupport::ScratchFolder> folder_;
    std::optional<journal::Journal> journal_;
    std::unique_ptr<MainWindow> window_;

    template <typename W>
    W* find(std::string_view name) {
        return testsupport::find_control<W>(window_.get(), name);
    }
    void new_window(journal::Journal* journal) {
        window_ = std::make_unique<MainWindow>(
            store_, dialogs_, harvest::MarketplaceHosts{fake_->host(), fake_->host()});
        window_->set_journal(journal);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void seeds(const char* utf8) { find<QPlainTextEdit>(harvest::seed_box)->setPlainText(u(utf8)); }
    QCheckBox* check_box(KeywordSource source) {
        return testsupport::check_box(window_.get(), source);
    }
    QPlainTextEdit* result_box(KeywordSource source) {
        return testsupport::result_box(window_.get(), source);
    }
    void tick_all() {
        for (KeywordSource source : harvest::all_sources) {
            check_box(source)->setChecked(true);
        }
    }
    QString line() { return find<QLabel>(shell::progress_line)->text(); }
    bool click_and_wait(std::string_view button, void (MainWindow::*finished)()) {
        QSignalSpy spy(window_.get(), finished);
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
        return spy.wait(60000);
    }
    bool harvest() { return click_and_wait(shell::search_button, &MainWindow::harvest_finished); }
    bool export_words() {
        return click_and_wait(shell::export_button, &MainWindow::export_finished);
    }
    int box_lines() {
        int lines = 0;
        for (harvest::KeywordSource source : harvest::all_sources) {
            lines += window_->window_operations().for_run({}).line_count(
                harvest::info(source).result_box);
        }
        return lines;
    }
    int stored_words() {
        int words = 0;
        for (KeywordSource source : harvest::all_sources) {
            words += static_cast<int>(store_.word_rows(source).size());
        }
        return words;
    }
    bool buttons_idle() {
        return find<QPushButton>(shell::search_button)->isEnabled() &&
               find<QPushButton>(shell::export_button)->isEnabled() &&
               !find<QPushButton>(shell::stop_button)->isEnabled();
    }

  private slots:
    void initTestCase() {
        // Settings go to a test location, not the user's.
        QStandardPaths::setTestModeEnabled(true);
        app::WindowSettings{}.save();
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        fake_ = new testsupport::FakeMarketplace();
        fake_->fail(Endpoint::pc, slow_seed, Failure::hang);
    }
    void cleanupTestCase() {
        app::WindowSettings{}.save();
        delete fake_;
    }
    void init() {
        app::WindowSettings{}.save();  // no pacing unless a test sets it
        store_.clear();
        dialogs_ = {};
        folder_ = std::make_unique<testsupport::ScratchFolder>();
        auto opened = journal::Journal::open(*folder_ / "quorvel.sqlite3");
        QVERIFY2(opened, opened ? "" : opened.error().message.c_str());
        journal_.emplace(std::move(*opened));
        new_window(&*journal_);
    }
    void cleanup() {
        window_.reset();
        journal_.reset();
        folder_.reset();
    }

    // The new controls keep to the free band under the result boxes.
    void additions_keep_to_the_free_band() {
        const QRect band(128, 467, 496, 62);  // between the boxes, the panel and "帮助"
        const QRect index_button = find<QPushButton>(shell::index_button)->geometry();
        for (std::string_view name : {shell::progress_bar, shell::stop_button,
                                      shell::history_button, shell::progress_line}) {
            const QRect at = find<QWidget>(name)->geometry();
            QVERIFY2(band.contains(at), name.data());
            QVERIFY2(!at.intersects(index_button), name.data());
        }
        QCOMPARE(find<QPushButton>(shell::stop_button)->text(), u("停止"));
        QVERIFY(!find<QPushButton>(shell::stop_button)->isEnabled());
        // The strip under the panel and the boxes: sign-in and settings,
        // inside the window and clear of every other control.
        const QRect strip(0, 529, 741, 29);
        const QStringList bottom = {u(shell::sign_in_button), u(shell::sign_in_state),
                                    u(shell::sign_out_button), u(shell::settings_button)};
        for (const QString& name : bottom) {
            const QRect at = window_->findChild<QWidget*>(name)->geometry();
            QVERIFY2(strip.contains(at), qPrintable(name));
            for (QWidget* other : window_->findChildren<QWidget*>()) {
                if (other != window_->findChild<QWidget*>(name) &&
                    other->parentWidget() == window_.get() && other->isVisible() &&
                    !bottom.contains(other->objectName())) {
                    QVERIFY2(!at.intersects(other->geometry()),
                             qPrintable(name + u(" / ") + other->objectName()));
                }
            }
        }
        QCOMPARE(find<QPushButton>(shell::sign_in_button)->text(), u("登录淘宝"));
        QCOMPARE(find<QPushButton>(shell::sign_out_button)->text(), u("退出登录"));
        QCOMPARE(find<QLabel>(shell::sign_in_state)->text(), u("未登录"));
    }

    // Seed k of n and the seed asked while the run waits for its reply; a
    // click on "停止" ends it at once, keeping what was found everywhere.
    void progress_then_stop_mid_run() {
        seeds(five_seeds);
        tick_all();
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window_->progress().current, 3u, 60000);
        QTest::qWait(250);  // the next progress update
        const shell::ProgressSnapshot now = window_->progress();
        QCOMPARE(now.seeds_done, 2u);
        QCOMPARE(static_cast<int>(now.words), box_lines());
        const QString counts = u("关键词 3/5 · 半身裙慢 · 词 ") +
                               app::qt_from_code_page(shell::grouped(now.words)) +
                               u(" · 失败 0 · 已用 ");
        QVERIFY2(line().startsWith(counts), qPrintable(line()));
        // Then the time used and the time left, however long this machine took.
        QVERIFY2(QRegularExpression(u("^[0-9:]+ · 剩余约 [0-9:]+$"))
                     .match(line().mid(counts.size()))
                     .hasMatch(),
                 qPrintable(line()));
        QCOMPARE(find<QProgressBar>(shell::progress_bar)->value(), 2);
        QCOMPARE(find<QProgressBar>(shell::progress_bar)->maximum(), 5);
        QVERIFY(!find<QPushButton>(shell::search_button)->isEnabled());
        QVERIFY(!find<QPushButton>(shell::export_button)->isEnabled());
        QVERIFY(find<QPushButton>(shell::stop_button)->isEnabled());

        QTest::mouseClick(find<QPushButton>(shell::stop_button), Qt::LeftButton);
        QVERIFY(finished.wait(60000));
        // The run did not wait for the reply it was held on: it was never sent.
        QCOMPARE(fake_->held_replies_sent(), std::size_t{0});
        QVERIFY(fake_->await_held_requests_dropped(1));
        QVERIFY(buttons_idle());
        QCOMPARE(store_.seed_rows().size(), 2u);
        QVERIFY2(line().startsWith(u("已停止 · 关键词 2/5 · 词 ")), qPrintable(line()));
        // The boxes show what the store and the journal hold.
        QCOMPARE(box_lines(), stored_words());
        QVERIFY(window_->journal_run());
        auto kept = journal_->load(*window_->journal_run());
        QVERIFY(kept);
        QCOMPARE(kept->info.state, journal::RunState::stopped);
        QVERIFY(kept->store == store_);

        // What was found is exported.
        const auto path = *folder_ / "found.csv";
        dialogs_.next_path = QString::fromStdString(path.string());
        QVERIFY(export_words());
        const auto expected = *folder_ / "expected.csv";
        QVERIFY(exporting::export_to_file(expected.string(), store_));
        QCOMPARE(testsupport::file_bytes(path), testsupport::file_bytes(expected));
    }

    // A finished run leaves its summary, and the journal holds it whole.
    void a_finished_run_is_kept_and_summed_up() {
        seeds("连衣裙\n雪纺衫");
        tick_all();
        QVERIFY(harvest());
        QVERIFY2(line().startsWith(u("已完成 · 关键词 2/2 · 词 ")), qPrintable(line()));
        QVERIFY2(line().contains(u(" · 失败 0 · 用时 0:0")), qPrintable(line()));
        QCOMPARE(find<QProgressBar>(shell::progress_bar)->value(), 2);
        auto kept = journal_->load(*window_->journal_run());
        QVERIFY(kept);
        QCOMPARE(kept->info.state, journal::RunState::finished);
        QCOMPARE(kept->info.kinds, harvest::KindSet::all());
        QCOMPARE(kept->info.seed_text, app::code_page_from_qt(u("连衣裙\r\n雪纺衫")));
        QVERIFY(kept->store == store_);
    }

    // Ticking "本次搜索不再提示" in the first failure message silences the rest
    // of that run, which still counts them; the next run shows them again.
    void failure_messages_silenced_for_one_run() {
        for (const char* seed : {"失败一", "失败二", "失败三"}) {
            fake_->fail(Endpoint::pc, seed, Failure::empty_body);
        }
        seeds("失败一\n失败二\n失败三");
        check_box(KeywordSource::PcDropdown)->setChecked(true);
        testsupport::CapturedLog log;
        dialogs_.tick_check = true;
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].text, u("抓取下拉词失败"));
        QCOMPARE(dialogs_.messages[0].check, u("本次搜索不再提示"));
        QCOMPARE(window_->progress().failures, 3u);
        QVERIFY2(line().contains(u(" · 失败 3 · ")), qPrintable(line()));
        QCOMPARE(store_.seed_rows().size(), 3u);
        int unshown = 0;
        for (const auto& logged : log.lines()) {
            unshown += logged.message.find("not shown") != std::string::npos ? 1 : 0;
        }
        QCOMPARE(unshown, 2);

        dialogs_.messages.clear();
        dialogs_.tick_check = false;
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 3);
    }

    // A harvest killed with its process is offered once at the next start;
    // continued, it ends as a harvest never interrupted.
    void a_killed_run_is_offered_and_continued() {
        // From the fourth seed on each reply is slow, so the kill comes mid-run.
        const char* seed_text = "连衣裙\n雪纺衫\n半身裙\n牛仔裤缓\n风衣缓\n衬衫缓\n卫衣缓\n毛衣缓";
        for (const char* slow : {"牛仔裤缓", "风衣缓", "衬衫缓", "卫衣缓", "毛衣缓"}) {
            fake_->fail(Endpoint::pc, slow, Failure::slow);
        }
        window_.reset();
        journal_.reset();
        const auto file = *folder_ / "quorvel.sqlite3";
        fake_->clear_requests();
        {
            testsupport::ChildProcess child({QUORVEL_WINDOW_CHILD, file.string(), fake_->host(),
                                             testsupport::test_certificate().cert_path, seed_text},
                                            {{"QT_QPA_PLATFORM", "offscreen"}});
            QTRY_VERIFY_WITH_TIMEOUT(fake_->requests().size() >= 20, 60000);  // in the fourth seed
            child.send_signal(SIGKILL);
            QCOMPARE(child.wait().signal, SIGKILL);
        }

        auto reopened = journal::Journal::open(file);
        QVERIFY(reopened);
        journal_.emplace(std::move(*reopened));
        new_window(&*journal_);
        dialogs_.next_answer = platform::MessageResult::yes;
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        window_->offer_resume();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY2(dialogs_.messages[0].text.startsWith(u("上次的搜索没有完成")),
                 qPrintable(dialogs_.messages[0].text));
        QCOMPARE(dialogs_.messages[0].style.buttons, platform::MessageButtons::yes_no);
        QVERIFY(finished.wait(60000));
        const std::int64_t id = *window_->journal_run();
        // The boxes hold what the killed run had kept and what followed.
        QCOMPARE(box_lines(), stored_words());
        QVERIFY(window_->progress().first_seed > 0);
        const harvest::HarvestStore continued = store_;
        const QString seed_box = find<QPlainTextEdit>(harvest::seed_box)->toPlainText();
        QCOMPARE(seed_box, u(seed_text));
        auto kept = journal_->load(id);
        QVERIFY(kept);
        QCOMPARE(kept->info.state, journal::RunState::finished);
        QVERIFY(kept->store == continued);

        // Asked once only.
        dialogs_.messages.clear();
        window_->offer_resume();
        QCOMPARE(dialogs_.messages.size(), 0);

        // The same seeds in one go, kept nowhere.
        new_window(nullptr);
        seeds(seed_text);
        tick_all();
        QVERIFY(harvest());
        QVERIFY(store_ == continued);
    }

    // A run killed and declined stays in the journal, interrupted.
    void a_declined_run_stays_interrupted() {
        auto recorder = journal_->begin_run(harvest::KindSet::all(), "a\r\nb\r\n",
                                            journal::ResumeOffer::at_next_start);
        QVERIFY(recorder);
        const std::int64_t id = (*recorder)->run_id();
        (*recorder)->seed_finished(0, harvest::SeedRow{"a", {}});
        (*recorder)->flush();
        recorder->reset();  // gone without its end, as if killed
        dialogs_.next_answer = platform::MessageResult::no;
        window_->offer_resume();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(!window_->harvest_running());
        QCOMPARE(journal_->load(id)->info.state, journal::RunState::interrupted);

        // The history goes on with it, from its first unfinished seed.
        QTest::mouseClick(find<QPushButton>(shell::history_button), Qt::LeftButton);
        app::HistoryWindow* history = window_->history_window();
        QVERIFY(history->select_run(id));
        auto* go_on = history->findChild<QPushButton*>(u("continueButton"));
        QVERIFY(go_on->isEnabled());
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(go_on, Qt::LeftButton);
        QVERIFY(finished.wait(60000));
        auto kept = journal_->load(id);
        QCOMPARE(kept->info.state, journal::RunState::finished);
        QCOMPARE(kept->store.seed_rows().size(), 2u);
        QCOMPARE(window_->progress().first_seed, 1u);
        history->reload();
        QVERIFY(history->select_run(id));
        QVERIFY(!go_on->isEnabled());  // finished: nothing left
    }

    // The history window opens a kept run into the main window, exports one
    // directly and deletes one after asking.
    void history_opens_exports_and_deletes() {
        seeds("连衣裙\n雪纺衫");
        check_box(KeywordSource::PcDropdown)->setChecked(true);
        check_box(KeywordSource::DidYouMean)->setChecked(true);
        QVERIFY(harvest());
        const std::int64_t older = *window_->journal_run();
        const harvest::HarvestStore older_store = store_;
        seeds("风衣");
        tick_all();
        QVERIFY(harvest());
        const std::int64_t newer = *window_->journal_run();

        QTest::mouseClick(find<QPushButton>(shell::history_button), Qt::LeftButton);
        app::HistoryWindow* history = window_->history_window();
        QVERIFY(history != nullptr && history->isVisible());
        // A harvest that ends while the list is open is listed.
        QVERIFY(harvest());
        const std::int64_t newest = *window_->journal_run();
        QVERIFY(history->select_run(newest));
        QVERIFY(journal_->remove(newest));
        history->reload();
        auto press = [&](const char* name) {
            auto* button = history->findChild<QPushButton*>(u(name));
            QVERIFY(button != nullptr && button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
        };

        // Opened: the seeds, the ticks and the words of the older run, and the
        // export button writes it.
        QVERIFY(history->select_run(older));
        press("openButton");
        QCOMPARE(find<QPlainTextEdit>(harvest::seed_box)->toPlainText(), u("连衣裙\n雪纺衫"));
        QVERIFY(check_box(KeywordSource::PcDropdown)->isChecked());
        QVERIFY(!check_box(KeywordSource::ArrowWords)->isChecked());
        QVERIFY(check_box(KeywordSource::DidYouMean)->isChecked());
        QVERIFY(store_ == older_store);
        QCOMPARE(result_box(KeywordSource::PcDropdown)->toPlainText().count(u'\n'),
                 static_cast<qsizetype>(
                     older_store.word_rows(harvest::KeywordSource::PcDropdown).size()));
        QCOMPARE(result_box(KeywordSource::ArrowWords)->toPlainText(), QString());
        const auto expected = *folder_ / "expected-older.csv";
        QVERIFY(exporting::export_to_file(expected.string(), older_store));
        const auto opened = *folder_ / "opened.csv";
        dialogs_.next_path = QString::fromStdString(opened.string());
        QVERIFY(export_words());
        QCOMPARE(testsupport::file_bytes(opened), testsupport::file_bytes(expected));

        // Exported directly as CSV, whatever is in the boxes.
        auto kept = journal_->load(newer);
        QVERIFY(kept);
        const auto expected_csv = *folder_ / "expected.csv";
        QVERIFY(exporting::export_to_file(expected_csv.string(), kept->store));
        const auto direct = *folder_ / "direct";
        dialogs_.next_path = QString::fromStdString(direct.string());
        QVERIFY(history->select_run(newer));
        {
            QSignalSpy exported(window_.get(), &MainWindow::export_finished);
            press("exportCsvButton");
            QVERIFY(exported.wait(60000));
        }
        QCOMPARE(testsupport::file_bytes(direct), testsupport::file_bytes(expected_csv));
        QCOMPARE(dialogs_.save_dialogs.back().filters.contains(u("*.csv")), true);
        QCOMPARE(dialogs_.save_dialogs.back().filters.contains(u("*.xlsx")), false);

        // Deleted after a yes; a no keeps it.
        QVERIFY(history->select_run(older));
        dialogs_.next_answer = platform::MessageResult::no;
        press("deleteButton");
        QCOMPARE(journal_->runs()->size(), 2u);
        dialogs_.next_answer = platform::MessageResult::yes;
        QVERIFY(history->select_run(older));
        press("deleteButton");
        QCOMPARE(journal_->runs()->size(), 1u);
        QCOMPARE(journal_->runs()->front().id, newer);

        // Closing the main window closes the history too, so the program ends.
        QPointer<app::HistoryWindow> still_open = history;
        window_->close();
        QTRY_VERIFY_WITH_TIMEOUT(still_open == nullptr || !still_open->isVisible(), 60000);
    }

    // The least time between two requests and the number of requests at once
    // are set in the settings dialog, carried to the next harvest (the journal
    // records the number) and kept for the next start. The dialog's "检测连接"
    // asks the window's marketplace once per kind.
    void pacing_is_set_in_the_settings_and_kept() {
        QCOMPARE(window_->settings().request_interval.count(), 0);
        QTest::mouseClick(find<QPushButton>(shell::settings_button), Qt::LeftButton);
        auto* dialog = window_->findChild<app::SettingsDialog*>(u("SettingsDialog"));
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QTest::mouseClick(testsupport::find_control<QPushButton>(dialog, "checkConnectionButton"),
                          Qt::LeftButton);
        auto* lines = testsupport::find_control<QPlainTextEdit>(dialog, "checkConnectionLines");
        QTRY_VERIFY_WITH_TIMEOUT(lines->toPlainText().startsWith(u("pc: ")), 60000);
        QCOMPARE(lines->toPlainText().count(u(": answered, ")), 5);
        testsupport::find_control<QSpinBox>(dialog, "intervalSpin")->setValue(150);
        testsupport::find_control<QSpinBox>(dialog, "parallelSpin")->setValue(4);
        dialog->accept();
        QCOMPARE(window_->settings().request_interval.count(), 150);

        seeds("连衣裙\n雪纺衫");
        check_box(KeywordSource::MobileDropdown)
            ->setChecked(true);  // the mobile suggestions: one request a seed
        fake_->clear_requests();
        QElapsedTimer took;
        took.start();
        QVERIFY(harvest());
        QCOMPARE(fake_->requests().size(), 2u);
        QVERIFY2(took.elapsed() >= 150, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(journal_->runs()->front().parallel, 4);

        new_window(&*journal_);
        QCOMPARE(window_->settings().request_interval.count(), 150);
        QCOMPARE(window_->settings().parallel_requests, 4);
        seeds("连衣裙");
        check_box(KeywordSource::MobileDropdown)->setChecked(true);
        QVERIFY(harvest());
        QCOMPARE(journal_->runs()->size(), 2u);
        QCOMPARE(journal_->runs()->front().parallel, 4);
    }

    // Through the window: a request whose connection drops once is tried again
    // and gives its words; one dropped three times gives its failure message
    // once, after the last try.
    void dropped_connections_are_tried_again() {
        fake_->drop_connections(Endpoint::pc, "once", 1);
        fake_->drop_connections(Endpoint::pc, "thrice", 3);
        seeds("once\nthrice");
        check_box(KeywordSource::PcDropdown)->setChecked(true);
        fake_->clear_requests();
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].text, u("抓取下拉词失败"));
        QCOMPARE(fake_->requests().size(), 2u + 3u);
        QCOMPARE(store_.word_rows(harvest::KeywordSource::PcDropdown).size(),
                 testsupport::fake_words::pc("once").size());
    }

    // A journal that fills up during the run: the harvest goes on in memory,
    // and the window says so once.
    void a_journal_that_cannot_be_written() {
        std::string many;
        for (int i = 0; i < 10; ++i) {
            many += "连衣裙" + std::to_string(i) + "\n";
        }
        seeds(many.c_str());
        tick_all();
        testsupport::CapturedLog log;
        {
            const auto wal = *folder_ / "quorvel.sqlite3-wal";
            testsupport::FileSizeLimit limit(std::filesystem::file_size(wal) + 64 * 1024);
            QVERIFY(harvest());
        }
        QCOMPARE(store_.seed_rows().size(), 10u);
        QVERIFY2(
            line().startsWith(u("无法保存历史记录，本次结果只在窗口中 · 已完成 · 关键词 10/10")),
            qPrintable(line()));
        int said = 0;
        for (const auto& logged : log.lines()) {
            said += logged.message.find("kept in memory only") != std::string::npos ? 1 : 0;
        }
        QCOMPARE(said, 1);

        // No journal at all: the same, from the start.
        new_window(nullptr);
        window_->set_journal(nullptr, "cannot open /nowhere/quorvel.sqlite3");
        seeds("连衣裙");
        tick_all();
        QVERIFY(harvest());
        QVERIFY2(line().startsWith(u("无法保存历史记录")), qPrintable(line()));
        QCOMPARE(store_.seed_rows().size(), 1u);
    }
};

int main(int argc, char* argv[]) {
    return run_qt_test<LongRunTest>(argc, argv);
}

#include "long_run_test.moc"
