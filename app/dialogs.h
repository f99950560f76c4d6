#pragma once
// Modal dialogs behind a seam: the program shows real ones, tests answer them
// at once without waiting on a modal loop. A dialog shown for a run closes by
// itself when the run's stop is requested, answering as if cancelled.

#include <QString>
#include <optional>
#include <stop_token>

#include "platform/window_operations.h"

class QWidget;

namespace quorvel::app {

// A check box shown in a message box under its text; `checked` is its state
// when the box was dismissed.
struct MessageCheck {
    QString text;
    bool checked = false;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A modal message box; returns the button that dismissed it. With
    // `check`, the box also carries that check box.
    virtual platform::MessageResult message(QWidget* parent, const QString& text,
                                            const QString& caption, platform::MessageStyle style,
                                            std::stop_token stop,
                                            MessageCheck* check = nullptr) = 0;
    // A save-file dialog presenting `file_name`; the chosen path or nothing.
    virtual std::optional<QString> save_file(QWidget* parent, const QString& title,
                                             const QString& filters, const QString& default_suffix,
                                             const QString& file_name, std::stop_token stop) = 0;
    // An open-file dialog for an existing file; the chosen path or nothing.
    virtual std::optional<QString> open_file(QWidget* parent, const QString& title,
                                             const QString& filters) = 0;
};

// The real dialogs, over QMessageBox and QFileDialog.
class QtDialogs : public Dialogs {
  public:
    platform::MessageResult message(QWidget* parent, const QString& text, const QString& caption,
                                    platform::MessageStyle style, std::stop_token stop,
                                    MessageCheck* check = nullptr) override;
    std::optional<QString> save_file(QWidget* parent, const QString& title, const QString& filters,
                                     const QString& default_suffix, const QString& file_name,
                                     std::stop_token stop) override;
    std::optional<QString> open_file(QWidget* parent, const QString& title,
                                     const QString& filters) override;
};

}  // namespace quorvel::app
