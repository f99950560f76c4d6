#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/app_config.h"
#include "app/history_window.h"
#include "app/index_window.h"
#include "app/qt_text.h"
#include "export/export.h"
#include "harvest/harvest_run.h"
#include "harvest/keyword_source.h"
#include "platform/code_page.h"
#include "platform/log.h"

namespace quorvel::app {
namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename W>
W* place(QWidget* parent, std::string_view name, int x, int y, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(utf8(name));
    widget->setGeometry(x, y, width, height);
    return widget;
}

QPushButton* button(QWidget* parent, std::string_view name, const char* caption, QRect at) {
    auto* b = place<QPushButton>(parent, name, at.x(), at.y(), at.width(), at.height());
    b->setText(QString::fromUtf8(caption));
    return b;
}

// A result box: plain text, both scroll bars, no wrapping, no length limit,
// black on white with a shallow sunken border.
void make_result_box(QPlainTextEdit* box) {
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setMaximumBlockCount(0);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    box->setLineWidth(1);
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    box->setPalette(colours);
}

// Tells the user, once per run, of a kind the marketplace wants a signed-in
// session for, and offers the sign-in window; the run goes on with the other
// kinds either way.
class MarketplaceNotices : public harvest::HarvestObserver {
  public:
    MarketplaceNotices(QtWindowOperations::RunView& window, std::function<void()> offer_sign_in)
        : window_(window), offer_sign_in_(std::move(offer_sign_in)) {}
    void login_wall(harvest::RequestKind kind, const std::string&, const std::string&) override {
        const harvest::KeywordSource source = harvest::source_of(kind);
        if (told_.has(source)) {
            return;
        }
        told_.add(source);
        const QString caption = qt_from_code_page(harvest::info(source).caption);
        const platform::MessageResult answer =
            window_.ask(QStringLiteral("“%1”需要登录淘宝才能获取，本次搜索不会得到这一类的词，"
                                       "其他类别照常进行。\n是否现在打开登录窗口？")
                            .arg(caption),
                        {.buttons = platform::MessageButtons::yes_no}, QString());
        if (answer == platform::MessageResult::yes) {
            offer_sign_in_();
        }
    }

  private:
    QtWindowOperations::RunView& window_;
    std::function<void()> offer_sign_in_;
    harvest::KindSet told_;
};

struct Place {
    int x, y, width, height;
};

// Positions of the check boxes and result boxes, in source order.
constexpr Place check_boxes[] = {
    {129, 7, 107, 30}, {252, 7, 110, 30}, {372, 7, 105, 30}, {491, 7, 100, 30}, {612, 7, 111, 30}};
constexpr Place result_boxes[] = {{128, 35, 120, 432},
                                  {248, 35, 120, 432},
                                  {368, 34, 120, 432},
                                  {488, 33, 120, 432},
                                  {608, 33, 120, 432}};

}  // namespace

MainWindow::MainWindow(harvest::HarvestStore& store, Dialogs& dialogs,
                       harvest::MarketplaceHosts hosts, QUrl index_page, QWidget* parent)
    : QWidget(parent),
      store_(store),
      dialogs_(dialogs),
      hosts_(std::move(hosts)),
      index_page_(index_page.isEmpty() ? QUrl(QString::fromUtf8(app::index_page)) : index_page) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(main_window_caption());
    setGeometry(50, 50, 741, 558);
    setFixedSize(741, 558);

    auto* panel = place<QFrame>(this, "外形框1", 0, 0, 128, 529);
    auto* label = place<QLabel>(panel, "标签1", 8, 8, 112, 24);
    label->setText(QStringLiteral("关键词"));
    place<QPlainTextEdit>(panel, harvest::seed_box, 2, 36, 123, 429);
    search_button_ = button(panel, "按钮1", "搜索", {2, 468, 124, 28});
    export_button_ = button(panel, "按钮2", "导出结果", {2, 497, 124, 28});

    for (harvest::KeywordSource source : harvest::all_sources) {
        const harvest::SourceInfo& info = harvest::info(source);
        const Place& c = check_boxes[harvest::index_of(source)];
        auto* check = place<QCheckBox>(this, info.check_box, c.x, c.y, c.width, c.height);
        check->setText(qt_from_code_page(info.caption));
        check->setChecked(false);
        const Place& r = result_boxes[harvest::index_of(source)];
        make_result_box(place<QPlainTextEdit>(this, info.result_box, r.x, r.y, r.width, r.height));
    }

    auto* index_button = button(this, "按钮5", "阿里指数查询", {328, 472, 88, 24});
    auto* help_button = button(this, "按钮3", "帮助", {624, 464, 96, 32});
    auto* download_button = button(this, "按钮4", "下载新版本", {624, 496, 96, 32});

    // The free band under the result boxes: the progress of a harvest beside
    // "阿里指数查询", then "停止" and "历史记录" before "帮助"; the progress line under them.
    progress_bar_ = place<QProgressBar>(this, "harvestProgress", 132, 474, 192, 20);
    progress_bar_->setRange(0, 1);
    progress_bar_->setValue(0);
    progress_bar_->setFormat(QStringLiteral("%v/%m"));
    stop_button_ = button(this, "stopButton", "停止", {420, 472, 88, 24});
    stop_button_->setEnabled(false);
    history_button_ = button(this, "historyButton", "历史记录", {512, 472, 104, 24});
    progress_line_ = place<QLabel>(this, "progressLine", 132, 500, 488, 24);
    // The strip under the panel and the result boxes: the marketplace sign-in
    // and whether there is one, then the settings.
    auto* sign_in_button = button(this, "signInButton", "登录淘宝", {132, 531, 88, 24});
    sign_in_state_ = place<QLabel>(this, "signInState", 226, 531, 60, 24);
    sign_in_state_->setAlignment(Qt::AlignCenter);
    sign_out_button_ = button(this, "signOutButton", "退出登录", {292, 531, 88, 24});
    auto* settings_button = button(this, "settingsButton", "设置", {652, 531, 76, 24});
    progress_line_->setTextFormat(Qt::PlainText);
    progress_timer_.setInterval(100);  // at most ten updates a second
    connect(&progress_timer_, &QTimer::timeout, this, &MainWindow::update_progress);

    // The save dialog the export uses keeps its filter text and last file name here.
    auto* save_dialog = new QObject(this);
    save_dialog->setObjectName(QStringLiteral("通用对话框1"));
    save_dialog->setProperty("filter", QStringLiteral("CSV格式(.csv)|xlsx格式(.xlsx)"));
    save_dialog->setProperty("fileName", QString());

    operations_ = std::make_unique<QtWindowOperations>(
        this, dialogs, [this](std::string_view) { show_index_window(); });

    connect(search_button_, &QPushButton::clicked, this, &MainWindow::start_harvest);
    connect(export_button_, &QPushButton::clicked, this, &MainWindow::export_results);
    connect(index_button, &QPushButton::clicked, this, &MainWindow::show_index_window);
    connect(help_button, &QPushButton::clicked, this, &MainWindow::open_contact_link);
    connect(download_button, &QPushButton::clicked, this, &MainWindow::open_contact_link);
    connect(stop_button_, &QPushButton::clicked, this, &MainWindow::stop_harvest);
    connect(history_button_, &QPushButton::clicked, this, &MainWindow::show_history);
    connect(settings_button, &QPushButton::clicked, this, &MainWindow::show_settings);
    connect(sign_in_button, &QPushButton::clicked, this, &MainWindow::show_sign_in);
    connect(sign_out_button_, &QPushButton::clicked, this, &MainWindow::sign_out);
    update_sign_in_state();
}

void MainWindow::set_session(MarketplaceSession* session) {
    if (session_ != nullptr) {
        disconnect(session_, nullptr, this, nullptr);
    }
    session_ = session;
    if (session_ != nullptr) {
        connect(session_, &MarketplaceSession::changed, this, &MainWindow::update_sign_in_state);
    }
    update_sign_in_state();
}

void MainWindow::update_sign_in_state() {
    const bool signed_in = session_ != nullptr && session_->signed_in();
    sign_in_state_->setText(signed_in ? QStringLiteral("已登录") : QStringLiteral("未登录"));
    sign_out_button_->setEnabled(signed_in);
}

void MainWindow::show_sign_in() {
    // A closed window is on its way out: a new one opens the sign-in page afresh.
    if (sign_in_window_ != nullptr && !sign_in_window_->isVisible()) {
        sign_in_window_ = nullptr;
    }
    if (sign_in_window_ == nullptr) {
        sign_in_window_ = new BrowserWindow(
            QStringLiteral("SignInWindow"), QStringLiteral("登录淘宝"),
            QUrl(QString::fromUtf8(harvest::sign_in_page.data(), harvest::sign_in_page.size())));
    }
    sign_in_window_->show();
    sign_in_window_->raise();
    sign_in_window_->activateWindow();
}

void MainWindow::sign_out() {
    if (session_ != nullptr) {
        session_->sign_out();
    }
}

BrowserWindow* MainWindow::open_check_window(const QUrl& page) {
    if (check_window_ != nullptr) {
        check_window_->close();
    }
    check_window_ =
        new BrowserWindow(QStringLiteral("CheckWindow"), QStringLiteral("淘宝安全验证"), page);
    check_window_->show();
    check_window_->raise();
    check_window_->activateWindow();
    return check_window_;
}

harvest::VerificationAnswer MainWindow::pass_check_page(QtWindowOperations::RunView& window,
                                                        const harvest::VerificationPage& page) {
    const QUrl address(QString::fromStdString(page.url));
    const bool can_open =
        address.scheme() == QStringLiteral("https") || address.scheme() == QStringLiteral("http");
    const QString question =
        can_open ? QStringLiteral(
                       "淘宝要求进行安全验证，搜索已暂停。\n"
                       "是否在内置浏览器中打开验证页面？完成验证后关闭该窗口，"
                       "搜索会重新发送这次请求并继续。\n"
                       "选“否”停止本次搜索（已找到的词会保留，可在“历史记录”中继续）。")
                 : QStringLiteral(
                       "淘宝要求进行安全验证，搜索已停止（已找到的词会保留，"
                       "可在“历史记录”中继续）。");
    const platform::MessageResult answer = window.ask(
        question,
        {.buttons = can_open ? platform::MessageButtons::yes_no : platform::MessageButtons::ok},
        QString());
    if (!can_open || answer != platform::MessageResult::yes) {
        return harvest::VerificationAnswer::stop;
    }
    platform::log_info("waiting for the check page to be passed in the browser");
    const bool closed = window.wait_until([this, address](std::function<void()> done) {
        BrowserWindow* browser = open_check_window(address);
        connect(browser, &BrowserWindow::closed, browser, done);
    });
    return closed ? harvest::VerificationAnswer::retry : harvest::VerificationAnswer::stop;
}

void MainWindow::show_settings() {
    auto* dialog = new SettingsDialog(settings_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        settings_ = dialog->settings();
        settings_.save();
    });
    dialog->open();
}

MainWindow::~MainWindow() {
    stop_background();
    // The browser windows go before the profile they use, which the
    // application object holds.
    delete index_window_.data();
    delete sign_in_window_.data();
    delete check_window_.data();
}

void MainWindow::set_journal(journal::Journal* journal, std::string trouble) {
    journal_ = journal;
    journal_trouble_ = std::move(trouble);
}

void MainWindow::start_harvest() {
    if (worker_.joinable()) {
        return;
    }
    std::unique_ptr<journal::RunRecorder> recorder;
    journal_run_.reset();
    storage_failed_ = false;
    if (journal_ != nullptr) {
        // The ticks and the seed text as they are now: a continued run uses them again.
        harvest::KindSet kinds;
        for (harvest::KeywordSource source : harvest::all_sources) {
            if (operations_->for_run({}).read_checked(harvest::info(source).check_box)) {
                kinds.add(source);
            }
        }
        auto begun =
            journal_->begin_run(kinds, operations_->for_run({}).read_text(harvest::seed_box),
                                journal::ResumeOffer::at_next_start);
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

void MainWindow::run_harvest(std::size_t first_seed, std::unique_ptr<journal::RunRecorder> recorder,
                             HarvestStart start) {
    if (recorder != nullptr) {
        journal_run_ = recorder->run_id();
        recorder->on_failure(
            [this](const journal::JournalError& error) { note_storage_trouble(error.message); });
    }
    tally_.run_started({}, first_seed);
    progress_bar_->setRange(0, 1);
    progress_bar_->setValue(0);
    progress_timer_.start();
    // Shared with the work so that the worker, not the GUI thread, lets the
    // recorder go once the run's end is stored.
    auto kept = std::make_shared<std::unique_ptr<journal::RunRecorder>>(std::move(recorder));
    run_in_background(
        "harvest",
        [this, first_seed, kept, start, interval = settings_.request_interval](
            QtWindowOperations::RunView& window, std::stop_token stop) {
            harvest::ObserverList observers;
            observers.add(tally_);
            if (*kept != nullptr) {
                observers.add(**kept);
            }
            MarketplaceNotices notices(window, [this] {
                QMetaObject::invokeMethod(this, &MainWindow::show_sign_in, Qt::QueuedConnection);
            });
            observers.add(notices);
            const harvest::RunOptions options{
                .hosts = hosts_,
                .stop = std::move(stop),
                .observer = &observers,
                .first_seed = first_seed,
                .interval = interval,
                .on_verification = [this, &window](const harvest::VerificationPage& page) {
                    return pass_check_page(window, page);
                }};
            if (start == HarvestStart::fresh) {
                harvest::start_harvest(window, store_, options);
            } else {
                harvest::run_harvest(window, store_, options);
            }
            kept->reset();
        },
        &MainWindow::harvest_finished, RunKind::harvest);
}

void MainWindow::show_notice(const QString& text) {
    progress_line_->setText(
        progress_line_->fontMetrics().elidedText(text, Qt::ElideRight, progress_line_->width()));
    progress_line_->setToolTip(text);
}

void MainWindow::note_storage_trouble(const std::string& why) {
    if (!storage_failed_.exchange(true)) {
        platform::log_warning("the harvest is kept in memory only: " + why);
    }
}

void MainWindow::update_progress() {
    const shell::ProgressSnapshot now = tally_.snapshot();
    progress_bar_->setRange(0, static_cast<int>(std::max<std::size_t>(now.seeds_total, 1)));
    progress_bar_->setValue(static_cast<int>(now.seeds_done));
    std::string line = shell::progress_text(now);
    if (storage_failed_) {
        line = shell::with_storage_notice(line);
    }
    show_notice(qt_from_code_page(line));
}

void MainWindow::stop_harvest() {
    if (worker_.joinable() && stop_button_->isEnabled()) {
        worker_.request_stop();
        stop_button_->setEnabled(false);
    }
}

void MainWindow::fill_from(journal::LoadedRun& run) {
    auto& boxes = *operations_;
    QtWindowOperations::RunView window = boxes.for_run({});
    window.set_text(harvest::seed_box, run.info.seed_text);
    for (harvest::KeywordSource source : harvest::all_sources) {
        const harvest::SourceInfo& info = harvest::info(source);
        if (auto* check = findChild<QCheckBox*>(QString::fromUtf8(
                info.check_box.data(), static_cast<qsizetype>(info.check_box.size())))) {
            check->setChecked(run.info.kinds.has(source));
        }
        std::string text;
        for (const harvest::WordRow& row : run.store.word_rows(source)) {
            text += row.word;
            text += "\r\n";
        }
        window.set_text(info.result_box, text);
    }
    boxes.flush();
    store_ = std::move(run.store);
}

// A journal failure for the user: what could not be done, then the journal's own words.
void MainWindow::tell_journal_failure(const QString& what, const journal::JournalError& error) {
    dialogs_.message(this, what + QStringLiteral("\n") + QString::fromStdString(error.message),
                     QStringLiteral("历史记录"), {}, {});
}

bool MainWindow::open_run(std::int64_t run) {
    if (worker_.joinable() || journal_ == nullptr) {
        return false;
    }
    auto loaded = journal_->load(run);
    if (!loaded) {
        tell_journal_failure(QStringLiteral("无法打开这次搜索。"), loaded.error());
        return false;
    }
    fill_from(*loaded);
    progress_timer_.stop();
    tally_.run_started({}, 0);
    progress_bar_->setRange(0, static_cast<int>(std::max<std::size_t>(loaded->seeds.size(), 1)));
    progress_bar_->setValue(static_cast<int>(loaded->first_unfinished));
    std::int64_t words = 0;
    for (std::int64_t count : loaded->info.words) {
        words += count;
    }
    const QString line =
        QStringLiteral("已打开历史记录 · %1 · 关键词 %2/%3 · 词 %4")
            .arg(QDateTime::fromMSecsSinceEpoch(loaded->info.started_ms)
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            .arg(loaded->first_unfinished)
            .arg(loaded->seeds.size())
            .arg(qt_from_code_page(shell::grouped(static_cast<std::size_t>(words))));
    show_notice(line);
    journal_run_ = run;
    return true;
}

bool MainWindow::continue_run(std::int64_t run) {
    if (worker_.joinable() || journal_ == nullptr) {
        return false;
    }
    auto resumed = journal_->resume_run(run, journal::ResumeOffer::at_next_start);
    if (!resumed) {
        tell_journal_failure(QStringLiteral("无法继续这次搜索。"), resumed.error());
        return false;
    }
    storage_failed_ = false;
    journal::LoadedRun& loaded = resumed->first;
    const std::size_t first_seed = loaded.first_unfinished;
    fill_from(loaded);
    run_harvest(first_seed, std::move(resumed->second), HarvestStart::continued);
    return true;
}

void MainWindow::offer_resume() {
    if (journal_ == nullptr || worker_.joinable()) {
        return;
    }
    auto found = journal_->run_to_offer();
    if (!found || !*found) {
        return;
    }
    const journal::RunInfo& run = **found;
    // Asked once: whatever the answer, the run is not offered again.
    (void)journal_->offered(run.id);
    std::int64_t words = 0;
    for (std::int64_t count : run.words) {
        words += count;
    }
    const QString question =
        QStringLiteral(
            "上次的搜索没有完成（开始于 %1，已完成关键词 %2/%3，找到词 %4 个）。\n"
            "是否从第 %5 个关键词继续？")
            .arg(QDateTime::fromMSecsSinceEpoch(run.started_ms)
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            .arg(run.seeds_done)
            .arg(run.seeds_total)
            .arg(qt_from_code_page(shell::grouped(static_cast<std::size_t>(words))))
            .arg(run.seeds_done + 1);
    platform::log_info("offering to continue interrupted run " + std::to_string(run.id));
    const platform::MessageResult answer =
        dialogs_.message(this, question, QStringLiteral("继续上次的搜索"),
                         {.buttons = platform::MessageButtons::yes_no}, {});
    if (answer == platform::MessageResult::yes) {
        continue_run(run.id);
    }
}

void MainWindow::export_run(std::int64_t run, exporting::ExportFormat format) {
    if (worker_.joinable() || journal_ == nullptr) {
        return;
    }
    auto loaded = journal_->load(run);
    if (!loaded) {
        tell_journal_failure(QStringLiteral("无法导出这次搜索。"), loaded.error());
        return;
    }
    auto kept = std::make_shared<harvest::HarvestStore>(std::move(loaded->store));
    run_in_background(
        "export",
        [kept, format](QtWindowOperations::RunView& window, std::stop_token stop) {
            exporting::export_results(window, *kept, std::move(stop), format);
        },
        &MainWindow::export_finished);
}

void MainWindow::show_history() {
    if (journal_ == nullptr) {
        dialogs_.message(
            this,
            QStringLiteral("历史记录不可用：") +
                QString::fromStdString(journal_trouble_.empty() ? std::string("no journal")
                                                                : journal_trouble_),
            QStringLiteral("历史记录"), {}, {});
        return;
    }
    if (history_window_ == nullptr) {
        HistoryActions actions{
            .open_run =
                [this](std::int64_t run) {
                    if (!busy_for_history()) {
                        open_run(run);
                    }
                },
            .continue_run =
                [this](std::int64_t run) {
                    if (!busy_for_history()) {
                        continue_run(run);
                    }
                },
            .export_run =
                [this](std::int64_t run, exporting::ExportFormat format) {
                    if (!busy_for_history()) {
                        export_run(run, format);
                    }
                },
            // Not the run being harvested now.
            .can_delete =
                [this](std::int64_t run) { return !(worker_.joinable() && journal_run_ == run); }};
        auto* history = new HistoryWindow(*journal_, dialogs_, std::move(actions), this);
        history->setAttribute(Qt::WA_DeleteOnClose);
        // A harvest that ends while the list is open shows up in it.
        connect(this, &MainWindow::harvest_finished, history, &HistoryWindow::reload);
        history_window_ = history;
    } else {
        history_window_->reload();
    }
    history_window_->show();
    history_window_->raise();
    history_window_->activateWindow();
}

bool MainWindow::busy_for_history() {
    if (!worker_.joinable()) {
        return false;
    }
    dialogs_.message(history_window_,
                     QStringLiteral("搜索或导出正在进行，请等它结束或停止后再试。"),
                     QStringLiteral("历史记录"), {}, {});
    return true;
}

void MainWindow::export_results() {
    run_in_background(
        "export",
        [this](QtWindowOperations::RunView& window, std::stop_token stop) {
            exporting::export_results(window, store_, std::move(stop));
        },
        &MainWindow::export_finished);
}

void MainWindow::run_in_background(const char* what, Work work, void (MainWindow::*finished)(),
                                   RunKind kind) {
    if (worker_.joinable()) {
        return;
    }
    set_running(kind);
    finished_ = finished;
    const quint64 generation = ++generation_;
    // A harvest's failure messages can be silenced for the rest of the run.
    const auto silencing = kind == RunKind::harvest ? QtWindowOperations::Silencing::offered
                                                    : QtWindowOperations::Silencing::none;
    worker_ = std::jthread(
        [this, what, work = std::move(work), generation, silencing](std::stop_token stop) {
            QtWindowOperations::RunView window = operations_->for_run(stop, silencing);
            // The thread's edge: nothing escapes it, and the window always hears
            // that the run is over.
            try {
                work(window, stop);
            } catch (const std::exception& error) {
                platform::log_error(std::string(what) + " failed: " + error.what());
            } catch (...) {
                platform::log_error(std::string(what) + " failed with an unknown error");
            }
            QMetaObject::invokeMethod(this, "finish_background", Qt::QueuedConnection,
                                      Q_ARG(quint64, generation));
        });
}

void MainWindow::finish_background(quint64 generation) {
    if (generation != generation_ || !worker_.joinable()) {
        return;  // a run that was stopped and waited for already
    }
    worker_.join();
    end_background();
}

void MainWindow::stop_background() {
    if (!worker_.joinable()) {
        return;
    }
    worker_.request_stop();
    worker_.join();
    end_background();
}

void MainWindow::end_background() {
    operations_->flush();
    if (progress_timer_.isActive()) {
        progress_timer_.stop();
        update_progress();  // left as the run's summary
    }
    set_running(std::nullopt);
    if (auto finished = std::exchange(finished_, nullptr)) {
        emit(this->*finished)();
    }
}

void MainWindow::set_running(std::optional<RunKind> kind) {
    search_button_->setEnabled(!kind);
    export_button_->setEnabled(!kind);
    stop_button_->setEnabled(kind == RunKind::harvest);
}

void MainWindow::show_index_window() {
    if (index_window_ == nullptr) {
        index_window_ = new IndexWindow(index_page_);
        index_window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    index_window_->show();
    index_window_->raise();
    index_window_->activateWindow();
}

void MainWindow::open_contact_link() {
    operations_->for_run({}).open_with_shell(code_page_from_qt(QString::fromUtf8(contact_link)));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    stop_background();
    if (index_window_ != nullptr) {
        index_window_->close();
    }
    if (history_window_ != nullptr) {
        history_window_->close();
    }
    for (BrowserWindow* browser : {sign_in_window_.data(), check_window_.data()}) {
        if (browser != nullptr) {
            browser->close();
        }
    }
    // With the index, history and browser windows closed too, the last window is gone
    // and the program ends.
    event->accept();
}

}  // namespace quorvel::app
