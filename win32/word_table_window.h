#pragma once
// The word-table window: the words of a harvest, one row each, filtered by
// "包含" and "排除" as the user types, sorted by a click on a column's
// heading, with the count line under them and the roots (词根) beside them;
// a click on a root filters the words to those holding it. "复制所选" (or
// Ctrl+C in the list) copies the selected words, one per line; "导出词表"
// and "导出词根" write them to a file. A top-level window of class
// "QuorvelWordTableWindow"; its controls have the IDs below. What it does is
// shell::WordTableController's; the window draws.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "research/word_table.h"
#include "shell/word_table_controller.h"

namespace quorvel::win32 {

inline constexpr const wchar_t* word_table_window_class = L"QuorvelWordTableWindow";
inline constexpr int word_include_label_id = 300;
inline constexpr int word_include_id = 301;
inline constexpr int word_exclude_label_id = 302;
inline constexpr int word_exclude_id = 303;
inline constexpr int word_list_id = 304;  // owner-data list view
inline constexpr int word_count_line_id = 305;
inline constexpr int word_roots_caption_id = 306;
inline constexpr int word_roots_list_id = 307;  // owner-data list view
// Why there are no roots, shown instead of their list.
inline constexpr int word_roots_note_id = 308;
inline constexpr int word_copy_id = 309;
inline constexpr int word_export_words_id = 310;
inline constexpr int word_export_roots_id = 311;

class WordTableWindow {
  public:
    // Made hidden, titled `title` (UTF-8); show() shows it.
    WordTableWindow(HINSTANCE instance, std::shared_ptr<const research::WordTable> table,
                    const std::string& title);
    ~WordTableWindow();
    WordTableWindow(const WordTableWindow&) = delete;
    WordTableWindow& operator=(const WordTableWindow&) = delete;

    void show();
    // Whether the window is open (the user may have closed it).
    bool alive() const { return window_ != nullptr; }
    HWND window() const { return window_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    HWND add(const wchar_t* kind, const std::wstring& text, DWORD style, int id,
             DWORD ex_style = 0);
    void lay_out();
    // The words' list, the count line and the sort arrow after the shown rows changed.
    void refresh();
    // Cuts the roots (once the window is up: it may take a moment) and lists them,
    // or says why there are none.
    void show_roots();
    bool notify(const NMHDR& header, LPARAM lparam);
    void copy_selected();
    void export_words();
    void export_roots();
    std::wstring edit_text(int id) const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND words_ = nullptr;
    HWND roots_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    bool roots_shown_ = false;
    shell::WordTableController controller_;
};

// The word-table windows a window has opened: each stays open until the
// user closes it or its opener is gone.
class WordTableWindows {
  public:
    void open(HINSTANCE instance, std::shared_ptr<const research::WordTable> table,
              const std::string& title);
    void close_all() { windows_.clear(); }

  private:
    std::vector<std::unique_ptr<WordTableWindow>> windows_;
};

}  // namespace quorvel::win32
