// The main window on the offscreen platform: the layout, harvests through
// the real window against the local fake marketplace, the run state,
// closing during a run, and the word table of a harvest.

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "app/app_config.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/word_table_window.h"
#include "data/encoding.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "shell/control_table.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/captured_log.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"
#include "tests/support/window_driver.h"

using namespace quorvel;
using app::MainWindow;
using testsupport::Endpoint;
using testsupport::Failure;
using testsupport::u;

class MainWindowTest : public QObject {
    Q_OBJECT

    testsupport::FakeMarketplace* fake_ = nullptr;
    harvest::HarvestStore store_;
    testsupport::AnsweringDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;

    template <typename W>
    W* find(std::string_view name) {
        return testsupport::find_control<W>(window_.get(), std::string(name).c_str());
    }
    void tick(harvest::KeywordSource source) {
        auto* box = find<QCheckBox>(harvest::info(source).check_box);
        // Click near the left edge, where the box is drawn.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void seeds(const char* utf8) { find<QPlainTextEdit>(harvest::seed_box)->setPlainText(u(utf8)); }
    QString words(harvest::KeywordSource source) {
        return find<QPlainTextEdit>(harvest::info(source).result_box)->toPlainText();
    }
    // A main window over the real dialogs, in place of the answering ones.
    void use_real_dialogs(app::Dialogs& dialogs) {
        window_ = std::make_unique<MainWindow>(
            store_, dialogs, harvest::MarketplaceHosts{fake_->host(), fake_->host()});
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    // Closes the window from inside the modal loop of the first dialog of
    // kind D that shows. A close that waited for the run would never return
    // there, the run waiting in turn for the dialog's answer.
    template <typename D>
    void close_when_shown(const std::function<void()>& start, harvest::HarvestStore& at_close) {
        bool closed = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (qobject_cast<D*>(QApplication::activeModalWidget()) == nullptr) {
                return;
            }
            poll.stop();
            at_close = store_;
            window_->close();
            closed = true;
        });
        poll.start(10);
        start();
        QTRY_VERIFY_WITH_TIMEOUT(closed, 60000);
        // The dialog itself goes too.
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == nullptr, 60000);
    }
    bool run_harvest() {
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        return finished.wait(60000);
    }

    // The word-table window opened last.
    app::WordTableWindow* last_word_table() {
        const auto tables = window_->findChildren<app::WordTableWindow*>();
        return tables.isEmpty() ? nullptr : tables.back();
    }
    // A word-table column as shown, top to bottom.
    static QStringList shown_column(QTableView* view, int column) {
        QStringList cells;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            cells << view->model()->index(row, column).data().toString();
        }
        return cells;
    }
    // 结果数 as a number, -1 for an empty cell.
    static long long results_of(const QString& cell) {
        return cell.isEmpty() ? -1 : cell.toLongLong();
    }
    // Checks a word-table window against the words of store_ (each with its
    // largest count, -1 without one): the count line, the order by 结果数,
    // the filters, a click on a heading, copying and exporting to CSV.
    void check_word_table(app::WordTableWindow* table, const std::map<QString, long long>& words) {
        QVERIFY(table != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(table));
        auto* view = testsupport::find_control<QTableView>(table, "wordTable");
        auto* count = testsupport::find_control<QLabel>(table, "countLine");
        auto* include = testsupport::find_control<QLineEdit>(table, "includeEdit");
        auto* exclude = testsupport::find_control<QLineEdit>(table, "excludeEdit");
        const auto total = static_cast<int>(words.size());
        auto count_line = [&](int shown) { return u("显示 %1 / %2 个词").arg(shown).arg(total); };
        auto matching = [&](const std::function<bool(const QString&)>& shown) {
            return static_cast<int>(std::count_if(
                words.begin(), words.end(), [&](const auto& word) { return shown(word.first); }));
        };

        QCOMPARE(count->text(), count_line(total));
        QCOMPARE(view->model()->rowCount(), total);
        QStringList shown_words = shown_column(view, 0);
        QCOMPARE(QSet<QString>(shown_words.begin(), shown_words.end()).size(), total);
        // 结果数 highest first, each the word's largest count.
        const QStringList results = shown_column(view, 1);
        for (int row = 0; row < total; ++row) {
            QCOMPARE(results_of(results[row]), words.at(shown_words[row]));
            if (row > 0) {
                QVERIFY(results_of(results[row - 1]) >= results_of(results[row]));
            }
        }
        QHeaderView* headings = view->horizontalHeader();
        QCOMPARE(headings->sortIndicatorSection(), 1);
        QCOMPARE(headings->sortIndicatorOrder(), Qt::DescendingOrder);

        // Every 包含 term occurs, no 排除 term does; ASCII letters in either case.
        include->setText(u("连衣裙"));
        QCOMPARE(count->text(),
                 count_line(matching([](const QString& w) { return w.contains(u("连衣裙")); })));
        QTest::keyClicks(exclude, "M");
        const int narrowed = matching([](const QString& w) {
            return w.contains(u("连衣裙")) && !w.contains(u'm', Qt::CaseInsensitive);
        });
        QVERIFY(narrowed > 0 && narrowed < total);
        QCOMPARE(count->text(), count_line(narrowed));
        for (const QString& word : shown_column(view, 0)) {
            QVERIFY2(word.contains(u("连衣裙")) && !word.contains(u'm'), qPrintable(word));
        }
        include->clear();
        exclude->clear();
        QCOMPARE(count->text(), count_line(total));

        // A click on 词 sorts by the word; again, the other way.
        auto click_heading = [&](int column) {
            QTest::mouseClick(
                headings->viewport(), Qt::LeftButton, {},
                QPoint(headings->sectionViewportPosition(column) + 8, headings->height() / 2));
        };
        click_heading(0);
        shown_words = shown_column(view, 0);
        QStringList by_word = shown_words;
        std::sort(by_word.begin(), by_word.end(),
                  [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
        QCOMPARE(shown_words, by_word);
        QCOMPARE(headings->sortIndicatorSection(), 0);
        QCOMPARE(headings->sortIndicatorOrder(), Qt::AscendingOrder);
        click_heading(0);
        std::reverse(by_word.begin(), by_word.end());
        QCOMPARE(shown_column(view, 0), by_word);
        QCOMPARE(headings->sortIndicatorOrder(), Qt::DescendingOrder);

        // The selected rows' words, one per line, by the button and by Ctrl+C.
        auto select = [&](std::initializer_list<int> rows) {
            view->clearSelection();
            for (int row : rows) {
                view->selectionModel()->select(
                    view->model()->index(row, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        };
        select({2, 0});
        QTest::mouseClick(testsupport::find_control<QPushButton>(table, "copyButton"),
                          Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), by_word[0] + u'\n' + by_word[2] + u'\n');
        select({1});
        view->setFocus();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), by_word[1] + u'\n');

        // The table as shown, to the file the dialog names: CSV by its extension.
        QTemporaryDir folder;
        dialogs_.next_path = folder.filePath(u("词表.csv"));
        include->setText(u("连衣裙"));
        QTest::mouseClick(testsupport::find_control<QPushButton>(table, "exportWordsButton"),
                          Qt::LeftButton);
        QVERIFY(dialogs_.messages.isEmpty());
        QFile written(*dialogs_.next_path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList lines = app::qt_from_code_page(written.readAll().toStdString())
                                      .split(u("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(),
                 1 + matching([](const QString& w) { return w.contains(u("连衣裙")); }));
        QCOMPARE(lines[0], u("词,结果数,来源,种子数,次数,字数,首个种子"));
        include->clear();
    }

  private slots:
    void initTestCase() {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        fake_ = new testsupport::FakeMarketplace();
    }
    void cleanupTestCase() { delete fake_; }
    void init() {
        store_.clear();
        dialogs_.messages.clear();
        dialogs_.save_dialogs.clear();
        dialogs_.next_path.reset();
        fake_->clear_requests();
        window_ = std::make_unique<MainWindow>(
            store_, dialogs_, harvest::MarketplaceHosts{fake_->host(), fake_->host()});
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // Every control of the table, as the window shows it before any harvest.
    void layout() {
        for (const shell::ControlEntry& entry : shell::main_window_controls()) {
            const QString name = app::qt_from_utf8(entry.name);
            auto* widget = window_->findChild<QWidget*>(name);
            QVERIFY2(widget != nullptr, qPrintable(name));
            QCOMPARE(widget->parentWidget()->objectName(),
                     entry.parent.empty() ? u("MainWindow") : app::qt_from_utf8(entry.parent));
            const shell::Rect& at = entry.place;
            QCOMPARE(widget->geometry(), QRect(at.x, at.y, at.width, at.height));
            QCOMPARE(widget->isVisible(), true);
            const QString caption = app::qt_from_utf8(entry.caption);
            switch (entry.kind) {
                case shell::ControlKind::panel:
                    QVERIFY(qobject_cast<QFrame*>(widget) != nullptr);
                    break;
                case shell::ControlKind::button:
                    QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), caption);
                    // Only 停止 and 退出登录 (no session) wait for something to do.
                    QCOMPARE(widget->isEnabled(), entry.name != shell::stop_button &&
                                                      entry.name != shell::sign_out_button);
                    break;
                case shell::ControlKind::check_box:
                    QCOMPARE(qobject_cast<QCheckBox*>(widget)->text(), caption);
                    QVERIFY(!qobject_cast<QCheckBox*>(widget)->isChecked());
                    break;
                case shell::ControlKind::label:
                    QCOMPARE(qobject_cast<QLabel*>(widget)->text(),
                             entry.name == shell::sign_in_state ? u("未登录") : caption);
                    break;
                case shell::ControlKind::progress_line:
                    QVERIFY(qobject_cast<QLabel*>(widget)->text().isEmpty());
                    break;
                case shell::ControlKind::progress_bar:
                    // No count before a harvest starts.
                    QVERIFY(!qobject_cast<QProgressBar*>(widget)->isTextVisible());
                    break;
                case shell::ControlKind::seed_box:
                    QVERIFY(qobject_cast<QPlainTextEdit*>(widget)->toPlainText().isEmpty());
                    break;
                case shell::ControlKind::result_box: {
                    auto* e = qobject_cast<QPlainTextEdit*>(widget);
                    QVERIFY(e->toPlainText().isEmpty());
                    QCOMPARE(e->lineWrapMode(), QPlainTextEdit::NoWrap);
                    QCOMPARE(e->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
                    QCOMPARE(e->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
                    QCOMPARE(e->maximumBlockCount(), 0);
                    QCOMPARE(e->palette().color(QPalette::Base), QColor(Qt::white));
                    QCOMPARE(e->palette().color(QPalette::Text), QColor(Qt::black));
                    break;
                }
            }
        }
    }

    void window_caption_and_size() {
        QCOMPARE(window_->windowTitle(), u("Quorvel  --【版本 V6.00  】  有问题请联系QQ") +
                                             u(app::contact_number) + QString(11, u' ') +
                                             QString(55, u'-'));
        QCOMPARE(window_->size(), QSize(741, 558));
        QObject* dialog = window_->findChild<QObject*>(u("通用对话框1"));
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->property("filter").toString(), u("CSV格式(.csv)|xlsx格式(.xlsx)"));
    }

    void full_harvest_fills_the_five_boxes_in_order() {
        seeds("连衣裙\nab");
        for (harvest::KeywordSource source : harvest::all_sources) {
            tick(source);
        }
        QVERIFY(run_harvest());
        QVERIFY(dialogs_.messages.isEmpty());
        // Every box shows exactly the words stored for its kind, in order.
        for (harvest::KeywordSource source : harvest::all_sources) {
            QString expected;
            for (const auto& row : store_.word_rows(source)) {
                expected += app::qt_from_code_page(row.word) + u'\n';
            }
            QVERIFY(!store_.word_rows(source).empty());
            QCOMPARE(words(source), expected);
        }
        QCOMPARE(store_.seed_rows().size(), std::size_t{2});
        QCOMPARE(
            app::qt_from_code_page(store_.word_rows(harvest::KeywordSource::PcDropdown)[0].seed),
            u("连衣裙"));
        // Each seed costs 3 requests and one per mobile word.
        QCOMPARE(fake_->requests().size(), std::size_t{2 * (3 + 3)});
        // The boxes keep their contents until the next search.
        QVERIFY(!words(harvest::KeywordSource::PcDropdown).isEmpty());
    }

    void failure_messages_are_answered_through_the_seam() {
        fake_->fail(Endpoint::pc, "broken", Failure::empty_body);
        fake_->fail(Endpoint::mobile, "broken", Failure::invalid_json);
        seeds("broken");
        tick(harvest::KeywordSource::PcDropdown);
        tick(harvest::KeywordSource::MobileDropdown);
        QVERIFY(run_harvest());
        QCOMPARE(dialogs_.messages.size(), 2);
        QCOMPARE(dialogs_.messages[0].text, u("抓取下拉词失败"));
        QCOMPARE(dialogs_.messages[1].text, u("移动端抓取下拉词失败"));
        for (const auto& shown : dialogs_.messages) {
            QCOMPARE(shown.caption, u("信息："));
            QVERIFY(shown.style == platform::MessageStyle{});
        }
    }

    void export_asks_for_a_file_and_writes_it_off_the_gui_thread() {
        seeds("连衣裙");
        tick(harvest::KeywordSource::MobileDropdown);
        QVERIFY(run_harvest());
        QTemporaryDir folder;
        const QString path = folder.filePath(u("关键词.csv"));
        dialogs_.next_path = path;
        QSignalSpy finished(window_.get(), &MainWindow::export_finished);
        QTest::mouseClick(find<QPushButton>(shell::export_button), Qt::LeftButton);
        QVERIFY(finished.wait(60000));
        QCOMPARE(dialogs_.save_dialogs.size(), 1);
        QCOMPARE(dialogs_.save_dialogs[0].title, u("保存文件"));
        QCOMPARE(dialogs_.save_dialogs[0].filters, u("Excel文档 (*.xlsx);;Excel文档 (*.csv)"));
        QCOMPARE(dialogs_.save_dialogs[0].suffix, u("xlsx"));
        QCOMPARE(dialogs_.save_dialogs[0].file_name, QString());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll().count("\r\n"), 1 + 3);  // the header and three words
        QVERIFY(dialogs_.messages.isEmpty());
        QVERIFY(find<QPushButton>(shell::search_button)->isEnabled());

        // The dialog presents the last name; cancelling it exports nothing.
        dialogs_.next_path.reset();
        QVERIFY(QFile::remove(path));
        QTest::mouseClick(find<QPushButton>(shell::export_button), Qt::LeftButton);
        QVERIFY(finished.wait(60000));
        QCOMPARE(dialogs_.save_dialogs[1].file_name, path);
        QVERIFY(!QFile::exists(path));
    }

    // The real message box: its buttons for each type and the codes they give.
    void message_boxes_give_the_result_codes() {
        app::QtDialogs dialogs;
        using platform::MessageButtons;
        using R = platform::MessageResult;
        auto answer = [&](MessageButtons buttons, QMessageBox::StandardButton press) {
            QTimer::singleShot(0, [press] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box != nullptr);
                QCOMPARE(box->windowTitle(), u("信息："));
                box->button(press)->click();
            });
            return dialogs.message(window_.get(), u("x"), u("信息："), {buttons}, {});
        };
        QCOMPARE(answer(MessageButtons::ok, QMessageBox::Ok), R::ok);
        QCOMPARE(answer(MessageButtons::ok_cancel, QMessageBox::Cancel), R::cancel);
        QCOMPARE(answer(MessageButtons::abort_retry_ignore, QMessageBox::Abort), R::abort);
        QCOMPARE(answer(MessageButtons::abort_retry_ignore, QMessageBox::Retry), R::retry);
        QCOMPARE(answer(MessageButtons::abort_retry_ignore, QMessageBox::Ignore), R::ignore);
        QCOMPARE(answer(MessageButtons::yes_no_cancel, QMessageBox::Yes), R::yes);
        QCOMPARE(answer(MessageButtons::yes_no, QMessageBox::No), R::no);
        QCOMPARE(answer(MessageButtons::retry_cancel, QMessageBox::Retry), R::retry);
    }

    void nothing_ticked_makes_no_request() {
        seeds("a\nb");
        QVERIFY(run_harvest());
        QVERIFY(fake_->requests().empty());
        QVERIFY(dialogs_.messages.isEmpty());
        QCOMPARE(store_.seed_rows().size(), std::size_t{2});
    }

    void buttons_are_locked_during_a_run() {
        fake_->fail(Endpoint::mobile, "slow", Failure::slow);
        seeds("slow");
        tick(harvest::KeywordSource::MobileDropdown);
        auto* search = find<QPushButton>(shell::search_button);
        auto* export_button = find<QPushButton>(shell::export_button);
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(search, Qt::LeftButton);
        QVERIFY(!search->isEnabled());
        QVERIFY(!export_button->isEnabled());
        // A second click while locked starts nothing.
        QTest::mouseClick(search, Qt::LeftButton);
        QVERIFY(finished.wait(60000));
        QVERIFY(search->isEnabled());
        QVERIFY(export_button->isEnabled());
        QCOMPARE(fake_->requests().size(), std::size_t{1});
        QCOMPARE(finished.count(), 1);
    }

    void closing_during_a_run_ends_it_at_once() {
        fake_->fail(Endpoint::pc, "hang", Failure::hang);
        seeds("hang\nnext");
        tick(harvest::KeywordSource::PcDropdown);
        tick(harvest::KeywordSource::MobileDropdown);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(fake_->requests().size(), std::size_t{1}, 60000);
        window_->close();
        // Closing did not wait for the held reply: it was never sent.
        QCOMPARE(fake_->held_replies_sent(), std::size_t{0});
        QVERIFY(fake_->await_held_requests_dropped(1));
        QVERIFY(!window_->harvest_running());
        QVERIFY(dialogs_.messages.isEmpty());
        QCOMPARE(fake_->requests().size(), std::size_t{1});
        QVERIFY(store_.seed_rows().empty());

        // Shown again, the window harvests as before.
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        fake_->clear_requests();
        seeds("again");
        QVERIFY(find<QPushButton>(shell::search_button)->isEnabled());
        QVERIFY(run_harvest());
        QCOMPARE(fake_->requests().size(), std::size_t{2});
        QVERIFY(!words(harvest::KeywordSource::PcDropdown).isEmpty());
        QCOMPARE(store_.seed_rows().size(), std::size_t{1});
    }

    void closing_in_a_message_box_ends_the_run_at_once() {
        app::QtDialogs real;
        use_real_dialogs(real);
        fake_->fail(Endpoint::pc, "broken", Failure::empty_body);
        seeds("broken\nnext");
        tick(harvest::KeywordSource::PcDropdown);
        harvest::HarvestStore at_close;
        close_when_shown<QMessageBox>(
            [this] { QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton); },
            at_close);
        QVERIFY(!window_->harvest_running());
        QVERIFY(store_ == at_close);
        QVERIFY(store_.seed_rows().empty());
        QCOMPARE(fake_->requests().size(), std::size_t{1});  // "next" was never asked for
        window_.reset();
    }

    void closing_while_a_read_waits_ends_the_run_at_once() {
        seeds("a\nb");
        tick(harvest::KeywordSource::PcDropdown);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        // The GUI thread answers nothing meanwhile: the run waits in its first read.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // A close that waited for the run would never return: the run waits
        // for this thread.
        window_->close();
        QVERIFY(!window_->harvest_running());
        // The read that was never answered finds its run gone and does nothing.
        QTest::qWait(100);
        QVERIFY(fake_->requests().empty());
        QVERIFY(store_.seed_rows().empty());
        QVERIFY(store_.word_rows(harvest::KeywordSource::PcDropdown).empty());
    }

    void closing_in_the_save_dialog_writes_nothing() {
        app::QtDialogs real;
        use_real_dialogs(real);
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        harvest::HarvestStore at_close;
        close_when_shown<QFileDialog>(
            [this] { QTest::mouseClick(find<QPushButton>(shell::export_button), Qt::LeftButton); },
            at_close);
        QDir::setCurrent(previous);
        QVERIFY(!window_->harvest_running());
        QVERIFY(QDir(folder.path()).isEmpty());
        window_.reset();
    }

    // A fault inside a run's work ends the run; the window says so in the log
    // and is ready for the next one.
    void an_exception_in_a_run_leaves_the_window_idle() {
        testsupport::CapturedLog log;
        dialogs_.fail_in_message = true;
        fake_->fail(Endpoint::pc, "broken", Failure::empty_body);
        seeds("broken\nnext");
        tick(harvest::KeywordSource::PcDropdown);
        QVERIFY(run_harvest());
        dialogs_.fail_in_message = false;
        QVERIFY(find<QPushButton>(shell::search_button)->isEnabled());
        QVERIFY(find<QPushButton>(shell::export_button)->isEnabled());
        QVERIFY(!window_->harvest_running());
        QVERIFY(log.text().find("harvest failed: the message box broke") != std::string::npos);
        QCOMPARE(fake_->requests().size(), std::size_t{1});
        QVERIFY(run_harvest());  // and the next run works
        QCOMPARE(store_.seed_rows().size(), std::size_t{2});
    }

    // 词表 over the harvest in the boxes, and over the same run from 历史记录.
    void word_table_of_the_harvest_and_of_a_kept_run() {
        testsupport::ScratchFolder folder;
        auto journal = journal::Journal::open(folder / "quorvel.sqlite3");
        QVERIFY(journal);
        window_->set_journal(&*journal);
        seeds("连衣裙\nab");
        for (harvest::KeywordSource source : harvest::all_sources) {
            tick(source);
        }
        QVERIFY(run_harvest());
        std::map<QString, long long> words;  // each word's largest count, -1 without one
        for (harvest::KeywordSource source : harvest::all_sources) {
            for (const harvest::WordRow& row : store_.word_rows(source)) {
                long long& largest =
                    words.try_emplace(app::qt_from_code_page(row.word), -1).first->second;
                if (!row.count.empty()) {
                    largest = std::max(largest, std::stoll(row.count));
                }
            }
        }

        QTest::mouseClick(find<QPushButton>(shell::word_table_button), Qt::LeftButton);
        app::WordTableWindow* boxes = last_word_table();
        check_word_table(boxes, words);
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(boxes->windowTitle(), u("词表 - 当前结果"));

        // ICU is there: a click on a root keeps only its words, a second click all.
        auto* roots = testsupport::find_control<QTableView>(boxes, "rootTable");
        auto* count = testsupport::find_control<QLabel>(boxes, "countLine");
        auto* view = testsupport::find_control<QTableView>(boxes, "wordTable");
        QVERIFY(roots->isVisible());
        QVERIFY(roots->model()->rowCount() > 0);
        const QString root = roots->model()->index(0, 0).data().toString();
        const QPoint first_root = roots->visualRect(roots->model()->index(0, 0)).center();
        QTest::mouseClick(roots->viewport(), Qt::LeftButton, {}, first_root);
        const QStringList holding = shown_column(view, 0);
        QVERIFY(!holding.isEmpty() && holding.size() < static_cast<int>(words.size()));
        for (const QString& word : holding) {
            QVERIFY2(word.contains(root), qPrintable(word));
        }
        QCOMPARE(holding.size(), roots->model()->index(0, 1).data().toInt());
        QVERIFY(count->text().contains(root));
        QTest::mouseClick(roots->viewport(), Qt::LeftButton, {}, first_root);
        QCOMPARE(view->model()->rowCount(), static_cast<int>(words.size()));

        // The kept run, from the history window's 词表.
        window_->show_history();
        app::HistoryWindow* history = window_->history_window();
        QVERIFY(history != nullptr && window_->journal_run());
        QVERIFY(history->select_run(*window_->journal_run()));
        QTest::mouseClick(testsupport::find_control<QPushButton>(history, "wordTableButton"),
                          Qt::LeftButton);
        app::WordTableWindow* kept = last_word_table();
        QVERIFY(kept != boxes);
        check_word_table(kept, words);
        QCOMPARE(kept->windowTitle(), u("词表 - 历史记录 #%1").arg(*window_->journal_run()));
        window_.reset();  // before the journal it keeps runs in
    }

    // The user clicks into a result box while words arrive: the caret moves,
    // but new words still go at the end.
    void words_go_at_the_end_after_a_click_into_the_box() {
        fake_->fail(Endpoint::pc, "slow", Failure::slow);
        seeds("a\nslow");
        tick(harvest::KeywordSource::PcDropdown);
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        auto* results =
            find<QPlainTextEdit>(harvest::info(harvest::KeywordSource::PcDropdown).result_box);
        QTRY_VERIFY_WITH_TIMEOUT(!results->toPlainText().isEmpty(), 60000);
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(results->textCursor().position(), 0);
        QVERIFY(finished.wait(60000));
        QString expected;
        for (const auto& row : store_.word_rows(harvest::KeywordSource::PcDropdown)) {
            expected += app::qt_from_code_page(row.word) + u'\n';
        }
        QCOMPARE(store_.seed_rows().size(), std::size_t{2});
        QCOMPARE(results->toPlainText(), expected);
    }

    // The real save dialog: the user picks the CSV filter and types a bare
    // name; the name gets that filter's extension.
    void the_real_save_dialog_adds_the_chosen_filters_extension() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(types != nullptr && name != nullptr);
            QCOMPARE(types->count(), 2);
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Down);
            QCOMPARE(types->currentIndex(), 1);
            name->setFocus();
            QTest::keyClicks(name, QStringLiteral("bare"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        app::QtDialogs real;
        const std::optional<QString> chosen =
            real.save_file(window_.get(), u("保存文件"), u("Excel文档 (*.xlsx);;Excel文档 (*.csv)"),
                           u("xlsx"), QString(), {});
        QDir::setCurrent(previous);
        QVERIFY(chosen.has_value());
        QCOMPARE(QFileInfo(*chosen).fileName(), u("bare.csv"));
    }
};

int main(int argc, char* argv[]) {
    return run_qt_test<MainWindowTest>(argc, argv);
}

#include "main_window_test.moc"
