// The history window on the offscreen platform over a real journal in a
// scratch folder: the rows it lists, the callbacks of its buttons, deleting
// and refusing to delete, and a list that cannot be read.

#include <time.h>

#include <QAbstractItemModel>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/history_window.h"
#include "journal/journal.h"
#include "journal/sqlite.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/code_page_text.h"
#include "tests/support/scratch.h"
#include "tests/support/window_driver.h"

using namespace quorvel;
using app::HistoryWindow;
using exporting::ExportFormat;
using harvest::KeywordSource;
using harvest::KindSet;
using journal::Journal;
using journal::RunRecorder;
using platform::MessageButtons;
using platform::MessageResult;
using testsupport::u;

namespace {

using testsupport::gb;

// The minute now, as the list shows a start time.
QString minute_now() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::ScratchFolder> folder_;
    std::unique_ptr<Journal> journal_;
    testsupport::AnsweringDialogs dialogs_;
    std::vector<std::int64_t> opened_;
    std::vector<std::pair<std::int64_t, ExportFormat>> exported_;
    std::vector<std::int64_t> refused_;  // runs can_delete turns down
    std::unique_ptr<HistoryWindow> window_;

    template <typename W>
    W* find(const char* name) {
        return testsupport::find_control<W>(window_.get(), name);
    }
    QTableView* list() { return find<QTableView>("runList"); }
    QString cell(int row, int column) {
        return list()->model()->index(row, column).data().toString();
    }
    QStringList row_texts(int row) {
        QStringList texts;
        for (int column = 0; column < list()->model()->columnCount(); ++column) {
            texts << cell(row, column);
        }
        return texts;
    }
    QPoint row_centre(int row) {
        return list()->visualRect(list()->model()->index(row, 1)).center();
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }

    // Begins a run over these seeds; the recorder is the harvest's side of it.
    std::unique_ptr<RunRecorder> begin(const char* seeds_utf8, KindSet kinds = KindSet::all()) {
        auto recorder = journal_->begin_run(kinds, gb(seeds_utf8));
        if (!recorder) {
            qFatal("cannot begin a run: %s", recorder.error().message.c_str());
        }
        return std::move(*recorder);
    }
    // Stores `count` words of `source` for the first seed.
    static void words(RunRecorder& run, KeywordSource source, int count) {
        for (int i = 0; i < count; ++i) {
            run.word_recorded(source, 0, "s", "w" + std::to_string(i), "");
        }
        run.reply_processed(harvest::RequestKind::pc_suggest);
    }
    // A run of one seed, finished and stored.
    std::int64_t finished_run(const char* seeds_utf8) {
        auto run = begin(seeds_utf8);
        run->seed_finished(0, {"s", {}});
        run->run_ended(harvest::RunEnd::finished);
        return run->run_id();
    }
    void open_window() {
        shell::HistoryActions actions;
        actions.open_run = [this](std::int64_t run) { opened_.push_back(run); };
        actions.export_run = [this](std::int64_t run, ExportFormat format) {
            exported_.emplace_back(run, format);
        };
        actions.can_delete = [this](std::int64_t run) {
            return std::find(refused_.begin(), refused_.end(), run) == refused_.end();
        };
        window_ = std::make_unique<HistoryWindow>(*journal_, dialogs_, std::move(actions));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    bool listed(std::int64_t run) {
        for (int row = 0; row < list()->model()->rowCount(); ++row) {
            if (list()->model()->index(row, 0).data(Qt::UserRole).toLongLong() == run) {
                return true;
            }
        }
        return false;
    }
    bool stored(std::int64_t run) { return journal_->load(run).has_value(); }

  private slots:
    // Start times are shown in local time: a zone far from UTC tells it
    // from universal time on machines that keep UTC.
    void initTestCase() {
        qputenv("TZ", "Asia/Shanghai");
        tzset();
    }
    void init() {
        folder_ = std::make_unique<testsupport::ScratchFolder>();
        auto opened = Journal::open(*folder_ / "quorvel.sqlite3");
        QVERIFY2(opened, opened ? "" : opened.error().message.c_str());
        journal_ = std::make_unique<Journal>(std::move(*opened));
        dialogs_.messages.clear();
        dialogs_.next_answer = MessageResult::ok;
        opened_.clear();
        exported_.clear();
        refused_.clear();
    }
    void cleanup() {
        window_.reset();
        journal_.reset();
        folder_.reset();
    }

    // Every state, ticked and unticked kinds, and seed lists shorter than,
    // as long as and longer than the three shown.
    void rows_list_the_runs_newest_first() {
        const QString before = minute_now();
        auto finished =
            begin("连衣裙\r\n手机壳\r\n",
                  KindSet().add(KeywordSource::PcDropdown).add(KeywordSource::LongTail));
        words(*finished, KeywordSource::PcDropdown, 3);
        words(*finished, KeywordSource::LongTail, 1);
        finished->seed_finished(0, {"s", {}});
        finished->seed_finished(1, {"s", {}});
        finished->run_ended(harvest::RunEnd::finished);

        auto stopped = begin("女装\r\n男装\r\n\r\n童装\r\n鞋");
        words(*stopped, KeywordSource::MobileDropdown, 12);
        words(*stopped, KeywordSource::DidYouMean, 2);
        stopped->seed_finished(0, {"s", {}});
        stopped->run_ended(harvest::RunEnd::stopped);

        // Left without its end: stored as interrupted.
        begin("x\r\ny\r\nz\r\n", KindSet().add(KeywordSource::ArrowWords)).reset();

        auto running = begin("帽子");
        words(*running, KeywordSource::ArrowWords, 1);
        running->flush();
        const QString after = minute_now();

        open_window();
        QAbstractItemModel* model = list()->model();
        QCOMPARE(model->rowCount(), 4);
        QStringList headers;
        for (int column = 0; column < model->columnCount(); ++column) {
            headers << model->headerData(column, Qt::Horizontal).toString();
        }
        QCOMPARE(headers,
                 QStringList({u("开始时间"), u("状态"), u("关键词"), u("PC下拉"), u("箭头词"),
                              u("无线下拉"), u("长尾词"), u("你是不是想找"), u("前几个关键词")}));
        for (int row = 0; row < 4; ++row) {
            QVERIFY2(cell(row, 0) == before || cell(row, 0) == after, qPrintable(cell(row, 0)));
        }
        QCOMPARE(row_texts(0).mid(1), QStringList({u("进行中"), u("0/1"), u("0"), u("1"), u("0"),
                                                   u("0"), u("0"), u("帽子")}));
        QCOMPARE(row_texts(1).mid(1), QStringList({u("已中断"), u("0/3"), u("-"), u("0"), u("-"),
                                                   u("-"), u("-"), u("x、y、z")}));
        // The empty third line is a seed of its own.
        QCOMPARE(row_texts(2).mid(1), QStringList({u("已停止"), u("1/5"), u("0"), u("0"), u("12"),
                                                   u("0"), u("2"), u("女装、男装、…")}));
        QCOMPARE(row_texts(3).mid(1), QStringList({u("已完成"), u("2/2"), u("3"), u("-"), u("-"),
                                                   u("1"), u("-"), u("连衣裙、手机壳")}));
        QCOMPARE(find<QLabel>("historyStatus")->text(), u("共 4 次搜索"));
        // Only a run that ended before its last seed goes on.
        for (const auto& [row, goes_on] : {std::pair{0, false}, {1, true}, {2, true}, {3, false}}) {
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, row_centre(row));
            QCOMPARE(find<QPushButton>("continueButton")->isEnabled(), goes_on);
        }
    }

    void open_and_export_hand_over_the_selected_run() {
        const std::int64_t older = finished_run("a");
        const std::int64_t newer = finished_run("b");
        open_window();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, row_centre(1));
        QCOMPARE(window_->selected_run(), std::optional(older));
        click("openButton");
        click("exportXlsxButton");
        QVERIFY(window_->select_run(newer));
        click("exportCsvButton");
        QCOMPARE(opened_, std::vector<std::int64_t>{older});
        QCOMPARE(exported_.size(), std::size_t{2});
        QVERIFY(exported_[0] == std::pair(older, ExportFormat::xlsx));
        QVERIFY(exported_[1] == std::pair(newer, ExportFormat::csv));

        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, row_centre(1));
        QCOMPARE(opened_, (std::vector<std::int64_t>{older, older}));
        QVERIFY(dialogs_.messages.isEmpty());
    }

    void buttons_need_a_selection_and_a_reload_keeps_it() {
        const std::int64_t run = finished_run("a");
        open_window();
        const char* needing[] = {"openButton", "exportXlsxButton", "exportCsvButton",
                                 "deleteButton"};
        auto enabled = [&](bool expected) {
            for (const char* name : needing) {
                if (find<QPushButton>(name)->isEnabled() != expected) {
                    return false;
                }
            }
            return find<QPushButton>("refreshButton")->isEnabled();
        };
        QVERIFY(!window_->selected_run());
        QVERIFY(enabled(false));
        click("openButton");
        click("deleteButton");
        QVERIFY(opened_.empty());
        QVERIFY(dialogs_.messages.isEmpty());

        QVERIFY(window_->select_run(run));
        QVERIFY(enabled(true));
        QVERIFY(!window_->select_run(run + 100));
        QCOMPARE(window_->selected_run(), std::optional(run));

        // A run begun meanwhile comes in on top; the selected one stays selected.
        const std::int64_t newer = finished_run("b");
        click("refreshButton");
        QCOMPARE(list()->model()->rowCount(), 2);
        QCOMPARE(
            static_cast<std::int64_t>(list()->model()->index(0, 0).data(Qt::UserRole).toLongLong()),
            newer);
        QCOMPARE(window_->selected_run(), std::optional(run));
        QVERIFY(enabled(true));

        list()->clearSelection();
        QVERIFY(enabled(false));
    }

    void delete_asks_and_removes_only_on_yes() {
        const std::int64_t kept = finished_run("a");
        const std::int64_t run = finished_run("b");
        open_window();
        QVERIFY(window_->select_run(run));
        dialogs_.next_answer = MessageResult::no;
        click("deleteButton");
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].text, u("确定删除这次搜索的记录吗？"));
        QCOMPARE(dialogs_.messages[0].caption, u("历史记录"));
        QVERIFY(dialogs_.messages[0].style ==
                platform::MessageStyle{.buttons = MessageButtons::yes_no});
        QVERIFY(listed(run) && stored(run));

        dialogs_.next_answer = MessageResult::yes;
        click("deleteButton");
        QCOMPARE(dialogs_.messages.size(), 2);
        QVERIFY(!stored(run));
        QVERIFY(!listed(run));
        QVERIFY(listed(kept) && stored(kept));
        QVERIFY(!window_->selected_run());
        QVERIFY(!find<QPushButton>("deleteButton")->isEnabled());
        QCOMPARE(find<QLabel>("historyStatus")->text(), u("共 1 次搜索"));
    }

    // Refused by the owner before asking, or by the journal for a run a
    // live recorder writes.
    void a_run_that_cannot_be_deleted_stays() {
        const std::int64_t refused = finished_run("a");
        auto running = begin("b");
        const std::int64_t busy = running->run_id();
        refused_.push_back(refused);
        dialogs_.next_answer = MessageResult::yes;
        open_window();

        QVERIFY(window_->select_run(refused));
        click("deleteButton");
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].text, u("无法删除：这次搜索的记录正在使用中"));
        QCOMPARE(dialogs_.messages[0].caption, u("历史记录"));
        QVERIFY(dialogs_.messages[0].style == platform::MessageStyle{});
        QVERIFY(listed(refused) && stored(refused));

        dialogs_.messages.clear();
        QVERIFY(window_->select_run(busy));
        click("deleteButton");
        QCOMPARE(dialogs_.messages.size(), 2);
        QCOMPARE(dialogs_.messages[0].text, u("确定删除这次搜索的记录吗？"));
        QCOMPARE(dialogs_.messages[1].text, u("无法删除：这次搜索的记录正在使用中"));
        QVERIFY(listed(busy) && stored(busy));
        QCOMPARE(window_->selected_run(), std::optional(busy));

        // Once the harvest is over the same run goes.
        running->run_ended(harvest::RunEnd::finished);
        dialogs_.messages.clear();
        click("deleteButton");
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(!listed(busy) && !stored(busy));
    }

    void a_list_that_cannot_be_read_is_said_in_the_window() {
        const std::int64_t first = finished_run("a");
        finished_run("b");
        open_window();
        QVERIFY(window_->select_run(first));
        auto other = journal::sql::Connection::open(journal_->path(),
                                                    journal::sql::Connection::Mode::read_write);
        QVERIFY(other);
        QVERIFY(other->execute("ALTER TABLE runs RENAME TO runs_away"));
        click("refreshButton");
        QCOMPARE(list()->model()->rowCount(), 0);
        QVERIFY(find<QLabel>("historyStatus")->text().startsWith(u("无法读取历史记录：")));
        QVERIFY(!window_->selected_run());
        QVERIFY(!find<QPushButton>("openButton")->isEnabled());
        QVERIFY(dialogs_.messages.isEmpty());

        QVERIFY(other->execute("ALTER TABLE runs_away RENAME TO runs"));
        click("refreshButton");
        QCOMPARE(list()->model()->rowCount(), 2);
        QCOMPARE(find<QLabel>("historyStatus")->text(), u("共 2 次搜索"));
    }
};

int main(int argc, char* argv[]) {
    return run_qt_test<HistoryWindowTest>(argc, argv);
}

#include "history_window_test.moc"
