#pragma once
// The main window: seed box and buttons in a panel on the left, the five
// check boxes across the top and the five result boxes under them. A harvest
// or an export runs on a worker thread with its own stop signal; "搜索" and
// "导出结果" are locked while it runs. Closing the window stops the run.

#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include "app/dialogs.h"
#include "app/index_window.h"
#include "app/qt_window_operations.h"
#include "harvest/harvest_store.h"
#include "harvest/sources.h"

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

  signals:
    void harvest_finished();
    void export_finished();

  public slots:
    void start_harvest();
    void export_results();
    void show_index_window();
    void open_contact_link();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private slots:
    // The worker of run `generation` is done (queued from the worker).
    void finish_background(quint64 generation);

  private:
    using Work = std::function<void(QtWindowOperations::RunView&, std::stop_token)>;
    // Runs `work` on a worker thread with search and export locked; `finished`
    // is emitted on the GUI thread when it is done. An exception escaping the
    // work is logged, and the window returns to idle all the same.
    void run_in_background(const char* what, Work work, void (MainWindow::*finished)());
    // Stops the run in flight, if any, and waits for its worker.
    void stop_background();
    void end_background();
    void set_running(bool running);

    harvest::HarvestStore& store_;
    harvest::MarketplaceHosts hosts_;
    QUrl index_page_;
    std::unique_ptr<QtWindowOperations> operations_;
    QPushButton* search_button_ = nullptr;
    QPushButton* export_button_ = nullptr;
    QPointer<IndexWindow> index_window_;
    std::jthread worker_;
    // Which run the worker belongs to, so a late "done" of a stopped run is ignored.
    quint64 generation_ = 0;
    void (MainWindow::*finished_)() = nullptr;
};

}  // namespace quorvel::app
