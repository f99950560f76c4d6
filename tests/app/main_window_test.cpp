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

namespace {}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    testsupport::FakeMarketplace* fake_ = nullptr;
    harvest::HarvestStore store_;
    testsupport::AnsweringDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;

    template <typename W>
    W* find(const char* name) {
        return testsupport::find_control<W>(window_.get(), name);
    }
    void tick(const char* name) {
        auto* box = find<QCheckBox>(name);
        // Click near the left edge, where the box is drawn.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void seeds(const char* utf8) { find<QPlainTextEdit>("超级编辑框1")->setPlainText(u(utf8)); }
    QString box(const char* name) { return find<QPlainTextEdit>(name)->toPlainText(); }
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
        QTest::mouseClick(find<QPushButton>("按钮1"), Qt::LeftButton);
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

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        auto row = [](const char* name, const char* kind, const char* parent, QRect at,
                      const char* caption) {
            QTest::newRow(name) << u(name) << u(kind) << u(parent) << at << u(caption);
        };
        row("外形框1", "QFrame", "MainWindow", {0, 0, 128, 529}, "");
        row("标签1", "QLabel", "外形框1", {8, 8, 112, 24}, "关键词");
        row("超级编辑框1", "QPlainTextEdit", "外形框1", {2, 36, 123, 429}, "");
        row("按钮1", "QPushButton", "外形框1", {2, 468, 124, 28}, "搜索");
        row("按钮2", "QPushButton", "外形框1", {2, 497, 124, 28}, "导出结果");
        row("选择框1", "QCheckBox", "MainWindow", {129, 7, 107, 30}, "PC下拉关键词");
        row("选择框2", "QCheckBox", "MainWindow", {252, 7, 110, 30}, "箭头词");
        row("选择框3", "QCheckBox", "MainWindow", {372, 7, 105, 30}, "无线下拉词");
        row("选择框4", "QCheckBox", "MainWindow", {491, 7, 100, 30}, "长尾词");
        row("选择框5", "QCheckBox", "MainWindow", {612, 7, 111, 30}, "你是不是想找");
        row("编辑框1", "QPlainTextEdit", "MainWindow", {128, 35, 120, 432}, "");
        row("编辑框2", "QPlainTextEdit", "MainWindow", {248, 35, 120, 432}, "");
        row("编辑框3", "QPlainTextEdit", "MainWindow", {368, 34, 120, 432}, "");
        row("编辑框4", "QPlainTextEdit", "MainWindow", {488, 33, 120, 432}, "");
        row("编辑框5", "QPlainTextEdit", "MainWindow", {608, 33, 120, 432}, "");
        row("按钮5", "QPushButton", "MainWindow", {328, 472, 88, 24}, "阿里指数查询");
        row("按钮3", "QPushButton", "MainWindow", {624, 464, 96, 32}, "帮助");
        row("按钮4", "QPushButton", "MainWindow", {624, 496, 96, 32}, "下载新版本");
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        auto* widget = window_->findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        QCOMPARE(QString::fromUtf8(widget->metaObject()->className()), kind);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* b = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(b->text(), caption);
        } else if (auto* c = qobject_cast<QCheckBox*>(widget)) {
            QCOMPARE(c->text(), caption);
            QVERIFY(!c->isChecked());
        } else if (auto* l = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(l->text(), caption);
        } else if (auto* e = qobject_cast<QPlainTextEdit*>(widget)) {
            QVERIFY(e->toPlainText().isEmpty());
            if (name.startsWith(u("编辑框"))) {
                QCOMPARE(e->lineWrapMode(), QPlainTextEdit::NoWrap);
                QCOMPARE(e->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
                QCOMPARE(e->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
                QCOMPARE(e->maximumBlockCount(), 0);
                QCOMPARE(e->palette().color(QPalette::Base), QColor(Qt::white));
                QCOMPARE(e->palette().color(QPalette::Text), QColor(Qt::black));
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
        for (const char* name : {"选择框1", "选择框2", "选择框3", "选择框4", "选择框5"}) {
            tick(name);
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
            QCOMPARE(box(harvest::info(source).result_box.data()), expected);
        }
        QCOMPARE(store_.seed_rows().size(), std::size_t{2});
        QCOMPARE(
            app::qt_from_code_page(store_.word_rows(harvest::KeywordSource::PcDropdown)[0].seed),
            u("连衣裙"));
        // Each seed costs 3 requests and one per mobile word.
        QCOMPARE(fake_->requests().size(), std::size_t{2 * (3 + 3)});
        // The boxes keep their contents until the next search.
        QVERIFY(!box("编辑框1").isEmpty());
    }

    void failure_messages_are_answered_through_the_seam() {
        fake_->fail(Endpoint::pc, "broken", Failure::empty_body);
        fake_->fail(Endpoint::mobile, "broken", Failure::invalid_json);
        seeds("broken");
        tick("选择框1");
        tick("选择框3");
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
        tick("选择框3");
        QVERIFY(run_harvest());
        QTemporaryDir folder;
        const QString path = folder.filePath(u("关键词.csv"));
        dialogs_.next_path = path;
        QSignalSpy finished(window_.get(), &MainWindow::export_finished);
        QTest::mouseClick(find<QPushButton>("按钮2"), Qt::LeftButton);
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
        QVERIFY(find<QPushButton>("按钮1")->isEnabled());

        // The dialog presents the last name; cancelling it exports nothing.
        dialogs_.next_path.reset();
        QVERIFY(QFile::remove(path));
        QTest::mouseClick(find<QPushButton>("按钮2"), Qt::LeftButton);
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
        tick("选择框3");
        auto* search = find<QPushButton>("按钮1");
        auto* export_button = find<QPushButton>("按钮2");
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
        tick("选择框1");
        tick("选择框3");
        QTest::mouseClick(find<QPushButton>("按钮1"), Qt::LeftButton);
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
        QVERIFY(find<QPushButton>("按钮1")->isEnabled());
        QVERIFY(run_harvest());
        QCOMPARE(fake_->requests().size(), std::size_t{2});
        QVERIFY(!box("编辑框1").isEmpty());
        QCOMPARE(store_.seed_rows().size(), std::size_t{1});
    }

    void closing_in_a_message_box_ends_the_run_at_once() {
        app::QtDialogs real;
        use_real_dialogs(real);
        fake_->fail(Endpoint::pc, "broken", Failure::empty_body);
        seeds("broken\nnext");
        tick("选择框1");
        harvest::HarvestStore at_close;
        close_when_shown<QMessageBox>(
            [this] { QTest::mouseClick(find<QPushButton>("按钮1"), Qt::LeftButton); }, at_close);
        QVERIFY(!window_->harvest_running());
        QVERIFY(store_ == at_close);
        QVERIFY(store_.seed_rows().empty());
        QCOMPARE(fake_->requests().size(), std::size_t{1});  // "next" was never asked for
        window_.reset();
    }

    void closing_while_a_read_waits_ends_the_run_at_once() {
        seeds("a\nb");
        tick("选择框1");
        QTest::mouseClick(find<QPushButton>("按钮1"), Qt::LeftButton);
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
            [this] { QTest::mouseClick(find<QPushButton>("按钮2"), Qt::LeftButton); }, at_close);
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
        tick("选择框1");
        QVERIFY(run_harvest());
        dialogs_.fail_in_message = false;
        QVERIFY(find<QPushButton>("按钮1")->isEnabled());
        QVERIFY(find<QPushButton>("按钮2")->isEnabled());
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
        tick("选择框1");
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(find<QPushButton>("按钮1"), Qt::LeftButton);
        auto* results = find<QPlainTextEdit>("编辑框1");
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
