#pragma once
// The history window: the runs kept in the journal, newest first, one row
// each, with buttons to open, continue, export, show the word table of,
// delete and reload them. What the buttons do is shell::HistoryController's;
// the window draws.

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/dialogs.h"
#include "journal/journal.h"
#include "shell/history_controller.h"

class QLabel;
class QModelIndex;
class QPushButton;
class QTableView;

namespace quorvel::app {

class RunListModel;

class HistoryWindow : public QWidget, private shell::HistoryView {
    Q_OBJECT

  public:
    // A top-level window even when given a parent. The list is read at once.
    HistoryWindow(journal::Journal& journal, Dialogs& dialogs, shell::HistoryActions actions,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // The run of the selected row, if a row is selected.
    std::optional<std::int64_t> selected_run() const { return controller_.selected_run(); }
    // Selects the run's row and scrolls to it; false when it is not listed.
    bool select_run(std::int64_t run);

  public slots:
    // Reads the list again, keeping the selected run selected while it is
    // listed. A failure empties the list and is said in the status line.
    void reload() { controller_.reload(); }

  private:
    platform::MessageResult say(std::string_view text, platform::MessageStyle style) override;
    std::optional<std::size_t> selected_row() const override;
    void rows_changed(std::optional<std::size_t> row) override;
    // Owned by the main window, if there is one, so that it outlives this list.
    void show_word_table(std::shared_ptr<const research::WordTable> table,
                         std::string title) override;
    void select_row(std::size_t row);
    void update_buttons();

    Dialogs& dialogs_;
    RunListModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* status_ = nullptr;
    std::vector<std::pair<shell::HistoryAction, QPushButton*>> buttons_;
    shell::HistoryController controller_;
};

}  // namespace quorvel::app
