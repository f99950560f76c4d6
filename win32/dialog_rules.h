#pragma once
// What the Win32 window's dialogs are made of, apart from the system calls:
// the save dialog's filter from the export's filter text, message box styles
// and answers, and the task dialog's buttons. Written without <windows.h>, so
// the rules are tested on every system; the values are Windows' own
// (winuser.h, commctrl.h), checked against them where the window is built.

#include <optional>
#include <string>
#include <string_view>

#include "platform/window_operations.h"

namespace quorvel::win32 {

// The filter of a common file dialog: "description\0pattern\0...\0\0".
// `filter` is the export's text: "description|pattern" pairs
// ("Excel文档(*.xlsx)|*.xlsx"), or descriptions alone with their pattern in
// the last parentheses ("CSV格式(.csv)|xlsx格式(.xlsx)" gives "*.csv" and
// "*.xlsx"). A description without a pattern of either kind matches "*.*".
// Empty for an empty filter.
std::u16string file_dialog_filter(std::u16string_view filter);

// MessageBoxW's style flags for a message style: the button set and
// MB_TASKMODAL or MB_SYSTEMMODAL.
unsigned message_box_flags(platform::MessageStyle style);

// The result of MessageBoxW's (or TaskDialog's) answer, the command ID of
// the button pressed. A box closed without a button (Esc, the close box, a
// closed owner) answers IDCANCEL or 0: that is the last button of the set,
// Cancel where there is one, as the Qt window answers it.
platform::MessageResult message_result(int command_id, platform::MessageButtons buttons);

// TaskDialogIndirect's common buttons for a button set (TDCBF_*), or nothing
// for a set it has no common buttons for (abort, retry, ignore).
std::optional<unsigned> task_dialog_buttons(platform::MessageButtons buttons);

// Values of the Windows headers the rules above use.
namespace windows_values {
inline constexpr unsigned mb_task_modal = 0x2000;
inline constexpr unsigned mb_system_modal = 0x1000;
inline constexpr int id_ok = 1;
inline constexpr int id_cancel = 2;
inline constexpr int id_abort = 3;
inline constexpr int id_retry = 4;
inline constexpr int id_ignore = 5;
inline constexpr int id_yes = 6;
inline constexpr int id_no = 7;
inline constexpr unsigned tdcbf_ok = 0x1;
inline constexpr unsigned tdcbf_yes = 0x2;
inline constexpr unsigned tdcbf_no = 0x4;
inline constexpr unsigned tdcbf_cancel = 0x8;
inline constexpr unsigned tdcbf_retry = 0x10;
}  // namespace windows_values

}  // namespace quorvel::win32
