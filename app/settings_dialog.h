#pragma once
// The window's settings, kept between runs of the program in the user's
// configuration (QSettings, INI format), and the small dialog that edits them.

#include <QDialog>
#include <chrono>
#include <memory>

#include "harvest/sources.h"
#include "shell/connection_check_task.h"

class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace quorvel::app {

struct WindowSettings {
    // The least time between the starts of two requests of a harvest; 0
    // keeps the marketplace's pace as the harvest sets it.
    std::chrono::milliseconds request_interval{0};
    // How many requests a harvest keeps in flight, 1 to harvest::max_parallel.
    int parallel_requests = 1;

    static WindowSettings load();
    void save() const;
};

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    // "检测连接" asks `hosts`, as the window's harvests do.
    SettingsDialog(const WindowSettings& settings, harvest::MarketplaceHosts hosts,
                   QWidget* parent = nullptr);
    // The settings as the dialog's fields give them.
    WindowSettings settings() const;

  private:
    void check_connection();
    void show_check();

    harvest::MarketplaceHosts hosts_;
    QSpinBox* interval_ = nullptr;
    QSpinBox* parallel_ = nullptr;
    QPushButton* check_ = nullptr;
    QPlainTextEdit* check_lines_ = nullptr;
    // Last: a check still running is stopped before the widgets go.
    std::unique_ptr<shell::ConnectionCheckTask> check_task_;
};

}  // namespace quorvel::app
