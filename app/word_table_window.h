#pragma once
// The word-table window: the words of a harvest in a table filtered by
// "包含" and "排除" and sorted by a click on a heading, the count line, the
// roots beside it (a click on one narrows the table to its words), and
// buttons to copy the selected words and to export the table or the roots.
// What it does is shell::WordTableController's; the window draws. The
// models read the shown rows only as the view paints them, so that a table
// of hundreds of thousands of words stays quick.

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string_view>

#include "app/dialogs.h"
#include "research/word_table.h"
#include "shell/word_table_controller.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTableView;

namespace quorvel::app {

class WordModel;
class RootModel;

class WordTableWindow : public QWidget {
    Q_OBJECT

  public:
    // A top-level window even when given a parent.
    WordTableWindow(std::shared_ptr<const research::WordTable> table, const QString& title,
                    Dialogs& dialogs, QWidget* parent = nullptr);
    ~WordTableWindow() override;

    const shell::WordTableController& controller() const { return controller_; }

  public slots:
    // The selected rows' words, one per line, to the clipboard.
    void copy_selected();
    // Ask for a file name and write the table as shown, or the roots.
    void export_words();
    void export_roots();

  protected:
    // The roots are cut when the window is first shown.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The shown rows changed: the table, its sort mark and the count line follow.
    void rows_changed();
    void show_roots();
    void root_clicked(int row);
    // The save dialog for `title`; the path chosen, if one was.
    std::optional<QString> ask_path(std::string_view title);
    // An export failed: `text` in a message box.
    void tell_failure(const QString& text);

    Dialogs& dialogs_;
    shell::WordTableController controller_;
    bool roots_shown_ = false;
    QString last_path_;
    WordModel* words_ = nullptr;
    RootModel* roots_ = nullptr;
    QLineEdit* include_ = nullptr;
    QLineEdit* exclude_ = nullptr;
    QTableView* word_view_ = nullptr;
    QTableView* root_view_ = nullptr;
    QLabel* roots_unavailable_ = nullptr;
    QLabel* count_line_ = nullptr;
    QPushButton* export_roots_ = nullptr;
};

}  // namespace quorvel::app
