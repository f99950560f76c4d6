#pragma once
// The Win32 window's modal dialogs: message boxes (with a check box where
// the system's task dialog offers one) and the save-file dialog. A dialog
// shown for a run closes itself, answering as if cancelled, when the run's
// stop is requested, from whichever thread asks.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

#include "platform/window_operations.h"

namespace quorvel::win32 {

// Posted to a dialog's owner (wParam 0, lParam the dialog's number) when the
// run it was shown for is stopped; the owner's window procedure passes it to
// close_run_dialog.
inline constexpr UINT wm_close_run_dialog = WM_APP + 3;

// Closes the dialog of that number if it is open (the owner's thread).
void close_run_dialog(LPARAM number);

// A check box under a message box's text; `checked` is its state when the
// box was dismissed.
struct MessageCheck {
    std::wstring text;
    bool checked = false;
};

// Whether message boxes can carry a check box here (TaskDialogIndirect of
// common controls 6 is available).
bool message_check_available();

// A modal message box owned by `owner`. With `check`, the box carries that
// check box where the system can show one (message_check_available) and is
// otherwise a plain box. Closed as cancelled when `stop` is requested.
platform::MessageResult message_box(HWND owner, const std::wstring& text,
                                    const std::wstring& caption, platform::MessageStyle style,
                                    std::stop_token stop, MessageCheck* check = nullptr);

// The save-file dialog owned by `owner`, titled `title`, with the filter
// text `filter` (see file_dialog_filter), the default extension (no dot) and
// presenting `file_name`; it asks before replacing a file. The chosen path,
// or nothing when cancelled or stopped.
std::optional<std::wstring> save_file(HWND owner, const std::wstring& title,
                                      const std::wstring& filter, const std::wstring& extension,
                                      const std::wstring& file_name, std::stop_token stop);

}  // namespace quorvel::win32
