#pragma once
// The history window: the runs kept in the journal, newest first, one row
// each, with buttons to open, continue, export, delete and reload them. Opening and
// exporting a run are the caller's; the window reads the list and deletes.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/dialogs.h"
#include "export/export.h"
#include "journal/journal.h"

class QLabel;
class QModelIndex;
class QPushButton;
class QTableView;

namespace quorvel::app {

class RunListModel;

// What the window asks its owner to do with a run.
struct HistoryActions {
    std::function<void(std::int64_t run)> open_run;
    // Goes on with a stopped or interrupted run from its first unfinished seed.
    std::function<void(std::int64_t run)> continue_run;
    std::function<void(std::int64_t run, exporting::ExportFormat format)> export_run;
    // Whether the run may be deleted now (not, say, while it is being harvested).
    std::function<bool(std::int64_t run)> can_delete;
};

class HistoryWindow : public QWidget {
    Q_OBJECT

  public:
    // A top-level window even when given a parent. The list is read at once.
    HistoryWindow(journal::Journal& journal, Dialogs& dialogs, HistoryActions actions,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // The run of the selected row, if a row is selected.
    std::optional<std::int64_t> selected_run() const;
    // Selects the run's row and scrolls to it; false when it is not listed.
    bool select_run(std::int64_t run);

  public slots:
    // Reads the list again, keeping the selected run selected while it is
    // listed. A failure empties the list and is said in the status line.
    void reload();

  private slots:
    void open_selected();
    void delete_selected();
    void open_row(const QModelIndex& index);
    void update_buttons();

  private:
    void export_selected(exporting::ExportFormat format);
    void refuse_delete(const QString& reason);

    journal::Journal& journal_;
    Dialogs& dialogs_;
    HistoryActions actions_;
    RunListModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* open_button_ = nullptr;
    QPushButton* continue_button_ = nullptr;
    QPushButton* export_xlsx_button_ = nullptr;
    QPushButton* export_csv_button_ = nullptr;
    QPushButton* delete_button_ = nullptr;
};

}  // namespace quorvel::app
