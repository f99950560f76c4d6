#pragma once
// The history window: the runs kept in the journal, newest first, one row
// each in a list, with buttons to open, continue, export, delete and reload
// them. A top-level window of class "QuorvelHistoryWindow" titled "历史记录";
// its controls have the IDs below. Opening, continuing and exporting go
// through the run controller; the window reads the list and deletes.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "journal/journal.h"
#include "shell/history_rows.h"
#include "shell/run_controller.h"

namespace quorvel::win32 {

inline constexpr const wchar_t* history_window_class = L"QuorvelHistoryWindow";
inline constexpr int history_list_id = 100;
inline constexpr int history_open_id = 101;
inline constexpr int history_continue_id = 102;
inline constexpr int history_export_xlsx_id = 103;
inline constexpr int history_export_csv_id = 104;
inline constexpr int history_delete_id = 105;
inline constexpr int history_refresh_id = 106;
inline constexpr int history_status_id = 107;

class HistoryWindow {
  public:
    // Made and read at once, hidden until show().
    HistoryWindow(HINSTANCE instance, journal::Journal& journal, shell::RunController& runs);
    ~HistoryWindow();
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    void show();
    // Whether the window is open (the user may have closed it).
    bool alive() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    // Reads the list again, keeping the selected run selected while it is
    // listed. A failure empties the list and is said in the status line.
    void reload();
    std::optional<std::int64_t> selected_run() const;

  private:
    struct Row {
        std::int64_t run;
        journal::RunState state;
        std::array<std::wstring, shell::history_column_count> cells;
    };
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void lay_out();
    void update_buttons();
    void select(std::int64_t run);
    // Whether a run keeps the window busy, said to the user.
    bool busy();
    void delete_selected();
    platform::MessageResult say(const std::wstring& text, platform::MessageStyle style = {});

    journal::Journal& journal_;
    shell::RunController& runs_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND status_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    std::vector<Row> rows_;
};

}  // namespace quorvel::win32
