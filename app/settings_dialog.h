#pragma once
// The window's settings, kept between runs of the program in the user's
// configuration (QSettings, INI format), and the small dialog that edits them.

#include <QDialog>
#include <chrono>

class QSpinBox;

namespace quorvel::app {

struct WindowSettings {
    // The least time between the starts of two requests of a harvest; 0
    // keeps the marketplace's pace as the harvest sets it.
    std::chrono::milliseconds request_interval{0};

    static WindowSettings load();
    void save() const;
};

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SettingsDialog(const WindowSettings& settings, QWidget* parent = nullptr);
    // The settings as the dialog's fields give them.
    WindowSettings settings() const;

  private:
    QSpinBox* interval_ = nullptr;
};

}  // namespace quorvel::app
