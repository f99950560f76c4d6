#pragma once
// Modal dialogs behind a seam: the program shows real ones, tests answer them
// at once without waiting on a modal loop.

#include <QString>
#include <optional>

class QWidget;

namespace quorvel::app {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A modal message box. Flags as the message-box types: 0 OK, 1 OK/Cancel,
    // 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel.
    // Returns 0 OK, 1 Cancel, 2 Abort, 3 Retry, 4 Ignore, 5 Yes, 6 No.
    virtual int message(QWidget* parent, const QString& text, const QString& caption,
                        int flags) = 0;
    // A save-file dialog presenting `file_name`; the chosen path or nothing.
    virtual std::optional<QString> save_file(QWidget* parent, const QString& title,
                                             const QString& filters, const QString& default_suffix,
                                             const QString& file_name) = 0;
};

// The real dialogs, over QMessageBox and QFileDialog.
class QtDialogs : public Dialogs {
  public:
    int message(QWidget* parent, const QString& text, const QString& caption, int flags) override;
    std::optional<QString> save_file(QWidget* parent, const QString& title, const QString& filters,
                                     const QString& default_suffix,
                                     const QString& file_name) override;
};

}  // namespace quorvel::app
