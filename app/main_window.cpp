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
#include <map>
#include <utility>

#include "app/history_window.h"
#include "app/index_window.h"
#include "app/qt_text.h"
#include "app/sign_in_window.h"
#include "app/word_table_window.h"
#include "export/export.h"
#include "harvest/harvest_run.h"
#include "harvest/keyword_source.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "shell/control_table.h"
#include "shell/texts.h"

namespace quorvel::app {
namespace {

QUrl utf8_url(std::string_view address) {
    return QUrl(qt_from_utf8(address));
}

template <typename W>
W* place(QWidget* parent, std::string_view name, int x, int y, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(qt_from_utf8(name));
    widget->setGeometry(x, y, width, height);
    return widget;
}

QPushButton* button(QWidget* parent, std::string_view name, std::string_view caption,
                    const shell::Rect& at) {
    auto* b = place<QPushButton>(parent, name, at.x, at.y, at.width, at.height);
    b->setText(qt_from_utf8(caption));
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

}  // namespace

MainWindow::MainWindow(harvest::HarvestStore& store, Dialogs& dialogs,
                       harvest::MarketplaceHosts hosts, QUrl index_page, QWidget* parent)
    : QWidget(parent),
      store_(store),
      dialogs_(dialogs),
      index_page_(index_page.isEmpty() ? utf8_url(shell::index_page) : index_page) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(qt_from_utf8(shell::main_window_caption()));
    const shell::Rect& at = shell::main_window_place;
    setGeometry(at.x, at.y, at.width, at.height);
    setFixedSize(at.width, at.height);

    QWidget* panel = nullptr;
    std::map<std::string_view, QPushButton*> buttons;
    std::vector<std::pair<QPushButton*, shell::ControlAction>> actions;
    for (const shell::ControlEntry& entry : shell::main_window_controls()) {
        QWidget* parent = entry.parent.empty() ? static_cast<QWidget*>(this) : panel;
        const shell::Rect& at = entry.place;
        switch (entry.kind) {
            case shell::ControlKind::panel:
                panel = place<QFrame>(parent, entry.name, at.x, at.y, at.width, at.height);
                break;
            case shell::ControlKind::label:
                place<QLabel>(parent, entry.name, at.x, at.y, at.width, at.height)
                    ->setText(qt_from_utf8(entry.caption));
                break;
            case shell::ControlKind::seed_box:
                place<QPlainTextEdit>(parent, entry.name, at.x, at.y, at.width, at.height);
                break;
            case shell::ControlKind::button:
                buttons[entry.name] = button(parent, entry.name, entry.caption, at);
                actions.emplace_back(buttons[entry.name], entry.action);
                break;
            case shell::ControlKind::check_box: {
                auto* check = place<QCheckBox>(parent, entry.name, at.x, at.y, at.width, at.height);
                check->setText(qt_from_utf8(entry.caption));
                check->setChecked(false);
                break;
            }
            case shell::ControlKind::result_box:
                make_result_box(
                    place<QPlainTextEdit>(parent, entry.name, at.x, at.y, at.width, at.height));
                break;
            case shell::ControlKind::progress_bar:
                progress_bar_ =
                    place<QProgressBar>(parent, entry.name, at.x, at.y, at.width, at.height);
                break;
            case shell::ControlKind::progress_line:
                progress_line_ = place<QLabel>(parent, entry.name, at.x, at.y, at.width, at.height);
                break;
        }
    }
    search_button_ = buttons.at(shell::search_button);
    export_button_ = buttons.at(shell::export_button);
    stop_button_ = buttons.at(shell::stop_button);
    history_button_ = buttons.at(shell::history_button);
    sign_out_button_ = buttons.at(shell::sign_out_button);
    sign_in_state_ = findChild<QLabel*>(qt_from_utf8(shell::sign_in_state));
    sign_in_state_->setAlignment(Qt::AlignCenter);
    progress_bar_->setRange(0, 1);
    progress_bar_->setValue(0);
    progress_bar_->setFormat(QStringLiteral("%v/%m"));
    // No count until a harvest starts or a run is opened.
    progress_bar_->setTextVisible(false);
    stop_button_->setEnabled(false);
    progress_line_->setTextFormat(Qt::PlainText);
    connect(&progress_timer_, &QTimer::timeout, this, [this] { controller_->update_progress(); });

    // The save dialog the export uses keeps its filter text and last file name here.
    auto* save_dialog = new QObject(this);
    save_dialog->setObjectName(qt_from_utf8(shell::save_dialog));
    save_dialog->setProperty("filter", qt_from_utf8(shell::save_dialog_filter));
    save_dialog->setProperty("fileName", QString());

    operations_ = std::make_unique<QtWindowOperations>(
        this, dialogs, [this](std::string_view) { show_index_window(); });

    controller_ = std::make_unique<shell::RunController>(static_cast<shell::WindowShell&>(*this),
                                                         store_, std::move(hosts));
    controller_->set_request_interval(settings_.request_interval);
    controller_->set_parallel_requests(settings_.parallel_requests);

    for (const auto& [b, action] : actions) {
        connect(b, &QPushButton::clicked, this,
                [this, action] { shell::perform(action, *controller_, *this); });
    }
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
    sign_in_state_->setText(
        qt_from_utf8(signed_in ? shell::texts::signed_in : shell::texts::signed_out));
    sign_out_button_->setEnabled(signed_in);
}

void MainWindow::show_sign_in() {
    // A closed window is on its way out: a new one opens the sign-in page afresh.
    if (sign_in_window_ != nullptr && !sign_in_window_->isVisible()) {
        sign_in_window_ = nullptr;
    }
    if (sign_in_window_ == nullptr) {
        const QUrl page = utf8_url(harvest::sign_in_page);
        // Without a session there is nothing to paste into: the page alone.
        sign_in_window_ =
            session_ != nullptr
                ? new SignInWindow(page, dialogs_, *session_)
                : new BrowserWindow(QStringLiteral("SignInWindow"),
                                    qt_from_utf8(shell::texts::sign_in_caption), page);
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
    check_window_ = new BrowserWindow(QStringLiteral("CheckWindow"),
                                      qt_from_utf8(shell::texts::check_window_caption), page);
    check_window_->show();
    check_window_->raise();
    check_window_->activateWindow();
    return check_window_;
}

harvest::VerificationAnswer MainWindow::pass_check_page(shell::RunWindow& run_window,
                                                        const harvest::VerificationPage& page) {
    // The run's window operations are this window's own.
    auto& window = static_cast<QtWindowOperations::RunView&>(run_window);
    const QUrl address(QString::fromStdString(page.url));
    const bool can_open =
        address.scheme() == QStringLiteral("https") || address.scheme() == QStringLiteral("http");
    const QString question = qt_from_utf8(can_open ? shell::texts::check_page_question
                                                   : shell::texts::check_page_stopped);
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
    auto* dialog = new SettingsDialog(settings_, controller_->hosts(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        settings_ = dialog->settings();
        settings_.save();
        controller_->set_request_interval(settings_.request_interval);
        controller_->set_parallel_requests(settings_.parallel_requests);
    });
    dialog->open();
}

void MainWindow::show_word_table(std::shared_ptr<const research::WordTable> table,
                                 std::string title) {
    auto* window = new WordTableWindow(std::move(table), qt_from_utf8(title), dialogs_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    window->activateWindow();
}

MainWindow::~MainWindow() {
    controller_->stop_and_wait();
    // The browser windows go before the profile they use, which the
    // application object holds.
    delete index_window_.data();
    delete sign_in_window_.data();
    delete check_window_.data();
}

void MainWindow::set_journal(journal::Journal* journal, std::string trouble) {
    controller_->set_journal(journal, std::move(trouble));
}

void MainWindow::start_harvest() {
    controller_->start_harvest();
}
void MainWindow::export_results() {
    controller_->export_results();
}
void MainWindow::stop_harvest() {
    controller_->stop_harvest();
}
void MainWindow::offer_resume() {
    controller_->offer_resume();
}
bool MainWindow::open_run(std::int64_t run) {
    return controller_->open_run(run);
}
bool MainWindow::continue_run(std::int64_t run) {
    return controller_->continue_run(run);
}
void MainWindow::export_run(std::int64_t run, exporting::ExportFormat format) {
    controller_->export_run(run, format);
}

void MainWindow::show_notice(const QString& text) {
    progress_line_->setText(
        progress_line_->fontMetrics().elidedText(text, Qt::ElideRight, progress_line_->width()));
    progress_line_->setToolTip(text);
}

std::unique_ptr<shell::RunWindow> MainWindow::window_for_run(std::stop_token stop,
                                                             shell::Silencing silencing) {
    return std::make_unique<QtWindowOperations::RunView>(*operations_, std::move(stop), silencing);
}

void MainWindow::post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void MainWindow::flush() {
    operations_->flush();
}

void MainWindow::set_running(std::optional<shell::RunKind> kind) {
    search_button_->setEnabled(!kind);
    export_button_->setEnabled(!kind);
    stop_button_->setEnabled(kind == shell::RunKind::harvest);
}

void MainWindow::set_progress_updates(bool on) {
    if (!on) {
        progress_timer_.stop();
    } else {
        progress_timer_.setInterval(100);  // at most ten updates a second
        progress_timer_.start();
    }
}

void MainWindow::show_progress(std::size_t done, std::size_t total) {
    progress_bar_->setTextVisible(true);
    progress_bar_->setRange(0, static_cast<int>(std::max<std::size_t>(total, 1)));
    progress_bar_->setValue(static_cast<int>(done));
}

void MainWindow::show_notice(std::string_view text) {
    show_notice(qt_from_code_page(text));
}

void MainWindow::set_checked(std::string_view control, bool checked) {
    if (auto* check = findChild<QCheckBox*>(qt_from_utf8(control))) {
        check->setChecked(checked);
    }
}

platform::MessageResult MainWindow::tell(std::string_view text, std::string_view caption,
                                         platform::MessageStyle style) {
    return dialogs_.message(this, qt_from_code_page(text), qt_from_code_page(caption), style, {});
}

void MainWindow::run_finished(shell::RunKind kind) {
    if (kind == shell::RunKind::harvest) {
        emit harvest_finished();
    } else {
        emit export_finished();
    }
}

void MainWindow::show_history() {
    if (controller_->journal() == nullptr) {
        return;
    }
    if (history_window_ == nullptr) {
        auto* history = new HistoryWindow(*controller_->journal(), dialogs_,
                                          shell::history_actions(*controller_), this);
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

void MainWindow::show_index_window() {
    if (index_window_ == nullptr) {
        index_window_ = new IndexWindow(index_page_);
        index_window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    index_window_->show();
    index_window_->raise();
    index_window_->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    controller_->stop_and_wait();
    if (index_window_ != nullptr) {
        index_window_->close();
    }
    if (history_window_ != nullptr) {
        history_window_->close();
    }
    for (auto* table : findChildren<WordTableWindow*>(QString(), Qt::FindDirectChildrenOnly)) {
        table->close();
    }
    for (BrowserWindow* browser : {sign_in_window_.data(), check_window_.data()}) {
        if (browser != nullptr) {
            browser->close();
        }
    }
    // With the index, history, word-table and browser windows closed too, the last window is gone
    // and the program ends.
    event->accept();
}

}  // namespace quorvel::app
