#pragma once
// The main window: seed box and buttons in a panel on the left, the five
// check boxes across the top and the five result boxes under them. A harvest
// or an export runs on a worker thread with its own stop signal; "搜索" and
// "导出结果" are locked while it runs. Closing the window stops the run.
// Under the result boxes: the progress of a harvest, "停止" and "历史记录";
// along the bottom: the marketplace sign-in, the word table and the
// settings. Every harvest is kept in the journal as it happens, when there is
// one.

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "app/browser.h"
#include "app/dialogs.h"
#include "app/history_window.h"
#include "app/index_window.h"
#include "app/marketplace_session.h"
#include "app/qt_window_operations.h"
#include "app/settings_dialog.h"
#include "export/export.h"
#include "harvest/harvest_run.h"
#include "harvest/harvest_store.h"
#include "harvest/sources.h"
#include "journal/journal.h"
#include "shell/run_controller.h"
#include "shell/run_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvel::app {

class MainWindow : public QWidget, private shell::WindowShell {
    Q_OBJECT

  public:
    MainWindow(harvest::HarvestStore& store, Dialogs& dialogs, harvest::MarketplaceHosts hosts = {},
               QUrl index_page = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    QtWindowOperations& window_operations() { return *operations_; }
    // Whether a harvest or an export is running.
    bool harvest_running() const { return controller_->running(); }
    IndexWindow* index_window() const { return index_window_; }
    HistoryWindow* history_window() const { return history_window_; }
    const WindowSettings& settings() const { return settings_; }
    BrowserWindow* sign_in_window() const { return sign_in_window_; }
    // The browser window a check page is open in while a harvest waits on it.
    BrowserWindow* check_window() const { return check_window_; }

    // The journal every harvest is kept in. None with a `trouble` text: it
    // could not be opened, which each harvest says once. None without one:
    // harvests are kept in memory only, silently.
    void set_journal(journal::Journal* journal, std::string trouble = {});
    // The program's marketplace session, shown beside "登录淘宝" and cleared
    // by "退出登录"; without one both show no session.
    void set_session(MarketplaceSession* session);
    // Shows a notice in the progress line until the next harvest.
    void show_notice(const QString& text);
    // The progress of the current or last harvest, as the window shows it.
    shell::ProgressSnapshot progress() const { return controller_->progress(); }
    // The journal's id of the current or last harvest, if it was kept.
    std::optional<std::int64_t> journal_run() const { return controller_->journal_run(); }

  signals:
    void harvest_finished();
    void export_finished();

  public slots:
    void start_harvest();
    void export_results();
    void show_index_window() override;
    // Ends the harvest in flight; what it found stays.
    void stop_harvest();
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
    void show_history() override;
    // The settings dialog; what it accepts applies from the next harvest on
    // and is kept for the next start.
    void show_settings() override;
    // A word-table window over `table`; each click opens a window of its own.
    void show_word_table(std::shared_ptr<const research::WordTable> table,
                         std::string title) override;
    // The sign-in window on the marketplace's sign-in page, in the shared browser.
    void show_sign_in() override;
    void sign_out() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // What the runs need of this window.
    std::unique_ptr<shell::RunWindow> window_for_run(std::stop_token stop,
                                                     shell::Silencing silencing) override;
    void post(std::function<void()> task) override;
    void flush() override;
    void set_running(std::optional<shell::RunKind> kind) override;
    void set_progress_updates(bool on) override;
    void show_progress(std::size_t done, std::size_t total) override;
    void show_notice(std::string_view text) override;
    void set_checked(std::string_view control, bool checked) override;
    platform::MessageResult tell(std::string_view text, std::string_view caption,
                                 platform::MessageStyle style) override;
    void run_finished(shell::RunKind kind) override;
    bool can_sign_in() const override { return true; }
    // Asks whether to open a check page, and waits until the user has closed
    // it (worker thread): retry then, stop when declined or stopped.
    harvest::VerificationAnswer pass_check_page(shell::RunWindow& window,
                                                const harvest::VerificationPage& page) override;

    void update_sign_in_state();
    // Opens a check page in the shared browser (GUI thread).
    BrowserWindow* open_check_window(const QUrl& page);

    harvest::HarvestStore& store_;
    Dialogs& dialogs_;
    QUrl index_page_;
    std::unique_ptr<QtWindowOperations> operations_;
    QPushButton* search_button_ = nullptr;
    QPushButton* export_button_ = nullptr;
    QPushButton* stop_button_ = nullptr;
    QPushButton* history_button_ = nullptr;
    QPushButton* sign_out_button_ = nullptr;
    QLabel* sign_in_state_ = nullptr;
    MarketplaceSession* session_ = nullptr;
    QPointer<BrowserWindow> sign_in_window_;
    QPointer<BrowserWindow> check_window_;
    QProgressBar* progress_bar_ = nullptr;
    QLabel* progress_line_ = nullptr;
    QTimer progress_timer_;
    QPointer<HistoryWindow> history_window_;
    WindowSettings settings_ = WindowSettings::load();
    QPointer<IndexWindow> index_window_;
    // Last, so that it goes first: it stops the run before the window's parts go.
    std::unique_ptr<shell::RunController> controller_;
};

}  // namespace quorvel::app
