// The main window on the offscreen platform: the layout, harvests through
// the real window against the local fake marketplace, the run state and
// closing during a run.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/app_config.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "data/encoding.h"
#include "harvest/harvest_run.h"
#include "platform/http_transport.h"
#include "shell/control_table.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/captured_log.h"
#include "tests/support/fake_marketplace.h"
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
