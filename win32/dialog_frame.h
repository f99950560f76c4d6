#pragma once
// The frame of the window's own modal dialogs: made from a template without
// items, their controls added in WM_INITDIALOG at places given at 96 DPI and
// scaled for the monitor's, the dialog sized to its client area and centred
// on its owner.

#include <windows.h>

namespace quorvel::win32 {

// A modal dialog owned by `owner`, run by `procedure`, which gets `parameter`
// with WM_INITDIALOG; the value passed to EndDialog.
INT_PTR run_dialog(HWND owner, DLGPROC procedure, LPARAM parameter);

// A child control of `dialog` at `at` (left, top, width, height at 96 DPI),
// scaled for `dpi`, in `font`.
HWND add_control(HWND dialog, const wchar_t* kind, const wchar_t* text, DWORD style, int id,
                 RECT at, UINT dpi, HFONT font, DWORD ex_style = 0);

// Gives `dialog` a client area of width × height at 96 DPI, scaled for
// `dpi`, centred on its owner.
void place_dialog(HWND dialog, int width, int height, UINT dpi);

}  // namespace quorvel::win32
