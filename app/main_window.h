#pragma once
// The main window: seed box and buttons in a panel on the left, the five
// check boxes across the top and the five result boxes under them. A harvest
// or an export runs on a worker thread with its own stop signal; "搜索" and
// "导出结果" are locked while it runs. Closing the window stops the run.
// Under the result boxes: the progress of a harvest, "停止" and "历史记录";
// along the bottom: the marketplace sign-in and the settings. Every harvest
// is kept in the journal as it happens, when there is one.

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

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
#include "shell/run_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvel::app {

class MainWindow : public QWidget {
    Q_OBJECT

  public:
    MainWindow(harvest::HarvestStore& store, Dialogs& dialogs, harvest::MarketplaceHosts hosts = {},
               QUrl index_page = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    QtWindowOperations& window_operations() { return *operations_; }
    // Whether a harvest or an export is running.
    bool harvest_running() const { return worker_.joinable(); }
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
    shell::ProgressSnapshot progress() const { return tally_.snapshot(); }
    // The journal's id of the current or last harvest, if it was kept.
    std::optional<std::int64_t> journal_run() const { return journal_run_; }

  signals:
    void harvest_finished();
    void export_finished();

  public slots:
    void start_harvest();
    void export_results();
    void show_index_window();
    void open_contact_link();
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
    void show_history();
    // The settings dialog; what it accepts applies from the next harvest on
    // and is kept for the next start.
    void show_settings();
    // The sign-in window on the marketplace's sign-in page, in the shared browser.
    void show_sign_in();
    void sign_out();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private slots:
    // The worker of run `generation` is done (queued from the worker).
    void finish_background(quint64 generation);

  private:
    using Work = std::function<void(QtWindowOperations::RunView&, std::stop_token)>;
    enum class RunKind { harvest, other };
    // Runs `work` on a worker thread with search and export locked; `finished`
    // is emitted on the GUI thread when it is done. An exception escaping the
    // work is logged, and the window returns to idle all the same.
    void run_in_background(const char* what, Work work, void (MainWindow::*finished)(),
                           RunKind kind = RunKind::other);
    // Runs the harvest from `first_seed` with the progress shown, kept by
    // `recorder` when there is one.
    enum class HarvestStart { fresh, continued };
    void run_harvest(std::size_t first_seed, std::unique_ptr<journal::RunRecorder> recorder,
                     HarvestStart start);
    void tell_journal_failure(const QString& what, const journal::JournalError& error);
    // Whether a run keeps the window busy, said to the user of the history window.
    bool busy_for_history();
    // The seed box, the check boxes, the result boxes and the store as a kept run left them.
    void fill_from(journal::LoadedRun& run);
    void update_progress();
    void update_sign_in_state();
    // Opens a check page in the shared browser (GUI thread).
    BrowserWindow* open_check_window(const QUrl& page);
    // Asks whether to open a check page, and waits until the user has closed
    // it (worker thread): retry then, stop when declined or stopped.
    harvest::VerificationAnswer pass_check_page(QtWindowOperations::RunView& window,
                                                const harvest::VerificationPage& page);
    // A journal write failed or there is none: said once in the progress line and the log.
    void note_storage_trouble(const std::string& why);
    // Stops the run in flight, if any, and waits for its worker.
    void stop_background();
    void end_background();
    // Locks search and export while a run of `kind` goes on; "停止" is for harvests.
    void set_running(std::optional<RunKind> kind);

    harvest::HarvestStore& store_;
    Dialogs& dialogs_;
    harvest::MarketplaceHosts hosts_;
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
    shell::RunTally tally_;
    journal::Journal* journal_ = nullptr;
    std::string journal_trouble_;
    std::optional<std::int64_t> journal_run_;
    std::atomic<bool> storage_failed_{false};
    QPointer<HistoryWindow> history_window_;
    WindowSettings settings_ = WindowSettings::load();
    QPointer<IndexWindow> index_window_;
    std::jthread worker_;
    // Which run the worker belongs to, so a late "done" of a stopped run is ignored.
    quint64 generation_ = 0;
    void (MainWindow::*finished_)() = nullptr;
};

}  // namespace quorvel::app
