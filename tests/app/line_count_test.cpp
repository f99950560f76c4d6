// The window operations' line count of an edit box against counting the
// lines of the box's whole text: for text appended from a run's worker
// (still queued when asked), typed by the user, and replaced.

#include <QPlainTextEdit>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/qt_text.h"
#include "app/qt_window_operations.h"
#include "platform/window_operations.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"

using namespace quorvel;
using app::QtWindowOperations;

namespace {

constexpr std::string_view box_name = "box";

// The code-page text the harvest would give for a window text.
std::string cp(const QString& text) {
    return app::code_page_from_qt(text);
}

// Lines as the window's whole text has them.
int lines_of_text(QtWindowOperations::RunView& run) {
    return platform::count_text_lines(run.read_text(box_name));
}

}  // namespace

class LineCountTest : public QObject {
    Q_OBJECT

    testsupport::AnsweringDialogs dialogs_;
    std::unique_ptr<QWidget> root_;
    QPlainTextEdit* box_ = nullptr;
    std::unique_ptr<QtWindowOperations> operations_;

    // Runs `work` on a worker thread as a run would, serving the GUI thread
    // until it is done.
    void on_worker(const std::function<void(QtWindowOperations::RunView&)>& work) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            QtWindowOperations::RunView run = operations_->for_run({});
            work(run);
            done = true;
        });
        while (!done.load()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        worker.join();
    }

  private slots:
    void init() {
        root_ = std::make_unique<QWidget>();
        box_ = new QPlainTextEdit(root_.get());
        box_->setObjectName(QString::fromUtf8(box_name.data(), box_name.size()));
        operations_ = std::make_unique<QtWindowOperations>(root_.get(), dialogs_, nullptr);
        root_->show();
        QVERIFY(QTest::qWaitForWindowExposed(root_.get()));
    }
    void cleanup() {
        operations_.reset();
        root_.reset();
    }

    void an_empty_box_has_no_lines() {
        QtWindowOperations::RunView run = operations_->for_run({});
        QCOMPARE(run.line_count(box_name), 0);
        QCOMPARE(lines_of_text(run), 0);
        // A control that is not there reads as empty too.
        QCOMPARE(run.line_count("no such box"), 0);
    }

    // Each chunk is appended (CR LF line breaks, as the harvest writes them)
    // while the GUI thread is held, so the count has to apply them first;
    // then the same chunks again, onto a box whose count is known.
    void appended_from_a_worker_data() {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<int>("lines");
        QTest::newRow("one word and its break") << QStringList{"连衣裙\r\n"} << 1;
        QTest::newRow("one word without a break") << QStringList{"连衣裙"} << 1;
        QTest::newRow("only a break") << QStringList{"\r\n"} << 1;
        QTest::newRow("words in several appends") << QStringList{"a\r\n", "b\r\n", "c\r\n"} << 3;
        QTest::newRow("last line unterminated") << QStringList{"a\r\nb\r\n", "c"} << 3;
        QTest::newRow("a line completed later") << QStringList{"a", "b\r\n", "c"} << 2;
        QTest::newRow("blank lines") << QStringList{"\r\n\r\n", "a\r\n\r\n"} << 4;
        QTest::newRow("a lone carriage return") << QStringList{"a\rb\r\n"} << 2;
        QTest::newRow("a line separator in a word") << QStringList{"a\u2028b\r\n"} << 2;
        QTest::newRow("ending in a line separator") << QStringList{"a\u2028"} << 1;
    }
    void appended_from_a_worker() {
        QFETCH(QStringList, chunks);
        QFETCH(int, lines);
        std::atomic<bool> appended{false};
        std::atomic<bool> go_on{false};
        int first = -1;
        int first_in_text = -1;
        int second = -1;
        int second_in_text = -1;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            QtWindowOperations::RunView run = operations_->for_run({});
            for (const QString& chunk : chunks) {
                run.append_text(box_name, cp(chunk));
            }
            appended = true;
            while (!go_on.load()) {
                std::this_thread::yield();
            }
            first = run.line_count(box_name);
            first_in_text = lines_of_text(run);
            for (const QString& chunk : chunks) {
                run.append_text(box_name, cp(chunk));
            }
            second = run.line_count(box_name);
            second_in_text = lines_of_text(run);
            done = true;
        });
        while (!appended.load()) {
            std::this_thread::yield();
        }
        // Nothing is shown yet: the GUI thread has not run since the appends.
        const bool still_queued = box_->document()->isEmpty();
        go_on = true;
        while (!done.load()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        worker.join();
        QVERIFY(still_queued);
        QCOMPARE(first, lines);
        QCOMPARE(first, first_in_text);
        QCOMPARE(second, second_in_text);
    }

    // Typed keys: '|' is Return, '^' Shift+Return (a line separator), '<'
    // Backspace. The box first gets a line from a run and is counted, so the
    // typing changes a box whose count is already known.
    void typed_by_the_user_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("lines");
        QTest::newRow("nothing") << "" << 1;
        QTest::newRow("a word") << "abc" << 2;
        QTest::newRow("a word and Return") << "abc|" << 2;
        QTest::newRow("two lines") << "ab|cd" << 3;
        QTest::newRow("Returns only") << "||" << 3;
        QTest::newRow("Shift+Return inside") << "ab^cd" << 3;
        QTest::newRow("Shift+Return at the end") << "ab^" << 2;
        QTest::newRow("a line separator deleted") << "a^b<<" << 2;
        QTest::newRow("the first line's break deleted") << "<" << 1;
    }
    void typed_by_the_user() {
        QFETCH(QString, keys);
        QFETCH(int, lines);
        QtWindowOperations::RunView run = operations_->for_run({});
        run.append_text(box_name, "x\r\n");
        QCOMPARE(run.line_count(box_name), 1);
        box_->setFocus();
        box_->moveCursor(QTextCursor::End);
        for (QChar key : keys) {
            if (key == u'|') {
                QTest::keyClick(box_, Qt::Key_Return);
            } else if (key == u'^') {
                QTest::keyClick(box_, Qt::Key_Return, Qt::ShiftModifier);
            } else if (key == u'<') {
                QTest::keyClick(box_, Qt::Key_Backspace);
            } else {
                QTest::keyClicks(box_, QString(key));
            }
        }
        QCOMPARE(run.line_count(box_name), lines);
        QCOMPARE(run.line_count(box_name), lines_of_text(run));
    }

    // The box is counted, then its whole text replaced from a worker.
    void replaced_text_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("lines");
        QTest::newRow("fewer lines") << "a\r\nb\r\nc\r\n"
                                     << "d\r\n"
                                     << 1;
        QTest::newRow("more lines") << "a"
                                    << "b\r\nc\r\nd" << 3;
        QTest::newRow("emptied") << "a\r\nb\r\n"
                                 << "" << 0;
        QTest::newRow("line separators gone") << "a\u2028b\u2028c\r\n"
                                              << "a b\r\n"
                                              << 1;
        QTest::newRow("line separators come") << "a\r\n"
                                              << "a\u2028b\u2028" << 2;
    }
    void replaced_text() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, lines);
        int counted_before = -1;
        int before_in_text = -1;
        int counted_after = -1;
        int after_in_text = -1;
        on_worker([&](QtWindowOperations::RunView& run) {
            run.set_text(box_name, cp(before));
            counted_before = run.line_count(box_name);
            before_in_text = lines_of_text(run);
            run.set_text(box_name, cp(after));
            counted_after = run.line_count(box_name);
            after_in_text = lines_of_text(run);
        });
        QCOMPARE(counted_before, before_in_text);
        QCOMPARE(counted_after, lines);
        QCOMPARE(counted_after, after_in_text);
    }
};

int main(int argc, char* argv[]) {
    return run_qt_test<LineCountTest>(argc, argv);
}

#include "line_count_test.moc"
