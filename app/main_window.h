#pragma once
// The main window: seed box and buttons in a panel on the left, the five
// check boxes across the top and the five result boxes under them. A harvest
// runs on a worker thread; "搜索" and "导出结果" are locked while it runs.

#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
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

  private:
    // Runs `work` on the worker thread with search and export locked;
    // `finished` is emitted on the GUI thread when it is done.
    void run_in_background(std::function<void()> work, void (MainWindow::*finished)());
    void finish_background(void (MainWindow::*finished)());
    void set_running(bool running);
    void stop_harvest();

    harvest::HarvestStore& store_;
    harvest::MarketplaceHosts hosts_;
    QUrl index_page_;
    std::unique_ptr<QtWindowOperations> operations_;
    QPushButton* search_button_ = nullptr;
    QPushButton* export_button_ = nullptr;
    QPointer<IndexWindow> index_window_;
    std::thread worker_;
    std::stop_source stop_;
};

}  // namespace quorvel::app
