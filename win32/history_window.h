#pragma once
// The history window: the runs kept in the journal, newest first, one row
// each in a list, with buttons to open, continue, export, delete and reload
// them. A top-level window of class "QuorvelHistoryWindow" titled "历史记录";
// its controls have the IDs below. What the buttons do is
// shell::HistoryController's; the window draws.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "journal/journal.h"
#include "shell/history_controller.h"
#include "shell/run_controller.h"
#include "win32/word_table_window.h"

namespace quorvel::win32 {

inline constexpr const wchar_t* history_window_class = L"QuorvelHistoryWindow";
inline constexpr int history_list_id = 100;
// The buttons of shell::history_buttons(), from this ID on in that order.
inline constexpr int history_first_button_id = 101;
inline constexpr int history_status_id = 107;

class HistoryWindow : private shell::HistoryView {
  public:
    // Made and read at once, hidden until show(). The word tables it opens
    // go into `word_tables`, which outlives it.
    HistoryWindow(HINSTANCE instance, journal::Journal& journal, shell::RunController& runs,
                  WordTableWindows& word_tables);
    ~HistoryWindow() override;
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    void show();
    // Whether the window is open (the user may have closed it).
    bool alive() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    // Reads the list again, keeping the selected run selected while it is
    // listed. A failure empties the list and is said in the status line.
    void reload() { controller_.reload(); }
    std::optional<std::int64_t> selected_run() const { return controller_.selected_run(); }

  private:
    using Cells = std::array<std::wstring, shell::history_column_count>;
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void lay_out();
    void update_buttons();
    platform::MessageResult say(std::string_view text, platform::MessageStyle style) override;
    std::optional<std::size_t> selected_row() const override;
    void rows_changed(std::optional<std::size_t> row) override;
    void show_word_table(std::shared_ptr<const research::WordTable> table,
                         std::string title) override;

    HINSTANCE instance_;
    WordTableWindows& word_tables_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND status_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    std::vector<Cells> rows_;
    shell::HistoryController controller_;
};

}  // namespace quorvel::win32
