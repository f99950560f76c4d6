#pragma once
// What the history window does, whatever draws it: the kept runs read as
// rows, newest first, with a status line, and the buttons that open,
// continue, export, delete and reload them, with their confirmations and
// refusals. The front end draws the rows and buttons, keeps the selection and
// shows the message boxes; texts cross to it in UTF-8. Window's thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/export.h"
#include "journal/journal.h"
#include "platform/window_operations.h"
#include "research/word_table.h"
#include "shell/history_rows.h"

namespace quorvel::shell {

class RunController;

// The history window's buttons, in the order they stand after the status line.
enum class HistoryAction {
    open,
    continue_run,
    export_xlsx,
    export_csv,
    word_table,
    remove,
    reload
};
struct HistoryButton {
    HistoryAction action;
    std::string_view name;  // object name
    std::string_view caption;
};
std::span<const HistoryButton> history_buttons();

// What the window asks its owner to do with a run.
struct HistoryActions {
    std::function<void(std::int64_t run)> open_run;
    // Goes on with a stopped or interrupted run from its first unfinished seed.
    std::function<void(std::int64_t run)> continue_run;
    std::function<void(std::int64_t run, exporting::ExportFormat format)> export_run;
    // Whether the run may be deleted now (not while it is being harvested).
    std::function<bool(std::int64_t run)> can_delete;
    // Whether a harvest or an export keeps the main window busy.
    std::function<bool()> busy;
};
// The actions of a main window's runs.
HistoryActions history_actions(RunController& runs);

// What the controller needs of the window that draws it.
class HistoryView {
  public:
    virtual ~HistoryView() = default;
    // A message box over the history window, captioned "历史记录".
    virtual platform::MessageResult say(std::string_view text, platform::MessageStyle style) = 0;
    // The row selected, if any.
    virtual std::optional<std::size_t> selected_row() const = 0;
    // The rows were read again: draw them and select `row`, if any.
    virtual void rows_changed(std::optional<std::size_t> row) = 0;
    // A word-table window over `table`, titled `title` (UTF-8).
    virtual void show_word_table(std::shared_ptr<const research::WordTable> /*table*/,
                                 std::string /*title*/) {}
};

struct HistoryEntry {
    std::int64_t run = 0;
    journal::RunState state = journal::RunState::finished;
    HistoryRow cells;
};

class HistoryController {
  public:
    HistoryController(journal::Journal& journal, HistoryActions actions, HistoryView& view);

    // Reads the list again, keeping the selected run selected while it is
    // listed. A failure empties the list and is said in the status line.
    void reload();
    const std::vector<HistoryEntry>& rows() const { return rows_; }
    const std::string& status() const { return status_; }
    std::optional<std::size_t> row_of(std::int64_t run) const;
    // The run of the selected row.
    std::optional<std::int64_t> selected_run() const;

    // Whether a button can be pressed with the row selected now.
    bool enabled(HistoryAction action) const;
    // A button pressed, for the selected row.
    void act(HistoryAction action);
    // A row double-clicked: it is opened.
    void open_row(std::size_t row);

  private:
    // Whether a run keeps the window busy, said to the user.
    bool busy();
    void remove(std::int64_t run);
    void show_word_table(std::int64_t run);
    platform::MessageResult say(std::string_view text, platform::MessageStyle style = {});

    journal::Journal& journal_;
    HistoryActions actions_;
    HistoryView& view_;
    std::vector<HistoryEntry> rows_;
    std::string status_;
};

}  // namespace quorvel::shell
